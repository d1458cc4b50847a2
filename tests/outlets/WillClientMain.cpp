// A client that dies without a goodbye: connects with a will, says "connected" on standard
// output and waits for the test to kill it.
//   mqtt_will_client <port> <will topic> <will payload>
#include "outlets/CMqttClient.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 4)
        return 2;
    CMqttClient client;
    QObject::connect(&client, &CMqttClient::Connected, &application, [] {
        std::puts("connected");
        std::fflush(stdout);
    });
    CMqttClient::Options options;
    options.host = QStringLiteral("127.0.0.1");
    options.port = arguments[1].toInt();
    options.clientId = QStringLiteral("mirelight-dying");
    options.willTopic = arguments[2];
    options.willPayload = arguments[3].toUtf8();
    client.Start(options);
    return application.exec();
}
