#include "outlets/CTestBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

constexpr char kBroker[] = "/usr/sbin/mosquitto";
constexpr int kStartMs = 10000;
constexpr int kLaunchTries = 5; // another program may take the port between look-up and use

} // namespace

bool CTestBroker::Available()
{
    return QFileInfo(QString::fromLatin1(kBroker)).isExecutable();
}

bool CTestBroker::Start(const Setup& setup)
{
    Stop();
    m_setup = setup;
    const QString passwords = m_folder.filePath(QStringLiteral("passwords"));
    if (!setup.user.isEmpty()
        && QProcess::execute(QStringLiteral("mosquitto_passwd"),
                             { QStringLiteral("-b"), QStringLiteral("-c"), passwords, setup.user,
                               setup.password })
            != 0)
        return false;
    for (int i = 0; i < kLaunchTries; ++i) {
        QTcpServer probe;
        m_port = probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
        probe.close();
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

bool CTestBroker::Launch()
{
    QStringList lines {
        QStringLiteral("listener %1 127.0.0.1").arg(m_port), QStringLiteral("persistence false"),
        // As root it would become the user mosquitto, who cannot read here.
        QStringLiteral("user root"),
        QStringLiteral("log_dest file %1").arg(m_folder.filePath(QStringLiteral("broker.log"))),
        QStringLiteral("allow_anonymous %1").arg(m_setup.user.isEmpty() ? "true" : "false")
    };
    if (!m_setup.user.isEmpty())
        lines << QStringLiteral("password_file %1")
                     .arg(m_folder.filePath(QStringLiteral("passwords")));
    if (!m_setup.certFile.isEmpty())
        lines << QStringLiteral("certfile %1").arg(m_setup.certFile)
              << QStringLiteral("keyfile %1").arg(m_setup.keyFile);
    QFile config(m_folder.filePath(QStringLiteral("broker.conf")));
    if (m_port == 0 || !config.open(QIODevice::WriteOnly)
        || config.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n') <= 0)
        return false;
    config.close();
    m_process.start(QString::fromLatin1(kBroker), { QStringLiteral("-c"), config.fileName() });
    // It ends at once when it cannot listen, as on a port another program took meanwhile.
    const QDeadlineTimer deadline(kStartMs);
    while (!deadline.hasExpired() && !m_process.waitForFinished(50)) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(1000))
            return true;
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
                     ClientArguments() << QStringLiteral("-v") << QStringLiteral("-t") << topic
                                       << QStringLiteral("-W") << QString::number(seconds)
                                       << QStringLiteral("-C") << QString::number(count));
    subscriber.waitForFinished((seconds + 10) * 1000);
    return QString::fromUtf8(subscriber.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool CTestBroker::Publish(const QString& topic, const QByteArray& payload, bool retain) const
{
    QStringList arguments = ClientArguments();
    if (retain)
        arguments << QStringLiteral("-r");
    arguments << QStringLiteral("-q") << QStringLiteral("1") << QStringLiteral("-t") << topic
              << QStringLiteral("-m") << QString::fromUtf8(payload);
    return QProcess::execute(QStringLiteral("mosquitto_pub"), arguments) == 0;
}
