#include "ui/CLogSink.h"

#include <QByteArray>
#include <QTime>

// Debug off by default: only QtInfoMsg and above are on unless a rule says otherwise.
Q_LOGGING_CATEGORY(lcLink, "mirelight.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDongle, "mirelight.dongle", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMqtt, "mirelight.mqtt", QtInfoMsg)

namespace {

QByteArray Timestamp()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
}

// The line as it went: its CR and LF, control and high bytes written out, so that a line
// the dongle ended badly or a stray byte shows in the log.
QByteArray Escaped(std::string_view line)
{
    QByteArray text;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\\')
            text += "\\\\";
        else if (byte < 32 || byte >= 127)
            text += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
        else
            text += c;
    }
    return text;
}

} // namespace

CLogSink& CLogSink::Link()
{
    static CLogSink sink(lcLink);
    return sink;
}

CLogSink& CLogSink::Dongle()
{
    static CLogSink sink(lcDongle);
    return sink;
}

void CLogSink::EnableDebugOutput()
{
    QLoggingCategory::setFilterRules(QStringLiteral("mirelight.*.debug=true"));
}

void CLogSink::Traffic(Direction direction, std::string_view line)
{
    qCDebug(m_category, "%s %s %s", Timestamp().constData(),
            direction == Direction::ToDongle ? "sent    " : "received", Escaped(line).constData());
}

void CLogSink::Event(std::string_view text)
{
    qCDebug(m_category, "%s %.*s", Timestamp().constData(), static_cast<int>(text.size()),
            text.data());
}
