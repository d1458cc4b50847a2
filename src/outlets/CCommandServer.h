#pragma once

#include "outlets/RemoteProtocol.h"

#include <QLocalServer>
#include <QString>
#include <QTimer>

class CCommandSurface;
class QLocalSocket;

// The running instance's end of "mirelight --press N | --show | --status": a local socket
// beside the single-instance lock, for the same user only, served only by the instance that
// holds the lock. A press queues behind the operation in progress as a click does, and is
// answered once it has run. Bounded: a few clients at once, and the surface's few presses.
class CCommandServer : public QObject
{
    Q_OBJECT

public:
    // Clients served at once; one more is told the instance is busy and is let go.
    static constexpr int kMaxClients = 16;

    explicit CCommandServer(CCommandSurface& commands);

    // Starts listening, replacing a socket a crashed instance left; only for the holder of the
    // instance lock. False (and the program runs on without commands) when it cannot.
    bool Listen();

    // Where the socket lives; empty when the user has no folder for it.
    static QString SocketPath();

private:
    void OnNewConnection();
    void Serve(QLocalSocket* client);
    void OnClientGone();
    void ListenAgainIfStopped();
    void OnReadyRead(QLocalSocket* client);
    void Handle(QLocalSocket* client, const mirelight::remote::Request& request);
    static void Reply(QLocalSocket* client, mirelight::remote::Request::Kind kind,
                      const mirelight::remote::Answer& answer);
    mirelight::remote::Answer StatusAnswer() const;

    CCommandSurface& m_commands;
    QLocalServer m_server;
    int m_clients = 0;
    QTimer m_relisten; // runs only while a listen that stopped could not start again
};
