#include "platform/RuntimeFiles.h"

#include "platform/linux/PrivateFolder.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

QString FirstPrivateFolder(const QStringList& folders)
{
    for (const QString& folder : folders) {
        struct stat info
        {
        };
        if (!QDir::isAbsolutePath(folder)
            || ::lstat(QFile::encodeName(folder).constData(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0)
            return folder;
    }
    return QString();
}

QString UserRuntimeFolder()
{
    // A start from cron or a systemd timer has no XDG_RUNTIME_DIR but the same folder as the
    // desktop session: the lock and the socket of the desktop's instance are found there.
    return FirstPrivateFolder({ qEnvironmentVariable("XDG_RUNTIME_DIR"),
                                QStringLiteral("/run/user/%1").arg(::geteuid()) });
}

QString LocalSocketPathProblem(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.size() < qsizetype(sizeof(sockaddr_un::sun_path)))
        return QString();
    return QStringLiteral("the path %1 is longer than the %2 bytes a socket address holds")
        .arg(path)
        .arg(sizeof(sockaddr_un::sun_path) - 1);
}

void KeepThroughCleanup(const QString& path)
{
    // The sticky bit is the mark the runtime folder's clean-up looks for.
    struct stat info
    {
    };
    const QByteArray encoded = QFile::encodeName(path);
    if (::lstat(encoded.constData(), &info) == 0 && !S_ISLNK(info.st_mode))
        ::chmod(encoded.constData(), (info.st_mode & 07777) | S_ISVTX);
}
