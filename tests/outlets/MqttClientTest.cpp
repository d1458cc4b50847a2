#include "outlets/CMqttClient.h"
#include "outlets/CTestBroker.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 30000; // generous: the back-off alone may take seconds
const QString kHost = QStringLiteral("127.0.0.1");

using State = CMqttClient::State;

// A CA of the test's own and a certificate from it for 127.0.0.1: ca.crt, server.crt/.key.
bool MakeCertificates(const QDir& folder)
{
    const auto run = [&](const QString& arguments) {
        QProcess openssl;
        openssl.setWorkingDirectory(folder.path());
        openssl.start(QStringLiteral("openssl"), arguments.split(QLatin1Char(' ')));
        return openssl.waitForFinished(kWaitMs) && openssl.exitCode() == 0;
    };
    QFile extensions(folder.filePath(QStringLiteral("san.cnf")));
    if (!extensions.open(QIODevice::WriteOnly)
        || extensions.write("subjectAltName=IP:127.0.0.1\n") <= 0)
        return false;
    extensions.close();
    return run(QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                              "-keyout ca.key -out ca.crt -days 2 -subj /CN=TestCA"))
        && run(QStringLiteral("req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                              "-keyout server.key -out server.csr -subj /CN=127.0.0.1"))
        && run(QStringLiteral("x509 -req -in server.csr -CA ca.crt -CAkey ca.key "
                              "-CAcreateserial -days 2 -extfile san.cnf -out server.crt"));
}

class MqttClientTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!CTestBroker::Available())
            GTEST_SKIP() << "no broker installed (/usr/sbin/mosquitto)";
        QObject::connect(&m_client, &CMqttClient::StateChanged, &m_client, [this] {
            m_seen.append({ m_client.CurrentState(), m_client.StateText() });
        });
    }

    CMqttClient::Options Options(int port) const
    {
        CMqttClient::Options options;
        options.host = kHost;
        options.port = port;
        options.clientId = QStringLiteral("mirelight-test");
        return options;
    }

    bool Seen(State state, const QString& text) const { return m_seen.contains({ state, text }); }
    bool WaitFor(State state)
    {
        return QTest::qWaitFor([&] { return m_client.CurrentState() == state; }, kWaitMs);
    }

    CTestBroker m_broker;
    CMqttClient m_client;
    QList<std::pair<State, QString>> m_seen; // every state text, with its state
};

TEST_F(MqttClientTest, PublishesRetainedAndReceivesWhatItSubscribedTo)
{
    ASSERT_TRUE(m_broker.Start());
    QSignalSpy received(&m_client, &CMqttClient::MessageReceived);
    m_client.Subscribe(QStringLiteral("mirelight/test/set/#"));
    m_client.Start(Options(m_broker.Port()));
    ASSERT_TRUE(WaitFor(State::Connected));
    EXPECT_EQ(m_client.StateText(),
              QStringLiteral("Connected to 127.0.0.1:%1").arg(m_broker.Port()));

    EXPECT_TRUE(
        m_client.PublishAndFlush(QStringLiteral("mirelight/test/state"), "on", true, kWaitMs));
    EXPECT_EQ(m_broker.Receive(QStringLiteral("mirelight/test/state"), 1, 10),
              QStringList { QStringLiteral("mirelight/test/state on") });

    ASSERT_TRUE(m_broker.PublishRetained(QStringLiteral("mirelight/test/set/2"), "toggle"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, kWaitMs));
    EXPECT_EQ(received[0][0].toString(), QStringLiteral("mirelight/test/set/2"));
    EXPECT_EQ(received[0][1].toByteArray(), "toggle");

    m_client.Stop();
    EXPECT_EQ(m_client.StateText(), QStringLiteral("Not connected"));
    EXPECT_FALSE(m_client.Publish(QStringLiteral("mirelight/test/state"), "off", true));
}

// The broker publishes the will of a client that died, and not of one that said goodbye.
TEST_F(MqttClientTest, WillOnlyWhenTheClientDiesWithoutGoodbye)
{
    ASSERT_TRUE(m_broker.Start());
    const QString topic = QStringLiteral("mirelight/test/status");
    QProcess dying;
    dying.start(QStringLiteral(WILL_CLIENT_EXE),
                { QString::number(m_broker.Port()), topic, QStringLiteral("offline") });
    ASSERT_TRUE(QTest::qWaitFor([&] { return dying.canReadLine(); }, kWaitMs));
    dying.kill();
    dying.waitForFinished();
    EXPECT_EQ(m_broker.Receive(topic, 1, 10), QStringList { topic + QStringLiteral(" offline") });

    CMqttClient::Options options = Options(m_broker.Port());
    options.willTopic = topic;
    options.willPayload = "gone";
    m_client.Start(options);
    ASSERT_TRUE(WaitFor(State::Connected));
    ASSERT_TRUE(m_client.PublishAndFlush(topic, "online", true, kWaitMs));
    m_client.Stop();
    EXPECT_EQ(m_broker.Receive(topic, 1, 10), QStringList { topic + QStringLiteral(" online") });
}

TEST_F(MqttClientTest, ComesBackAfterTheBrokerRestartsWithItsSubscriptions)
{
    ASSERT_TRUE(m_broker.Start());
    QSignalSpy received(&m_client, &CMqttClient::MessageReceived);
    QSignalSpy disconnected(&m_client, &CMqttClient::Disconnected);
    m_client.Subscribe(QStringLiteral("mirelight/test/set"));
    m_client.Start(Options(m_broker.Port()));
    ASSERT_TRUE(WaitFor(State::Connected));

    m_broker.Stop();
    const QString lost
        = QStringLiteral("Cannot reach 127.0.0.1:%1, trying again in 1 s").arg(m_broker.Port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Seen(State::WaitingToRetry, lost); }, kWaitMs));
    EXPECT_EQ(disconnected.size(), 1);
    ASSERT_TRUE(m_broker.Restart());
    ASSERT_TRUE(WaitFor(State::Connected));
    ASSERT_TRUE(m_broker.PublishRetained(QStringLiteral("mirelight/test/set"), "on"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, kWaitMs));
}

TEST_F(MqttClientTest, FailuresSayWhyAndAreLearntThroughTheEventLoop)
{
    struct Row
    {
        const char* what;
        QString host;
        QString password; // non-empty: the broker wants the user "panel" with "right"
        State state;
        QString text; // %1: the address
    };
    const Row rows[] = {
        { "wrong password", kHost, QStringLiteral("wrong"), State::Refused,
          QStringLiteral("The broker refused the user name or password") },
        { "no such name",
          QStringLiteral("nonexistent.invalid"),
          {},
          State::WaitingToRetry,
          QStringLiteral("Cannot reach %1, trying again in 1 s") },
        { "nobody listening",
          kHost,
          {},
          State::WaitingToRetry,
          QStringLiteral("Cannot reach %1, trying again in 1 s") },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        m_seen.clear();
        CMqttClient::Options options = Options(0);
        if (row.password.isEmpty()) {
            ASSERT_TRUE(m_broker.Start());
            m_broker.Stop(); // a port where nothing listens
        } else {
            CTestBroker::Setup setup;
            setup.user = options.user = QStringLiteral("panel");
            setup.password = QStringLiteral("right");
            ASSERT_TRUE(m_broker.Start(setup));
            options.password = row.password;
        }
        options.host = row.host;
        options.port = row.host == kHost ? m_broker.Port() : 1883;
        m_client.Start(options);
        // The look-up and the connect are left to the worker: Start has not waited for them.
        EXPECT_EQ(m_client.CurrentState(), State::Resolving);
        const QString text = QString(row.text).replace(
            QStringLiteral("%1"), QStringLiteral("%1:%2").arg(options.host).arg(options.port));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Seen(row.state, text); }, kWaitMs));
        m_client.Stop();
    }
}

// Never plain text instead: without the broker's CA the connection fails.
TEST_F(MqttClientTest, TlsConnectsOnlyWithTheBrokersCa)
{
    QTemporaryDir folder;
    ASSERT_TRUE(MakeCertificates(QDir(folder.path())));
    CTestBroker::Setup setup;
    setup.certFile = folder.filePath(QStringLiteral("server.crt"));
    setup.keyFile = folder.filePath(QStringLiteral("server.key"));
    ASSERT_TRUE(m_broker.Start(setup));
    CMqttClient::Options options = Options(m_broker.Port());
    options.tls = true; // the system's CAs, which know nothing of ours
    m_client.Start(options);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return Seen(
                State::WaitingToRetry,
                QStringLiteral("The broker's certificate for 127.0.0.1 could not be verified"));
        },
        kWaitMs));
    options.caFile = folder.filePath(QStringLiteral("ca.crt"));
    m_client.Start(options);
    EXPECT_TRUE(WaitFor(State::Connected));
}
} // namespace
