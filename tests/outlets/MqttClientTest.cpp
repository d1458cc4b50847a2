#include "outlets/CHeldLookup.h"
#include "outlets/CMqttClient.h"
#include "outlets/CTestBroker.h"
#include "support/QtPrinters.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

namespace {

constexpr int kWaitMs = 30000; // generous: the back-off alone takes seconds
const QString kStatus = QStringLiteral("mirelight/test/status");

using State = CMqttClient::State;

// Shuts this process's connections to the port down under libmosquitto: to the broker, the
// client has died.
void CutConnectionsTo(int port)
{
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_in peer {};
        socklen_t length = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0
            && peer.sin_family == AF_INET && ntohs(peer.sin_port) == port)
            shutdown(fd, SHUT_RDWR);
    }
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
        m_options.host = QStringLiteral("127.0.0.1");
        m_options.clientId = QStringLiteral("mirelight-test");
        m_options.willTopic = kStatus;
        m_options.willPayload = "offline";
    }

    bool Start(const CTestBroker::Setup& setup = {})
    {
        const bool started = m_broker.Start(setup);
        m_options.port = m_broker.Port();
        return started;
    }
    bool Seen(State state, const QString& text)
    {
        return QTest::qWaitFor([&] { return m_seen.contains({ state, text }); }, kWaitMs);
    }
    bool WaitFor(State state)
    {
        return QTest::qWaitFor([&] { return m_client.CurrentState() == state; }, kWaitMs);
    }

    CTestBroker m_broker;
    CMqttClient m_client;
    CMqttClient::Options m_options;
    QList<std::pair<State, QString>> m_seen; // every state text, with its state
};

TEST_F(MqttClientTest, PublishesSubscribesAndStopsWithoutItsWill)
{
    ASSERT_TRUE(Start());
    QSignalSpy received(&m_client, &CMqttClient::MessageReceived);
    m_client.Subscribe(QStringLiteral("mirelight/test/set/#"));
    m_client.Start(m_options);
    ASSERT_TRUE(
        Seen(State::Connected, QStringLiteral("Connected to 127.0.0.1:%1").arg(m_options.port)));
    EXPECT_TRUE(m_client.PublishAndFlush(kStatus, "online", true, kWaitMs));
    ASSERT_TRUE(m_broker.Publish(QStringLiteral("mirelight/test/set/2"), "toggle"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, kWaitMs));
    EXPECT_EQ(received[0][0].toString(), QStringLiteral("mirelight/test/set/2"));
    EXPECT_EQ(received[0][1].toByteArray(), "toggle");

    m_client.Stop();
    EXPECT_EQ(m_client.StateText(), QStringLiteral("Not connected"));
    EXPECT_FALSE(m_client.Publish(kStatus, "off", true));
    // Still the retained "online": the goodbye kept the broker from publishing the will.
    EXPECT_EQ(m_broker.Receive(kStatus, 1, 10),
              QStringList { kStatus + QStringLiteral(" online") });
}

TEST_F(MqttClientTest, TheWillIsPublishedWhenTheClientGoesWithoutGoodbye)
{
    ASSERT_TRUE(Start());
    m_client.Start(m_options);
    ASSERT_TRUE(WaitFor(State::Connected));
    CutConnectionsTo(m_options.port);
    EXPECT_EQ(m_broker.Receive(kStatus, 1, 10),
              QStringList { kStatus + QStringLiteral(" offline") });
}

TEST_F(MqttClientTest, ComesBackAfterTheBrokerRestartsWithItsSubscriptions)
{
    ASSERT_TRUE(Start());
    QSignalSpy received(&m_client, &CMqttClient::MessageReceived);
    QSignalSpy disconnected(&m_client, &CMqttClient::Disconnected);
    m_client.Subscribe(QStringLiteral("mirelight/test/set"));
    m_client.Start(m_options);
    ASSERT_TRUE(WaitFor(State::Connected));

    m_broker.Stop();
    ASSERT_TRUE(
        Seen(State::WaitingToRetry,
             QStringLiteral("Cannot reach 127.0.0.1:%1, trying again in 1 s").arg(m_options.port)));
    EXPECT_EQ(disconnected.size(), 1);
    ASSERT_TRUE(m_broker.Restart());
    ASSERT_TRUE(WaitFor(State::Connected));
    ASSERT_TRUE(m_broker.Publish(QStringLiteral("mirelight/test/set"), "on"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, kWaitMs));
}

TEST_F(MqttClientTest, FailuresSayWhy)
{
    CTestBroker::Setup setup;
    setup.user = m_options.user = QStringLiteral("panel");
    setup.password = QStringLiteral("right");
    ASSERT_TRUE(Start(setup));
    m_options.password = QStringLiteral("wrong");
    m_client.Start(m_options);
    // The look-up and the connect are the worker's: Start has not waited for them.
    EXPECT_EQ(m_client.CurrentState(), State::Resolving);
    EXPECT_TRUE(
        Seen(State::Refused, QStringLiteral("The broker refused the user name or password")));

    m_options.host = QStringLiteral("nonexistent.invalid");
    m_client.Start(m_options);
    EXPECT_EQ(m_client.CurrentState(), State::Resolving);
    EXPECT_TRUE(Seen(State::WaitingToRetry,
                     QStringLiteral("Cannot reach nonexistent.invalid:%1, trying again in 1 s")
                         .arg(m_options.port)));
}

// A name server that keeps the look-up waiting holds neither the window nor a new start, and
// the abandoned attempt never connects: its CONNECT, with the same client id, would throw the
// new connection off the broker.
TEST_F(MqttClientTest, ALookupThatHangsHoldsNothingUpAndItsAbandonedAttemptNeverConnects)
{
    ASSERT_TRUE(Start());
    CHeldLookup lookup("broker.held.invalid");
    m_options.host = QStringLiteral("broker.held.invalid");
    m_client.Start(m_options);
    ASSERT_TRUE(lookup.WaitUntilAsked(1, std::chrono::milliseconds(kWaitMs)));
    EXPECT_FALSE(lookup.AskedOnThread(std::this_thread::get_id()));
    EXPECT_EQ(m_client.StateText(),
              QStringLiteral("Connecting to broker.held.invalid:%1").arg(m_options.port));

    QSignalSpy disconnected(&m_client, &CMqttClient::Disconnected);
    m_options.host = QStringLiteral("127.0.0.1");
    m_client.Start(m_options);
    ASSERT_TRUE(WaitFor(State::Connected));
    lookup.Release();
    QTest::qWait(1000); // the abandoned worker's turn: time to do harm if it would
    EXPECT_EQ(lookup.TimesAsked(), 1) << "the abandoned attempt went on to connect";
    EXPECT_TRUE(disconnected.isEmpty());
    EXPECT_EQ(m_client.CurrentState(), State::Connected);
}

// Never plain text instead: without the broker's certificate among its CAs, no connection.
TEST_F(MqttClientTest, TlsConnectsOnlyWhenTheCertificateVerifies)
{
    QTemporaryDir folder;
    CTestBroker::Setup setup;
    setup.certFile = folder.filePath(QStringLiteral("cert.pem"));
    setup.keyFile = folder.filePath(QStringLiteral("key.pem"));
    ASSERT_EQ(
        QProcess::execute(
            QStringLiteral("openssl"),
            QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                           "-days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1")
                    .split(QLatin1Char(' '))
                << QStringLiteral("-out") << setup.certFile << QStringLiteral("-keyout")
                << setup.keyFile),
        0);
    ASSERT_TRUE(Start(setup));
    m_options.tls = true; // the system's CAs
    m_client.Start(m_options);
    EXPECT_TRUE(
        Seen(State::WaitingToRetry,
             QStringLiteral("The broker's certificate for 127.0.0.1 could not be verified")));
    m_options.caFile = setup.certFile; // self-signed: its own CA
    m_client.Start(m_options);
    EXPECT_TRUE(WaitFor(State::Connected));
}

} // namespace
