#include "app/CCommandServer.h"

#include "panel/CPanelDlg.h"
#include "platform/CInstanceLock.h"
#include "platform/PeerCredentials.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

using mirelight::remote::Request;

namespace {

// A request that has not arrived whole by then is dropped: a stalled client holds nothing.
constexpr int kRequestTimeoutMs = 2000;
constexpr char kTaken[] = "requestTaken";

} // namespace

CCommandServer::CCommandServer(CPanelDlg& panel) : m_panel(panel)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &CCommandServer::OnNewConnection);
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
    if (path.isEmpty())
        return false;
    // We hold the instance lock: a socket left there is a crashed instance's.
    QLocalServer::removeServer(path);
    return m_server.listen(path);
}

void CCommandServer::OnNewConnection()
{
    while (QLocalSocket* client = m_server.nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        if (!IsSameUserPeer(client->socketDescriptor())) {
            client->abort();
            continue;
        }
        connect(client, &QLocalSocket::readyRead, this, [this, client] { OnReadyRead(client); });
        QTimer::singleShot(kRequestTimeoutMs, client, [client] {
            if (!client->property(kTaken).toBool())
                client->abort();
        });
        OnReadyRead(client); // it may have written before we looked
    }
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
        Answer(client, QStringLiteral("error request too long"));
        return;
    }
    line.chop(1);
    const auto request
        = mirelight::remote::ParseRequest(std::string_view(line.constData(), line.size()));
    if (!request) {
        Answer(client, QStringLiteral("error unknown request"));
        return;
    }
    Handle(client, *request);
}

void CCommandServer::Handle(QLocalSocket* client, const Request& request)
{
    switch (request.kind) {
    case Request::Kind::Press: {
        // The answer waits for the press, which may wait behind a long operation.
        QPointer<QLocalSocket> waiting(client);
        m_panel.PressButton(request.button - 1, [this, waiting](bool confirmed) {
            if (waiting)
                Answer(waiting,
                       (confirmed ? QStringLiteral("ok ") : QStringLiteral("failed "))
                           + m_panel.Status());
        });
        break;
    }
    case Request::Kind::Show:
        m_panel.ShowFromTray();
        Answer(client, QStringLiteral("ok"));
        break;
    case Request::Kind::Status:
        Answer(client,
               QStringLiteral("ok %1 %2 %3")
                   .arg(m_panel.Dongle().IsPortOpen() ? QStringLiteral("open")
                                                      : QStringLiteral("closed"),
                        m_panel.Dongle().IsNetworkUp() ? QStringLiteral("joined")
                                                       : QStringLiteral("not-joined"),
                        m_panel.Status()));
        break;
    }
}

void CCommandServer::Answer(QLocalSocket* client, const QString& line)
{
    // One line: a status text never holds a line break, but make sure.
    QString text = line;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    client->write(text.toUtf8() + '\n');
    client->flush();
    client->disconnectFromServer(); // after the answer has been written
}
