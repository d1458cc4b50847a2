#include "ui/MqttSettings.h"

#include <QRegularExpression>

namespace mirelight::mqtt {

QString NodeIdFromHostName(const QString& hostName)
{
    static const QRegularExpression kOthers(QStringLiteral("[^a-z0-9_-]"));
    QString node = hostName.toLower();
    node.remove(kOthers);
    return node.isEmpty() ? QStringLiteral("mirelight") : node;
}

bool IsValidNodeId(const QString& nodeId)
{
    return !nodeId.isEmpty() && NodeIdFromHostName(nodeId) == nodeId;
}

QString ProblemWith(const MqttSettings& settings)
{
    if (settings.port < 1 || settings.port > 65535)
        return QStringLiteral("The port must be a number from 1 to 65535.");
    if (settings.enabled && settings.host.trimmed().isEmpty())
        return QStringLiteral("Enter the broker's host name or address.");
    if (!IsValidNodeId(settings.nodeId))
        return QStringLiteral("The node id may hold only the letters a to z, digits, _ and -.");
    // A topic level may not be empty, and wildcards would make configs nobody can address.
    const QString prefix = settings.discoveryPrefix;
    if (prefix.isEmpty() || prefix.startsWith(QLatin1Char('/')) || prefix.endsWith(QLatin1Char('/'))
        || prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#'))
        || prefix.contains(QStringLiteral("//")))
        return QStringLiteral("The discovery prefix must be a topic such as homeassistant, "
                              "without + or # and without an empty level.");
    return QString();
}

} // namespace mirelight::mqtt
