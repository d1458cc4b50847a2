// The file of secrets where the Credential Manager does not answer, in the user's local
// application data, which only the user (and the administrators) can open.
#include "platform/SystemSecrets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace mirelight::secrets {

namespace {

// Why path is not a file to keep secrets in; empty when it is, or is not there.
QString NotPlain(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction() || (info.exists() && !info.isFile()))
        return QStringLiteral("%1 is not a plain file (a link?): not used").arg(path);
    return QString();
}

} // namespace

QString PrivateFilePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/Corvanthis Mirelight/secrets");
}

FileContents ReadPrivateFile(const QString& path)
{
    if (const QString problem = NotPlain(path); !problem.isEmpty())
        return { {}, problem };
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return { {}, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()) };
    return { file.readAll(), {} };
}

QString WritePrivateFile(const QString& path, const QByteArray& bytes)
{
    if (const QString problem = NotPlain(path); !problem.isEmpty())
        return problem;
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return QString();
}

} // namespace mirelight::secrets
