// The Windows Credential Manager.
#include "platform/SystemSecrets.h"

#include "platform/win32/Credentials.h"
#include "platform/win32/WindowsErrors.h"

namespace mirelight::secrets {

namespace {

std::wstring Target(const QString& name)
{
    return (QStringLiteral("Mirelight/") + name).toStdWString();
}

StoreResult FromCredential(const CredentialResult& result)
{
    switch (result.answer) {
    case CredentialAnswer::Done:
        return { StoreAnswer::Done, QString::fromStdWString(result.secret), {} };
    case CredentialAnswer::NotFound:
        return { StoreAnswer::NotFound, {}, {} };
    case CredentialAnswer::Failed:
        break;
    }
    return { StoreAnswer::Failed,
             {},
             QStringLiteral("the Credential Manager failed: %1")
                 .arg(QString::fromLocal8Bit(WindowsErrorText(result.error))) };
}

} // namespace

StoreResult ReadFromSystemStore(const QString& name)
{
    return FromCredential(ReadGenericCredential(Target(name)));
}

StoreResult WriteToSystemStore(const QString& name, const QString& secret)
{
    return FromCredential(WriteGenericCredential(Target(name), secret.toStdWString()));
}

StoreResult DeleteFromSystemStore(const QString& name)
{
    return FromCredential(DeleteGenericCredential(Target(name)));
}

} // namespace mirelight::secrets
