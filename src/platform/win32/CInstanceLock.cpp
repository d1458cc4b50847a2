#include "platform/CInstanceLock.h"

#include <QDir>
#include <QStandardPaths>

#include "platform/win32/WinApi.h"

namespace {

// Without "Global\" the name lives in the session's own namespace: one instance per logged-in
// user, and another user's session never blocks ours.
constexpr wchar_t kMutexName[] = L"Mirelight Mutex";
constexpr std::intptr_t kNoHandle = -1;

} // namespace

CInstanceLock::~CInstanceLock()
{
    if (m_handle != kNoHandle)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle)); // the system drops it when we die too
}

QString CInstanceLock::LockFilePath()
{
    // The lock is a mutex, not a file: this names the user's own folder beside which the
    // command pipe is named, so that another user's instance answers under another name. A
    // pipe's name is the machine's, not the session's as the mutex's is: the session's number
    // keeps two sessions of one user apart. Only names: no such folder is made.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!QDir::isAbsolutePath(folder))
        return QString();
    DWORD session = 0;
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session))
        return QString();
    return QDir(folder).filePath(QStringLiteral("Session %1/Mirelight Mutex").arg(session));
}

CInstanceLock::Outcome CInstanceLock::Acquire()
{
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kMutexName);
    if (!mutex)
        return Outcome::Unavailable;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return Outcome::HeldElsewhere;
    }
    m_handle = reinterpret_cast<std::intptr_t>(mutex);
    return Outcome::Acquired;
}
