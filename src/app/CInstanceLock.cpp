#include "app/CInstanceLock.h"

#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CInstanceLock::~CInstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the flock
}

QString CInstanceLock::LockFilePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(folder).filePath(QStringLiteral("Mirelight Mutex.lock"));
}

CInstanceLock::Outcome CInstanceLock::Acquire()
{
    const QByteArray path = QFile::encodeName(LockFilePath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return Outcome::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_fd = fd;
        return Outcome::Acquired;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Outcome::HeldElsewhere : Outcome::Unavailable;
}
