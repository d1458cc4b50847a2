#pragma once

#include "app/CommandRequest.h"

#include <QLocalServer>
#include <QString>

class CPanelDlg;
class QLocalSocket;

// The running instance's end of "mirelight --press N | --show | --status": a local socket
// beside the single-instance lock, for the same user only. A press queues behind the
// operation in progress as a click does, and is answered once it has run.
class CCommandServer : public QObject
{
    Q_OBJECT

public:
    explicit CCommandServer(CPanelDlg& panel);

    // Starts listening; false (and the program runs on without commands) when it cannot.
    bool Listen();

    // Where the socket lives; empty when the user has no folder for it.
    static QString SocketPath();

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* client);
    void Handle(QLocalSocket* client, const mirelight::remote::Request& request);
    static void Answer(QLocalSocket* client, const QString& line);

    CPanelDlg& m_panel;
    QLocalServer m_server;
};
