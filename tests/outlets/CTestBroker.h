#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real mosquitto of a test's own on 127.0.0.1, at a free port, without persistence. Tests
// skip when Available() says no broker is installed.
class CTestBroker
{
public:
    struct Setup
    {
        QString user; // non-empty: only this user, with this password, may connect
        QString password;
        QString certFile; // non-empty: TLS only, with this certificate and its key
        QString keyFile;
    };

    static bool Available();

    CTestBroker() = default;
    ~CTestBroker() { Stop(); }
    CTestBroker(const CTestBroker&) = delete;
    CTestBroker& operator=(const CTestBroker&) = delete;

    // Starts it and waits until it takes connections; false when it did not.
    bool Start(const Setup& setup = {});
    void Stop();
    bool Restart(); // on the same port
    int Port() const { return m_port; }
    QString Folder() const { return m_folder.path(); }

    // "topic payload" of the first `count` messages on topic, retained ones included, waiting
    // at most `seconds` (mosquitto_sub, as the setup's user).
    QStringList Receive(const QString& topic, int count, int seconds) const;
    // A retained message, by mosquitto_pub; false when it was not sent.
    bool PublishRetained(const QString& topic, const QByteArray& payload) const;

private:
    bool Launch();
    bool WriteConfig() const;
    QStringList ClientArguments() const;

    Setup m_setup;
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
};
