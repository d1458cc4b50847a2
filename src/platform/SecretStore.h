#pragma once

#include <QString>

#include <optional>

// Secrets (the MQTT broker's password) never go to the settings: they go to the user's secret
// store (the desktop's Secret Service on Linux, the Credential Manager on Windows), and where
// none answers to a file beside the settings that only the user can read. The calls block
// until the store answers or gives up (in 10 s), running the caller's event loop meanwhile.

namespace mirelight {

enum class SecretPlace {
    SystemStore, // the desktop's Secret Service, the Windows Credential Manager
    PrivateFile, // SecretFilePath(): "kept in a file only you can read"
};

// What a call did, and where the secret is kept, or would be.
struct SecretOutcome
{
    bool done = false;
    SecretPlace place = SecretPlace::SystemStore;
    QString problem; // why it failed, in words for the user and the log; empty if done
    QString storeProblem; // with the private file: why the system's store was not used
};

struct SecretRead : SecretOutcome
{
    std::optional<QString> secret; // none when nothing is stored under the name
};

// The name the secret of a broker's account is kept under: "MQTT user@host:port".
QString MqttSecretName(const QString& user, const QString& host, int port);

// Reading looks in the system's store first, then in the file; a store that does not answer,
// with nothing in the file, fails the read (it may hold the secret). Writing to the store
// removes the name from the file; deleting removes it from both, and is done once the file
// no longer has it (storeProblem tells of a store that did not answer).
SecretRead ReadSecret(const QString& name);
SecretOutcome WriteSecret(const QString& name, const QString& secret);
SecretOutcome DeleteSecret(const QString& name);

// The file the secrets go to where no store answers (it need not exist).
QString SecretFilePath();

} // namespace mirelight
