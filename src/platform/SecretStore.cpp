#include "platform/SecretStore.h"

#include "platform/SystemSecrets.h"

#include <QList>
#include <QMap>
#include <QUrl>

namespace mirelight {

using secrets::StoreAnswer;

namespace {

using Entries = QMap<QString, QString>;

// The file: a comment, then one "name=secret" line per secret, both percent-encoded, so that
// no character of either can break a line or the separator.
const QByteArray kHeader
    = QByteArrayLiteral("# Mirelight's secrets, kept here because no secret store answered.\n");

struct FileEntries
{
    Entries entries;
    QString problem;
};

FileEntries LoadFile()
{
    const QString path = secrets::PrivateFilePath();
    if (path.isEmpty())
        return { {}, QStringLiteral("there is no folder for the settings to keep a file in") };
    const secrets::FileContents contents = secrets::ReadPrivateFile(path);
    FileEntries file { {}, contents.problem };
    const QList<QByteArray> lines = contents.bytes.value_or(QByteArray()).split('\n');
    for (const QByteArray& line : lines) {
        const qsizetype separator = line.indexOf('=');
        if (line.startsWith('#') || separator < 0)
            continue;
        file.entries.insert(QUrl::fromPercentEncoding(line.left(separator)),
                            QUrl::fromPercentEncoding(line.mid(separator + 1)));
    }
    return file;
}

QString SaveFile(const Entries& entries)
{
    QByteArray bytes = kHeader;
    for (auto entry = entries.begin(); entry != entries.end(); ++entry)
        bytes += QUrl::toPercentEncoding(entry.key()) + '=' + QUrl::toPercentEncoding(entry.value())
            + '\n';
    return secrets::WritePrivateFile(secrets::PrivateFilePath(), bytes);
}

// Why name is still in the file after this; empty when it is not. wasThere says if it was.
QString RemoveFromFile(const QString& name, bool& wasThere)
{
    wasThere = false;
    if (secrets::PrivateFilePath().isEmpty())
        return QString(); // no file can have been written
    FileEntries file = LoadFile();
    wasThere = file.entries.remove(name) > 0;
    if (!file.problem.isEmpty() || !wasThere)
        return file.problem;
    return SaveFile(file.entries);
}

QString PutInFile(const QString& name, const QString& secret)
{
    FileEntries file = LoadFile();
    if (!file.problem.isEmpty())
        return file.problem;
    file.entries.insert(name, secret);
    return SaveFile(file.entries);
}

} // namespace

QString MqttSecretName(const QString& user, const QString& host, int port)
{
    // Host names are alike in any case; an IPv6 address is bracketed as in a URL.
    const QString lowerHost = host.toLower();
    const QString shownHost = lowerHost.contains(QLatin1Char(':'))
        ? QLatin1Char('[') + lowerHost + QLatin1Char(']')
        : lowerHost;
    return QStringLiteral("MQTT %1@%2:%3").arg(user, shownHost).arg(port);
}

QString SecretFilePath()
{
    return secrets::PrivateFilePath();
}

SecretRead ReadSecret(const QString& name)
{
    const secrets::StoreResult stored = secrets::ReadFromSystemStore(name);
    SecretRead read;
    if (stored.answer == StoreAnswer::Done) {
        read.done = true;
        read.secret = stored.secret;
        return read;
    }
    const FileEntries file = LoadFile();
    const auto found = file.entries.constFind(name);
    read.storeProblem = stored.problem;
    if (found != file.entries.cend()) {
        read.place = SecretPlace::PrivateFile;
        read.secret = *found;
    } else if (stored.answer == StoreAnswer::Failed) {
        // The store that did not answer may hold it: that is not "nothing stored".
        read.place = SecretPlace::PrivateFile;
        read.problem = file.problem.isEmpty() ? stored.problem : file.problem;
    } else {
        read.problem = file.problem;
    }
    read.done = read.problem.isEmpty();
    return read;
}

SecretOutcome WriteSecret(const QString& name, const QString& secret)
{
    const secrets::StoreResult stored = secrets::WriteToSystemStore(name, secret);
    SecretOutcome outcome;
    if (stored.answer == StoreAnswer::Done) {
        // A copy kept while the store did not answer must not outlive the one in the store.
        bool wasThere = false;
        const QString left = RemoveFromFile(name, wasThere);
        if (!left.isEmpty())
            outcome.problem = QStringLiteral("an older copy in %1 could not be removed: %2")
                                  .arg(SecretFilePath(), left);
    } else {
        outcome.place = SecretPlace::PrivateFile;
        outcome.storeProblem = stored.problem;
        outcome.problem = PutInFile(name, secret);
    }
    outcome.done = outcome.problem.isEmpty();
    return outcome;
}

SecretOutcome DeleteSecret(const QString& name)
{
    const secrets::StoreResult stored = secrets::DeleteFromSystemStore(name);
    SecretOutcome outcome;
    bool wasThere = false;
    outcome.problem = RemoveFromFile(name, wasThere);
    if (stored.answer == StoreAnswer::Failed || wasThere) {
        outcome.place = SecretPlace::PrivateFile;
        outcome.storeProblem = stored.problem;
    }
    outcome.done = outcome.problem.isEmpty();
    return outcome;
}

} // namespace mirelight
