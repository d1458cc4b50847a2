#include "outlets/CMqttClient.h"

#include "ui/CLogSink.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QHostInfo>
#include <QNetworkInformation>
#include <QPromise>
#include <QSocketNotifier>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr int kMiscIntervalMs = 1000; // keep-alive pings are due to the second
constexpr int kConnackBadUserOrPassword = 4;
constexpr int kConnackNotAuthorised = 5;
constexpr char kSystemCaFolder[] = "/etc/ssl/certs";

void UseLibrary()
{
    struct Library
    {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
    };
    static Library library;
}

} // namespace

// One connection's libmosquitto object. Shared with the worker while it connects; whoever lets
// go last destroys it, so an answer nobody waits for any more frees it too.
struct CMqttClient::Session
{
    mosquitto* pMosq = nullptr;
    int connectErrno = 0; // the worker's, for the log
    std::atomic<bool> abandoned = false; // stopped or started again: the worker must not connect
    ~Session()
    {
        if (pMosq)
            mosquitto_destroy(pMosq);
    }
};

CMqttClient::CMqttClient(QObject* parent) : QObject(parent), m_stateText(tr("Not connected"))
{
    UseLibrary();
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &CMqttClient::Attempt);
    m_misc.setInterval(kMiscIntervalMs);
    connect(&m_misc, &QTimer::timeout, this, &CMqttClient::OnMiscTimer);
}

CMqttClient::~CMqttClient()
{
    TearDown(true);
}

void CMqttClient::Start(const Options& options)
{
    TearDown(true);
    WatchReachability();
    m_options = options;
    m_retrySeconds = kFirstRetrySeconds;
    Attempt();
}

// Only once started: a bridge that stays off must not even listen to the network's news.
// Windows' static Qt has no network-information plugin: there only the back-off retries.
void CMqttClient::WatchReachability()
{
    if (m_watchingReachability || !QNetworkInformation::loadDefaultBackend())
        return;
    m_watchingReachability = true;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                if (reachability != QNetworkInformation::Reachability::Disconnected
                    && reachability != QNetworkInformation::Reachability::Unknown)
                    OnReachabilityBack();
            });
}

void CMqttClient::Stop()
{
    const bool wasConnected = m_state == State::Connected;
    TearDown(true);
    m_retry.stop();
    m_subscriptions.clear(); // the next Start may be for other topics
    SetState(State::Off, tr("Not connected"));
    if (wasConnected)
        emit Disconnected();
}

QString CMqttClient::Address() const
{
    return QStringLiteral("%1:%2").arg(m_options.host).arg(m_options.port);
}

QString CMqttClient::CannotReachText() const
{
    return tr("Cannot reach %1, trying again in %2 s").arg(Address()).arg(m_retrySeconds);
}

void CMqttClient::SetState(State state, const QString& text)
{
    m_state = state;
    if (text == m_stateText)
        return;
    m_stateText = text;
    emit StateChanged();
}

void CMqttClient::Attempt()
{
    TearDown(false);
    auto session = std::make_shared<Session>();
    session->pMosq = mosquitto_new(m_options.clientId.toUtf8().constData(), true, this);
    mosquitto* pMosq = session->pMosq;
    if (!pMosq) {
        RetryLater(State::WaitingToRetry, CannotReachText());
        return;
    }
    mosquitto_int_option(pMosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!m_options.willTopic.isEmpty()) {
        const QByteArray topic = m_options.willTopic.toUtf8();
        mosquitto_will_set(pMosq, topic.constData(), int(m_options.willPayload.size()),
                           m_options.willPayload.constData(), 1, true);
    }
    if (!m_options.user.isEmpty()) {
        const QByteArray password = m_options.password.toUtf8();
        mosquitto_username_pw_set(pMosq, m_options.user.toUtf8().constData(),
                                  password.isEmpty() ? nullptr : password.constData());
    }
    if (m_options.tls) {
        const QByteArray caFile = m_options.caFile.toLocal8Bit();
        const int result = mosquitto_tls_set(pMosq, caFile.isEmpty() ? nullptr : caFile.constData(),
                                             caFile.isEmpty() ? kSystemCaFolder : nullptr, nullptr,
                                             nullptr, nullptr);
        if (result != MOSQ_ERR_SUCCESS) {
            // Never plain text instead; and retrying would not make the library grow TLS.
            qCWarning(lcMqtt, "No TLS: %s", mosquitto_strerror(result));
            SetState(State::Off,
                     result == MOSQ_ERR_NOT_SUPPORTED
                         ? tr("This build cannot connect with TLS")
                         : tr("Cannot use the CA file %1").arg(m_options.caFile));
            return;
        }
    }

    m_session = session;
    SetState(State::Resolving, tr("Connecting to %1").arg(Address()));
    const quint64 generation = m_generation;
    auto promise = std::make_shared<QPromise<int>>();
    auto* pWatcher = new QFutureWatcher<int>(this);
    connect(pWatcher, &QFutureWatcherBase::finished, this, [this, pWatcher, generation] {
        pWatcher->deleteLater();
        OnAttemptDone(generation, pWatcher->result());
    });
    pWatcher->setFuture(promise->future());
    promise->start();
    std::thread([session, promise, host = m_options.host, port = m_options.port,
                 keepAlive = m_options.keepAliveSeconds] {
        promise->addResult(ConnectAsync(*session, host, port, keepAlive));
        promise->finish();
    }).detach();
}

// On the worker: the look-up and the connect block inside libmosquitto. A name server can take
// seconds; looking up first lets an attempt abandoned meanwhile go without its CONNECT, which
// would otherwise take the broker's session over from the attempt that replaced it.
// libmosquitto then looks the name up again: it needs the name, not an address, to check a
// TLS broker's certificate.
int CMqttClient::ConnectAsync(Session& session, const QString& host, int port, int keepAlive)
{
    if (const QHostInfo found = QHostInfo::fromName(host); found.error() != QHostInfo::NoError) {
        qCWarning(lcMqtt, "Cannot look %s up: %s", qUtf8Printable(host),
                  qUtf8Printable(found.errorString()));
        return MOSQ_ERR_EAI;
    }
    if (session.abandoned)
        return MOSQ_ERR_CONN_LOST; // nobody reads this one
    const int result
        = mosquitto_connect_async(session.pMosq, host.toUtf8().constData(), port, keepAlive);
    session.connectErrno = errno;
    return result;
}

void CMqttClient::OnAttemptDone(quint64 generation, int result)
{
    if (generation != m_generation)
        return; // stopped or started again meanwhile
    if (result != MOSQ_ERR_SUCCESS) {
        errno = m_session->connectErrno;
        FailAttempt(result);
        return;
    }
    SetState(State::Connecting, m_stateText);
    mosquitto* pMosq = m_session->pMosq;
    mosquitto_connect_callback_set(pMosq, &CMqttClient::OnConnackCallback);
    mosquitto_message_callback_set(pMosq, &CMqttClient::OnMessageCallback);
    mosquitto_publish_callback_set(pMosq, &CMqttClient::OnPublishCallback);
    WatchSocket();
}

void CMqttClient::WatchSocket()
{
    const int socket = mosquitto_socket(m_session->pMosq);
    m_readNotifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &CMqttClient::OnReadable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &CMqttClient::OnWritable);
    m_misc.start();
    AfterLoop(MOSQ_ERR_SUCCESS); // the CONNECT may still wait to be written
}

void CMqttClient::OnReadable()
{
    AfterLoop(mosquitto_loop_read(m_session->pMosq, 1));
}

void CMqttClient::OnWritable()
{
    AfterLoop(mosquitto_loop_write(m_session->pMosq, 1));
}

void CMqttClient::OnMiscTimer()
{
    AfterLoop(mosquitto_loop_misc(m_session->pMosq));
}

// After every call into libmosquitto: what its callbacks saw, then whether the socket lives.
// A slot may stop or restart us; the generation tells.
void CMqttClient::AfterLoop(int result)
{
    const quint64 generation = m_generation;
    if (m_connack >= 0) {
        HandleConnack(std::exchange(m_connack, -1));
        if (generation != m_generation)
            return;
    }
    while (!m_inbox.isEmpty()) {
        const auto [topic, payload] = m_inbox.takeFirst();
        emit MessageReceived(topic, payload);
        if (generation != m_generation)
            return;
    }
    if (m_flushLoop && m_acknowledged.contains(m_flushMid)) {
        m_flushAcknowledged = true;
        m_flushLoop->quit();
    }
    m_acknowledged.clear();
    if (result != MOSQ_ERR_SUCCESS || mosquitto_socket(m_session->pMosq) < 0) {
        // Closed without an error: the broker stayed silent past the keep-alive.
        FailAttempt(result != MOSQ_ERR_SUCCESS ? result : MOSQ_ERR_KEEPALIVE);
        return;
    }
    m_writeNotifier->setEnabled(mosquitto_want_write(m_session->pMosq));
}

void CMqttClient::HandleConnack(int code)
{
    if (code == kConnackBadUserOrPassword || code == kConnackNotAuthorised) {
        qCWarning(lcMqtt, "%s refused the user name or password", qUtf8Printable(Address()));
        RetryLater(State::Refused, tr("The broker refused the user name or password"));
        return;
    }
    if (code != 0) {
        qCWarning(lcMqtt, "%s refused the connection: %s", qUtf8Printable(Address()),
                  mosquitto_connack_string(code));
        RetryLater(State::WaitingToRetry,
                   tr("The broker at %1 refused the connection (%2), trying again in %3 s")
                       .arg(Address(), QString::fromUtf8(mosquitto_connack_string(code)))
                       .arg(m_retrySeconds));
        return;
    }
    qCInfo(lcMqtt, "Connected to %s", qUtf8Printable(Address()));
    m_retrySeconds = kFirstRetrySeconds;
    for (const QString& filter : std::as_const(m_subscriptions))
        mosquitto_subscribe(m_session->pMosq, nullptr, filter.toUtf8().constData(), 1);
    SetState(State::Connected, tr("Connected to %1").arg(Address()));
    emit Connected();
}

void CMqttClient::FailAttempt(int result)
{
    qCWarning(lcMqtt, "%s: %s", qUtf8Printable(Address()),
              result == MOSQ_ERR_ERRNO ? std::generic_category().message(errno).c_str()
                                       : mosquitto_strerror(result));
    if (result == MOSQ_ERR_TLS) {
        RetryLater(State::WaitingToRetry,
                   tr("The broker's certificate for %1 could not be verified").arg(m_options.host));
        return;
    }
    RetryLater(State::WaitingToRetry, CannotReachText());
}

void CMqttClient::RetryLater(State state, const QString& text)
{
    const bool wasConnected = m_state == State::Connected;
    TearDown(false);
    SetState(state, text);
    m_retry.start(m_retrySeconds * 1000);
    m_retrySeconds = std::min(2 * m_retrySeconds, kLastRetrySeconds);
    if (wasConnected)
        emit Disconnected();
}

void CMqttClient::OnReachabilityBack()
{
    if (!m_retry.isActive())
        return;
    m_retry.stop();
    Attempt();
}

// The notifiers go before libmosquitto closes their socket. orderly: a DISCONNECT first, so the
// broker keeps the will to itself.
void CMqttClient::TearDown(bool orderly)
{
    ++m_generation;
    const bool socketOpen = m_readNotifier != nullptr;
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_misc.stop();
    if (orderly && socketOpen && mosquitto_socket(m_session->pMosq) >= 0)
        mosquitto_disconnect(m_session->pMosq);
    if (m_session)
        m_session->abandoned = true;
    m_session.reset();
    m_connack = -1;
    m_inbox.clear();
    m_acknowledged.clear();
    if (m_flushLoop)
        m_flushLoop->quit();
}

bool CMqttClient::SendPublish(const QString& topic, const QByteArray& payload, bool retain,
                              int* pMid)
{
    if (m_state != State::Connected)
        return false;
    const int result = mosquitto_publish(m_session->pMosq, pMid, topic.toUtf8().constData(),
                                         int(payload.size()), payload.constData(), 1, retain);
    if (result != MOSQ_ERR_SUCCESS)
        qCWarning(lcMqtt, "Not published to %s: %s", qUtf8Printable(topic),
                  mosquitto_strerror(result));
    // A failed write has closed the socket: the loss is handled once back in the event loop.
    m_writeNotifier->setEnabled(true);
    return result == MOSQ_ERR_SUCCESS;
}

bool CMqttClient::Publish(const QString& topic, const QByteArray& payload, bool retain)
{
    return SendPublish(topic, payload, retain, nullptr);
}

bool CMqttClient::PublishAndFlush(const QString& topic, const QByteArray& payload, bool retain,
                                  int timeoutMs)
{
    int mid = -1;
    if (!SendPublish(topic, payload, retain, &mid))
        return false;
    QEventLoop loop;
    m_flushLoop = &loop;
    m_flushMid = mid;
    m_flushAcknowledged = false;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec(); // AfterLoop quits it on the acknowledgement, TearDown on a loss
    m_flushLoop = nullptr;
    return m_flushAcknowledged;
}

void CMqttClient::Subscribe(const QString& topicFilter)
{
    if (m_subscriptions.contains(topicFilter))
        return;
    m_subscriptions.append(topicFilter);
    if (m_state == State::Connected) {
        mosquitto_subscribe(m_session->pMosq, nullptr, topicFilter.toUtf8().constData(), 1);
        m_writeNotifier->setEnabled(true);
    }
}

void CMqttClient::OnConnackCallback(mosquitto*, void* pSelf, int code)
{
    static_cast<CMqttClient*>(pSelf)->m_connack = code;
}

void CMqttClient::OnMessageCallback(mosquitto*, void* pSelf, const mosquitto_message* pMessage)
{
    static_cast<CMqttClient*>(pSelf)->m_inbox.append(
        { QString::fromUtf8(pMessage->topic),
          QByteArray(static_cast<const char*>(pMessage->payload), pMessage->payloadlen) });
}

void CMqttClient::OnPublishCallback(mosquitto*, void* pSelf, int mid)
{
    static_cast<CMqttClient*>(pSelf)->m_acknowledged.append(mid);
}
