#include "platform/CInstanceLock.h"

#include "platform/RuntimeFiles.h"

#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CInstanceLock::~CInstanceLock()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle)); // releases the flock
}

QString CInstanceLock::LockFilePath()
{
    // Never a relative path: a lock in the working folder would keep nobody out.
    for (const QString& folder :
         { UserRuntimeFolder(),
           QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) }) {
        if (QDir::isAbsolutePath(folder) && QDir().mkpath(folder))
            return QDir(folder).filePath(QStringLiteral("Mirelight Mutex.lock"));
    }
    return QString();
}

CInstanceLock::Outcome CInstanceLock::Acquire()
{
    const QString lockFile = LockFilePath();
    if (lockFile.isEmpty())
        return Outcome::Unavailable;
    const QByteArray path = QFile::encodeName(lockFile);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return Outcome::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_handle = fd;
        KeepThroughCleanup(lockFile);
        return Outcome::Acquired;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Outcome::HeldElsewhere : Outcome::Unavailable;
}
