#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What each system's folder gives SecretStore.cpp: its secret store and the private file's
// reads and writes.

namespace mirelight::secrets {

enum class StoreAnswer { Done, NotFound, Failed };

struct StoreResult
{
    StoreAnswer answer = StoreAnswer::Failed;
    QString secret; // what a read found
    QString problem; // with Failed: why, in words for the user and the log
};

StoreResult ReadFromSystemStore(const QString& name);
StoreResult WriteToSystemStore(const QString& name, const QString& secret);
StoreResult DeleteFromSystemStore(const QString& name); // NotFound when there was nothing

QString PrivateFilePath();

struct FileContents
{
    std::optional<QByteArray> bytes; // none when the file does not exist
    QString problem; // why it could not be read; empty when it could
};

// A read refuses anything but the user's own regular file that no one else may open (a link,
// above all); a write, which follows a read, makes a file that is the user's alone from the
// start and replaces the old one whole.
FileContents ReadPrivateFile(const QString& path);
QString WritePrivateFile(const QString& path, const QByteArray& bytes); // why not; empty if done

} // namespace mirelight::secrets
