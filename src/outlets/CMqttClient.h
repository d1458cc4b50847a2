#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <utility>

class QEventLoop;
class QSocketNotifier;
struct mosquitto;
struct mosquitto_message;

// An MQTT connection driven by the Qt event loop: libmosquitto with its socket watched by
// socket notifiers, never a thread of its own. Only the name look-up and the connect, which
// block inside libmosquitto, run on a worker thread, which has the connection to itself until
// it hands it back. Retries after any failure or loss until Stop.
class CMqttClient : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString host;
        int port = 1883;
        QString user;
        QString password; // empty: none
        QString clientId; // "mirelight-<node>"
        int keepAliveSeconds = 60;
        QString willTopic; // retained, QoS 1; none when empty
        QByteArray willPayload;
        bool tls = false; // not in a build whose libmosquitto has no TLS: Start then fails
        QString caFile; // empty: the system's CAs
    };
    enum class State { Off, Resolving, Connecting, Connected, WaitingToRetry, Refused };

    static constexpr int kFirstRetrySeconds = 1;
    static constexpr int kLastRetrySeconds = 60;

    explicit CMqttClient(QObject* parent = nullptr);
    ~CMqttClient() override;

    // Connects now; after a failure or a loss tries again after 1 s, doubling up to 60 s.
    void Start(const Options& options);
    // Says goodbye to the broker (so it publishes no will), retries no more and forgets the
    // subscriptions.
    void Stop();
    State CurrentState() const { return m_state; }
    // One line for the user: "Connected to host:port", "Not connected" when off, and so on.
    QString StateText() const { return m_stateText; }

    // QoS 1; false when not connected.
    bool Publish(const QString& topic, const QByteArray& payload, bool retain);
    // Remembered and subscribed again after every connect.
    void Subscribe(const QString& topicFilter);
    // For an orderly exit: publishes and runs the event loop until the broker has acknowledged
    // the message, for at most timeoutMs. False when it was not acknowledged by then.
    bool PublishAndFlush(const QString& topic, const QByteArray& payload, bool retain,
                         int timeoutMs);

signals:
    void Connected(); // after the broker accepted us and the subscriptions went out
    void Disconnected();
    void StateChanged(); // StateText() changed
    void MessageReceived(const QString& topic, const QByteArray& payload);

private:
    struct Session;

    void Attempt();
    static int ConnectAsync(Session& session, const QString& host, int port, int keepAlive);
    void OnAttemptDone(quint64 generation, int result);
    void WatchSocket();
    void OnReadable();
    void OnWritable();
    void OnMiscTimer();
    void AfterLoop(int result);
    void HandleConnack(int code);
    void RetryLater(State state, const QString& text);
    void FailAttempt(int result);
    void TearDown(bool orderly);
    void SetState(State state, const QString& text);
    void WatchReachability();
    void OnReachabilityBack();
    bool SendPublish(const QString& topic, const QByteArray& payload, bool retain, int* pMid);
    QString Address() const;
    QString CannotReachText() const;

    static void OnConnackCallback(mosquitto* pMosq, void* pSelf, int code);
    static void OnMessageCallback(mosquitto* pMosq, void* pSelf, const mosquitto_message* pMessage);
    static void OnPublishCallback(mosquitto* pMosq, void* pSelf, int mid);

    Options m_options;
    State m_state = State::Off;
    QString m_stateText;
    QStringList m_subscriptions;
    std::shared_ptr<Session> m_session;
    quint64 m_generation = 0; // a worker's answer for an older one is dropped
    int m_retrySeconds = kFirstRetrySeconds;
    bool m_watchingReachability = false;
    QTimer m_retry;
    QTimer m_misc; // keep-alive pings; runs only while a socket is open
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    // What libmosquitto's callbacks saw, handled once it has returned.
    int m_connack = -1;
    QList<std::pair<QString, QByteArray>> m_inbox;
    QList<int> m_acknowledged;
    QEventLoop* m_flushLoop = nullptr;
    int m_flushMid = -1;
    bool m_flushAcknowledged = false;
};
