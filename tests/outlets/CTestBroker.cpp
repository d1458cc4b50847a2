#include "outlets/CTestBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

constexpr char kBroker[] = "/usr/sbin/mosquitto";
constexpr int kStartMs = 10000;
constexpr int kLaunchTries = 5; // another process may take the port between look-up and use

int FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

bool CTestBroker::Available()
{
    return QFileInfo(QString::fromLatin1(kBroker)).isExecutable();
}

bool CTestBroker::Start(const Setup& setup)
{
    Stop();
    m_setup = setup;
    if (!setup.user.isEmpty()
        && QProcess::execute(QStringLiteral("mosquitto_passwd"),
                             { QStringLiteral("-b"), QStringLiteral("-c"),
                               m_folder.filePath(QStringLiteral("passwords")), setup.user,
                               setup.password })
            != 0)
        return false;
    for (int i = 0; i < kLaunchTries; ++i) {
        m_port = FreePort();
        if (Launch())
            return true;
    }
    return false;
}

bool CTestBroker::Restart()
{
    Stop();
    for (int i = 0; i < kLaunchTries; ++i) {
        if (Launch())
            return true;
    }
    return false;
}

void CTestBroker::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kStartMs)) {
        m_process.kill();
        m_process.waitForFinished(kStartMs);
    }
}

bool CTestBroker::WriteConfig() const
{
    QStringList lines {
        QStringLiteral("listener %1 127.0.0.1").arg(m_port),
        QStringLiteral("persistence false"),
        // As root it would become the user mosquitto, who cannot read this folder.
        QStringLiteral("user root"),
        QStringLiteral("log_dest file %1").arg(m_folder.filePath(QStringLiteral("broker.log"))),
    };
    if (m_setup.user.isEmpty()) {
        lines << QStringLiteral("allow_anonymous true");
    } else {
        lines << QStringLiteral("allow_anonymous false")
              << QStringLiteral("password_file %1")
                     .arg(m_folder.filePath(QStringLiteral("passwords")));
    }
    if (!m_setup.certFile.isEmpty())
        lines << QStringLiteral("certfile %1").arg(m_setup.certFile)
              << QStringLiteral("keyfile %1").arg(m_setup.keyFile);
    QFile config(m_folder.filePath(QStringLiteral("broker.conf")));
    return config.open(QIODevice::WriteOnly)
        && config.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n') > 0;
}

bool CTestBroker::Launch()
{
    if (m_port == 0 || !WriteConfig())
        return false;
    m_process.start(QString::fromLatin1(kBroker),
                    { QStringLiteral("-c"), m_folder.filePath(QStringLiteral("broker.conf")) });
    if (!m_process.waitForStarted(kStartMs))
        return false;
    const QDeadlineTimer deadline(kStartMs);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        // A clash on the port ends the broker: connected to another program is no success.
        if (probe.waitForConnected(1000) && !m_process.waitForFinished(100))
            return true;
        QThread::msleep(50);
    }
    Stop();
    return false;
}

QStringList CTestBroker::ClientArguments() const
{
    QStringList arguments { QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                            QString::number(m_port) };
    if (!m_setup.user.isEmpty())
        arguments << QStringLiteral("-u") << m_setup.user << QStringLiteral("-P")
                  << m_setup.password;
    return arguments;
}

QStringList CTestBroker::Receive(const QString& topic, int count, int seconds) const
{
    QProcess subscriber;
    subscriber.start(QStringLiteral("mosquitto_sub"),
                     ClientArguments() << QStringLiteral("-t") << topic << QStringLiteral("-v")
                                       << QStringLiteral("-W") << QString::number(seconds)
                                       << QStringLiteral("-C") << QString::number(count));
    subscriber.waitForFinished((seconds + 10) * 1000);
    return QString::fromUtf8(subscriber.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool CTestBroker::PublishRetained(const QString& topic, const QByteArray& payload) const
{
    return QProcess::execute(QStringLiteral("mosquitto_pub"),
                             ClientArguments()
                                 << QStringLiteral("-r") << QStringLiteral("-q")
                                 << QStringLiteral("1") << QStringLiteral("-t") << topic
                                 << QStringLiteral("-m") << QString::fromUtf8(payload))
        == 0;
}
