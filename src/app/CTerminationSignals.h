#pragma once

#include <QObject>

#include <array>
#include <csignal>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C, a closed terminal) into an orderly end
// of the program on the user-interface thread, so that the settings are saved on the way out.
// A signal ignored when the program started (nohup) stays ignored.
class CTerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit CTerminationSignals(std::function<void()> onTerminate);
    ~CTerminationSignals() override; // restores the handling found at the start

    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

private:
    static void OnSignal(int signal);
    void OnReadable();

    static constexpr std::array<int, 3> kSignals = { SIGTERM, SIGINT, SIGHUP };

    std::function<void()> m_onTerminate;
    std::array<struct sigaction, kSignals.size()> m_previous {};
    std::array<bool, kSignals.size()> m_bHandled {};
    QSocketNotifier* m_notifier = nullptr;
};
