#pragma once

#include "link/ILogSink.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink) // "mirelight.link": lines to and from the dongle, the port
Q_DECLARE_LOGGING_CATEGORY(lcDongle) // "mirelight.dongle": operations and statuses
Q_DECLARE_LOGGING_CATEGORY(lcMqtt) // "mirelight.mqtt": the broker connection

// Hands the Qt-free core's log to a Qt logging category, at debug level and with a
// millisecond timestamp on every message. Off unless QT_LOGGING_RULES or --verbose turns it
// on; the messages then go wherever Qt sends them (standard error, or the journal).
class CLogSink final : public mirelight::ILogSink
{
public:
    using Category = const QLoggingCategory& (*)();

    explicit CLogSink(Category category) : m_category(category) { }

    // The sinks of the two categories, for the dongle operations.
    static CLogSink& Link();
    static CLogSink& Dongle();
    // Every category on at debug level, as QT_LOGGING_RULES="mirelight.*.debug=true" does.
    static void EnableDebugOutput();

    bool IsEnabled() const override { return m_category().isDebugEnabled(); }
    void Traffic(Direction direction, std::string_view line) override;
    void Event(std::string_view text) override;

private:
    Category m_category;
};
