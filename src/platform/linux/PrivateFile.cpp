// The file of secrets where no secret store answers, beside the settings file.
#include "platform/SystemSecrets.h"
#include "platform/UserConfigFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirelight::secrets {

namespace {

QString SystemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why the file open as fd is not one to keep secrets in; empty when it is.
QString NotPrivate(int fd, const QString& path)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0)
        return QStringLiteral("cannot check %1: %2").arg(path, SystemWords(errno));
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("%1 is not a plain file").arg(path);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user").arg(path);
    if ((info.st_mode & 077) != 0)
        return QStringLiteral("others may read %1: make it yours alone (chmod 600) or remove it")
            .arg(path);
    return QString();
}

QString WriteAll(int fd, const QByteArray& bytes)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, bytes.size() - written);
        if (n < 0 && errno != EINTR)
            return SystemWords(errno);
        written += n > 0 ? n : 0;
    }
    return ::fsync(fd) == 0 ? QString() : SystemWords(errno);
}

} // namespace

QString PrivateFilePath()
{
    // The settings file's folder (CSettingsStore's organisation).
    const std::string folder = UserConfigFolder();
    return folder.empty()
        ? QString()
        : QString::fromStdString(folder) + QStringLiteral("/Corvanthis Mirelight/secrets");
}

FileContents ReadPrivateFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return {};
    if (fd < 0)
        return { {},
                 errno == ELOOP
                     ? QStringLiteral("%1 is a link, which is not followed").arg(path)
                     : QStringLiteral("cannot read %1: %2").arg(path, SystemWords(errno)) };
    FileContents contents { QByteArray(), NotPrivate(fd, path) };
    char buffer[4096];
    ssize_t n = 0;
    while (contents.problem.isEmpty() && (n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n > 0)
            contents.bytes->append(buffer, n);
        else if (errno != EINTR)
            contents.problem = QStringLiteral("cannot read %1: %2").arg(path, SystemWords(errno));
    }
    ::close(fd);
    return contents;
}

QString WritePrivateFile(const QString& path, const QByteArray& bytes)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return QStringLiteral("cannot make the folder of %1").arg(path);
    // A link in the file's place has been refused by the read before. The new content goes to
    // a file that is the user's alone from its creation (mkostemp: O_CREAT | O_EXCL, mode
    // 0600) and then replaces the old one whole: a link put in place meanwhile is replaced,
    // never followed.
    QByteArray temporary = encoded + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("cannot write %1: %2").arg(path, SystemWords(errno));
    QString problem = WriteAll(fd, bytes);
    if (::close(fd) != 0 && problem.isEmpty())
        problem = SystemWords(errno);
    if (problem.isEmpty() && ::rename(temporary.constData(), encoded.constData()) != 0)
        problem = SystemWords(errno);
    if (problem.isEmpty())
        return QString();
    ::unlink(temporary.constData());
    return QStringLiteral("cannot write %1: %2").arg(path, problem);
}

} // namespace mirelight::secrets
