#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real mosquitto of a test's own on 127.0.0.1, at a free port, without persistence.
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

    static bool Available(); // false: tests skip

    ~CTestBroker() { Stop(); }
    // Start waits until it takes connections; false when it did not.
    bool Start(const Setup& setup = {});
    bool Restart() // on the same port
    {
        Stop();
        return Launch();
    }
    void Stop();
    int Port() const { return m_port; }

    // "topic payload" of the first `count` messages on topic, retained ones included, within
    // `seconds` (by mosquitto_sub, as the setup's user).
    QStringList Receive(const QString& topic, int count, int seconds) const;
    // QoS 1, by mosquitto_pub; false when it was not sent.
    bool Publish(const QString& topic, const QByteArray& payload, bool retain = true) const;

private:
    bool Launch();
    QStringList ClientArguments() const;

    Setup m_setup;
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
};
