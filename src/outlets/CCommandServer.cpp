#include "outlets/CCommandServer.h"

#include "panel/CCommandSurface.h"
#include "platform/CInstanceLock.h"
#include "platform/PeerCredentials.h"
#include "platform/RuntimeFiles.h"
#include "ui/CLogSink.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>

using mirelight::remote::Answer;
using mirelight::remote::Request;

namespace {

// A request that has not arrived whole by then is dropped: a stalled client holds nothing.
constexpr int kRequestTimeoutMs = 2000;
constexpr int kRelistenDelayMs = 1000;
constexpr char kTaken[] = "requestTaken";

} // namespace

CCommandServer::CCommandServer(CCommandSurface& commands) : m_commands(commands)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &CCommandServer::OnNewConnection);
    m_relisten.setSingleShot(true);
    m_relisten.setInterval(kRelistenDelayMs);
    connect(&m_relisten, &QTimer::timeout, this, &CCommandServer::ListenAgainIfStopped);
}

QString CCommandServer::SocketPath()
{
    const QString lockFile = CInstanceLock::LockFilePath();
    if (lockFile.isEmpty())
        return QString();
    return QFileInfo(lockFile).dir().filePath(QStringLiteral("Mirelight Commands"));
}

bool CCommandServer::Listen()
{
    const QString path = SocketPath();
    if (path.isEmpty()) {
        qCWarning(lcDongle, "No commands: the user has no runtime folder for their socket");
        return false;
    }
    if (const QString problem = LocalSocketPathProblem(path); !problem.isEmpty()) {
        qCWarning(lcDongle, "No commands: %s", qUtf8Printable(problem));
        return false;
    }
    // We hold the instance lock: a socket left there is a crashed instance's.
    QLocalServer::removeServer(path);
    if (!m_server.listen(path)) {
        qCWarning(lcDongle, "No commands: %s", qUtf8Printable(m_server.errorString()));
        return false;
    }
    KeepThroughCleanup(m_server.fullServerName());
    return true;
}

void CCommandServer::ListenAgainIfStopped()
{
    // Qt closes the server (and removes its socket) when an accept fails, as it does when the
    // process has run out of descriptors: listen again once some may have come free.
    if (m_server.isListening())
        return;
    qCWarning(lcDongle, "The command socket stopped listening (%s); listening again",
              qUtf8Printable(m_server.errorString()));
    if (!Listen())
        m_relisten.start();
}

void CCommandServer::OnNewConnection()
{
    while (QLocalSocket* client = m_server.nextPendingConnection()) {
        // Ours, not the server's: going with us, they no longer tell us they have gone.
        client->setParent(this);
        ++m_clients;
        connect(client, &QObject::destroyed, this, &CCommandServer::OnClientGone);
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        if (!IsSameUserClient(client->socketDescriptor())) {
            qCWarning(lcDongle, "A command from another user or another machine was refused");
            client->abort();
            client->deleteLater();
            continue;
        }
        if (m_clients > kMaxClients) {
            Reply(client, Request::Kind::Status,
                  { Answer::Verdict::Busy, "too many clients at once" });
            continue;
        }
        Serve(client);
    }
    ListenAgainIfStopped();
}

void CCommandServer::OnClientGone()
{
    --m_clients;
    ListenAgainIfStopped();
}

void CCommandServer::Serve(QLocalSocket* client)
{
    connect(client, &QLocalSocket::readyRead, this, [this, client] { OnReadyRead(client); });
    // The client's own timer: it goes with the client, so a served client leaves no wake-up.
    auto* pTimeout = new QTimer(client);
    pTimeout->setSingleShot(true);
    connect(pTimeout, &QTimer::timeout, client, [client] {
        if (!client->property(kTaken).toBool())
            client->abort();
    });
    pTimeout->start(kRequestTimeoutMs);
    OnReadyRead(client); // it may have written before we looked
}

void CCommandServer::OnReadyRead(QLocalSocket* client)
{
    constexpr qint64 kMax = mirelight::remote::kMaxRequestLength;
    if (!client->canReadLine() && client->bytesAvailable() < kMax)
        return; // more is to come
    // One request a connection: whatever follows it is not read.
    client->setProperty(kTaken, true);
    disconnect(client, &QLocalSocket::readyRead, this, nullptr);
    QByteArray line = client->readLine(kMax + 1);
    if (!line.endsWith('\n')) {
        Reply(client, Request::Kind::Status, { Answer::Verdict::Error, "request too long" });
        return;
    }
    line.chop(1);
    const auto request
        = mirelight::remote::ParseRequest(std::string_view(line.constData(), line.size()));
    if (!request) {
        Reply(client, Request::Kind::Status, { Answer::Verdict::Error, "unknown request" });
        return;
    }
    Handle(client, *request);
}

void CCommandServer::Handle(QLocalSocket* client, const Request& request)
{
    switch (request.kind) {
    case Request::Kind::Press: {
        // The answer waits for the press, which may wait behind a long operation; a client
        // that has gone by then wants nothing any more.
        QPointer<QLocalSocket> waiting(client);
        const auto stillWanted
            = [waiting] { return waiting && waiting->state() == QLocalSocket::ConnectedState; };
        const auto done = [this, waiting](CCommandSurface::PressOutcome outcome) {
            if (!waiting || outcome == CCommandSurface::PressOutcome::Dropped)
                return;
            const bool confirmed = outcome == CCommandSurface::PressOutcome::Confirmed;
            Reply(waiting, Request::Kind::Press,
                  { confirmed ? Answer::Verdict::Ok : Answer::Verdict::Failed,
                    m_commands.Status().toStdString() });
        };
        if (!m_commands.PressRemote(request.button - 1, stillWanted, done))
            Reply(client, request.kind, { Answer::Verdict::Busy, "too many presses waiting" });
        break;
    }
    case Request::Kind::Show:
        m_commands.ShowPanel();
        Reply(client, request.kind, {});
        break;
    case Request::Kind::Status:
        Reply(client, request.kind, StatusAnswer());
        break;
    }
}

Answer CCommandServer::StatusAnswer() const
{
    Answer answer { Answer::Verdict::Ok, m_commands.Status().toStdString() };
    answer.portOpen = m_commands.IsPortOpen();
    answer.networkUp = m_commands.IsNetworkUp();
    return answer;
}

void CCommandServer::Reply(QLocalSocket* client, Request::Kind kind,
                           const mirelight::remote::Answer& answer)
{
    client->write(QByteArray::fromStdString(mirelight::remote::FormatAnswer(kind, answer)));
    client->flush();
    client->disconnectFromServer(); // after the answer has been written
}
