// The secret store on a private session bus: without a Secret Service (the private file), and
// with gnome-keyring's, whose keyring lives in the test's own folders. Each case needs a
// process of its own (CTest runs them so): GDBus ends a process whose session bus goes away.
#include "platform/SecretStore.h"
#include "app/CSettingsStore.h"
#include "support/CTestDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace mirelight;

namespace {

const QString kName = MqttSecretName(QStringLiteral("ann"), QStringLiteral("Broker.LAN"), 8883);

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Where the password must never be: the settings (with the account written to them) and,
// while the store answers, the private file.
void ExpectNowhereOnDisk(const QString& secret)
{
    CSettingsStore store;
    mqtt::MqttSettings settings;
    settings.user = QStringLiteral("ann");
    ASSERT_TRUE(store.Save(settings).isEmpty());
    EXPECT_FALSE(Contents(store.FileName()).contains(secret.toUtf8()));
    EXPECT_FALSE(Contents(SecretFilePath()).contains(secret.toUtf8()));
}

void ExpectRead(const QString& name, const std::optional<QString>& secret, SecretPlace place)
{
    const SecretRead read = ReadSecret(name);
    EXPECT_TRUE(read.done) << read.problem.toStdString();
    EXPECT_EQ(read.secret, secret);
    EXPECT_EQ(read.place, place);
}

TEST(SecretStore, TheNameOfABrokersAccountIgnoresTheHostsCaseAndBracketsAnIpv6Address)
{
    EXPECT_EQ(kName, QStringLiteral("MQTT ann@broker.lan:8883"));
    EXPECT_EQ(MqttSecretName(QStringLiteral("ann"), QStringLiteral("::1"), 1883),
              QStringLiteral("MQTT ann@[::1]:1883"));
}

TEST(SecretStore, WithoutASecretServiceTheSecretIsKeptInAFileOnlyTheUserCanRead)
{
    testsupport::CTestDesktop desktop;
    ASSERT_TRUE(desktop.StartSessionBus()) << desktop.Problem();

    const SecretOutcome written = WriteSecret(kName, QStringLiteral("p=1\n#x"));
    ASSERT_TRUE(written.done) << written.problem.toStdString();
    EXPECT_EQ(written.place, SecretPlace::PrivateFile);
    EXPECT_FALSE(written.storeProblem.isEmpty());
    struct stat info
    {
    };
    ASSERT_EQ(::lstat(QFile::encodeName(SecretFilePath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(QFileInfo(SecretFilePath()).path(), QFileInfo(CSettingsStore().FileName()).path());
    ASSERT_TRUE(WriteSecret(QStringLiteral("other"), QStringLiteral("kept")).done);
    ExpectRead(kName, QStringLiteral("p=1\n#x"), SecretPlace::PrivateFile);

    const SecretOutcome deleted = DeleteSecret(kName);
    EXPECT_TRUE(deleted.done) << deleted.problem.toStdString();
    EXPECT_FALSE(Contents(SecretFilePath()).contains("p%3D1"));
    ExpectRead(QStringLiteral("other"), QStringLiteral("kept"), SecretPlace::PrivateFile);

    // A file others can read is not trusted with more.
    QFile::setPermissions(SecretFilePath(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    EXPECT_FALSE(ReadSecret(QStringLiteral("other")).done);

    // A link planted in the file's place is neither followed nor written through.
    const QString target = QDir::tempPath() + QStringLiteral("/mirelight-secret-target");
    QFile::remove(target);
    ASSERT_TRUE(QFile(target).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(QFile::remove(SecretFilePath()));
    ASSERT_TRUE(QFile::link(target, SecretFilePath()));
    const SecretOutcome refused = WriteSecret(kName, QStringLiteral("through"));
    EXPECT_FALSE(refused.done);
    EXPECT_EQ(refused.place, SecretPlace::PrivateFile);
    EXPECT_FALSE(ReadSecret(QStringLiteral("other")).done);
    EXPECT_TRUE(Contents(target).isEmpty());
    QFile::remove(target);
}

TEST(SecretStore, WithASecretServiceTheSecretIsKeptThereAndAnOlderCopyLeavesTheFile)
{
    testsupport::CTestDesktop desktop;
    ASSERT_TRUE(desktop.StartSessionBus()) << desktop.Problem();
    ASSERT_EQ(WriteSecret(kName, QStringLiteral("from-the-file")).place, SecretPlace::PrivateFile);
    if (!desktop.StartSecretService()) {
        if (desktop.Missing())
            GTEST_SKIP() << desktop.Problem();
        FAIL() << desktop.Problem();
    }
    ExpectRead(kName, QStringLiteral("from-the-file"), SecretPlace::PrivateFile);

    for (const QString& secret : { QStringLiteral("first"), QStringLiteral("second") }) {
        const SecretOutcome written = WriteSecret(kName, secret);
        EXPECT_TRUE(written.done) << written.problem.toStdString();
        EXPECT_EQ(written.place, SecretPlace::SystemStore);
        ExpectRead(kName, secret, SecretPlace::SystemStore);
    }
    EXPECT_FALSE(Contents(SecretFilePath()).contains("from-the-file"));
    ExpectNowhereOnDisk(QStringLiteral("second"));

    const SecretOutcome deleted = DeleteSecret(kName);
    EXPECT_TRUE(deleted.done) << deleted.problem.toStdString();
    EXPECT_EQ(deleted.place, SecretPlace::SystemStore);
    ExpectRead(kName, std::nullopt, SecretPlace::SystemStore);
}

} // namespace
