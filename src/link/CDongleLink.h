#pragma once

#include "link/CLineReader.h"
#include "link/ILogSink.h"
#include "link/ISerialPort.h"
#include "link/IStatusSink.h"
#include "link/IWaiter.h"
#include "link/PortFailure.h"

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace mirelight {

// The connection to the dongle: the open port, its reader and the request/answer
// primitives every dongle operation is built from. Used from one thread (the one that runs
// the operations); the reader thread is internal.
//
// An exchange, as the operations perform it:
//     std::optional<std::string> answer = link.Exchange(request, { "+DSTC" }, 1500, 995);
//     if (!answer)
//         return; // not written, or timed out (then reported and the port closed)
//     ... read fields from *answer (see CommandLines.h) ...
class CDongleLink
{
public:
    // Opens the device behind COM port comChan; null, with failure saying why, when it cannot
    // be opened.
    using PortOpener
        = std::function<std::unique_ptr<ISerialPort>(long comChan, PortFailure& failure)>;

    // The real thing: COM n opened as OpenComPort does on this system.
    // Waits block the calling thread unless a waiter is given; every line and what happens
    // to the port goes to log, if given (both must outlive the link).
    explicit CDongleLink(IStatusSink& status, IWaiter* waiter = nullptr, ILogSink* log = nullptr);
    // Any kind of port, e.g. a scripted one in tests.
    CDongleLink(IStatusSink& status, PortOpener opener, IWaiter* waiter = nullptr,
                ILogSink* log = nullptr);
    ~CDongleLink();
    CDongleLink(const CDongleLink&) = delete;
    CDongleLink& operator=(const CDongleLink&) = delete;

    // Closes any open port without a message, then opens COM comChan (exclusively, with the
    // dongle's line settings) and starts a new reader in state 1. False, at once, when the
    // port cannot be opened (missing, held by another program, not permitted, not a
    // terminal); nothing is reported and no port is open then, and TakeFailure says why.
    bool Open(long comChan);

    // Whether a port is open (the old "handle is not null"). A port whose device went away
    // (its reader ended on a failed read, not by ClosePort) counts as closed.
    bool IsOpen() const { return m_hCom != nullptr && !m_reader->DeviceLost(); }

    // Writes one request line (ending with its "\r"). True when it has left towards the
    // device. False without a message when no port is open or the write fails at once. When
    // the line has not left within WriteBudget, or the write broke off after it had started,
    // reports "Write failure to COM<n>:" and closes the port, then returns false.
    bool SendCommand(std::string_view line);

    // True as soon as the line state is not 1 (a line is delivered, or the reader ended);
    // false when it stays 1 for (ms / 100 + 1) x 100 ms. Waits without using CPU, through
    // the waiter when there is one. With no
    // port ever opened there is nothing to wait for: false at once.
    bool WaitForLine(long ms);

    // Hand-off state of the current connection (CLineReader: 1, 2 or 4); 0 before the first
    // Open.
    int LineState() const;

    // The delivered line, terminators included. Read it only after WaitForLine returned
    // true and before ReleaseLine: after the release the reader may overwrite it at once.
    // Empty when the reader has ended.
    const std::string& Line() const;

    // Gives the delivered line back to the reader.
    void ReleaseLine();

    // Ends the reader (waking it wherever it blocks) and then closes the port. The ended
    // reader's state (4) stays visible until the next Open. No message.
    void ClosePort();

    // Reports "Brisko communications error <code>", then closes the port.
    void ReportCommError(long code);

    // The wait for an answer: waits up to timeoutMs (as WaitForLine) for a line beginning
    // with one of names (their five characters, case-sensitive); an empty list takes the
    // first line whatever it is. Every other line, and the wake-up of a reader that has
    // ended, is released and the full wait starts again; but the whole wait ends
    // kMaxRestartedWaits full waits after it began, however the other lines fall. Returns a
    // copy of the answer (already released), or nothing when the wait runs out. Sends
    // nothing and reports nothing.
    static constexpr int kMaxRestartedWaits = 4;
    std::optional<std::string> AwaitAnswer(std::initializer_list<std::string_view> names,
                                           long timeoutMs);

    // SendCommand(request), then AwaitAnswer(names, timeoutMs). When the wait runs out,
    // ReportCommError(code). Nothing when the request was not written or no answer came.
    std::optional<std::string> Exchange(std::string_view request,
                                        std::initializer_list<std::string_view> names,
                                        long timeoutMs, long code);

    // Drops lines that are already waiting: WaitForLine(1) and release, as long as it
    // returns true. Takes about 100 ms when nothing is waiting, and never more than
    // kDrainLimit, however long the device keeps sending.
    static constexpr std::chrono::milliseconds kDrainLimit { 250 };
    void Drain();

    // Why the last failure happened (the open, a write, an answer wait), for the status that
    // reports it; then forgets it. None when nothing failed since it was last taken.
    PortFailure TakeFailure() { return std::exchange(m_failure, {}); }

    // How long the port may take to accept a line of length bytes: 5 ms a byte plus 100 ms.
    static std::chrono::milliseconds WriteBudget(std::size_t length);

private:
    using Clock = std::chrono::steady_clock;

    // WaitForLine's whole poll periods for a time-out of ms.
    static std::chrono::milliseconds WaitPeriod(long ms);
    // WaitForLine with an end instead of a time-out.
    bool WaitForLineUntil(Clock::time_point deadline);
    // Lets time pass while a write waits for the device, through the waiter when there is one.
    void Pause(Clock::time_point until);

    IStatusSink& m_status;
    PortOpener m_openPort;
    IWaiter* m_waiter;
    ILogSink* m_log;
    std::unique_ptr<ISerialPort> m_hCom;
    long m_iComChan = 0; // the number m_hCom was opened as
    std::unique_ptr<CLineReader> m_reader; // of the current (or last) connection
    PortFailure m_failure;
};

} // namespace mirelight
