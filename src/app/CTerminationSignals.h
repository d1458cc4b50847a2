#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C, a closed terminal) into an orderly end
// of the program on the user-interface thread, so that the settings are saved on the way out.
class CTerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit CTerminationSignals(std::function<void()> onTerminate);
    ~CTerminationSignals() override; // restores the default handling

    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

private:
    static void OnSignal(int signal);
    void OnReadable();

    std::function<void()> m_onTerminate;
    QSocketNotifier* m_notifier = nullptr;
};
