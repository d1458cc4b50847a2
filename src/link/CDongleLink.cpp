#include "link/CDongleLink.h"

#include "link/ComPort.h"
#include "link/CommandLines.h"
#include "link/FormatText.h"

#include <algorithm>
#include <thread>

namespace mirelight {

namespace {

bool BeginsWithOneOf(std::string_view line, std::initializer_list<std::string_view> names)
{
    return names.size() == 0
        || std::any_of(names.begin(), names.end(),
                       [line](std::string_view name) { return commands::HasName(line, name); });
}

} // namespace

CDongleLink::CDongleLink(IStatusSink& status, IWaiter* waiter, ILogSink* log)
    : CDongleLink(
        status,
        [log](long comChan, PortFailure& failure) { return OpenComPort(comChan, failure, log); },
        waiter, log)
{ }

CDongleLink::CDongleLink(IStatusSink& status, PortOpener opener, IWaiter* waiter, ILogSink* log)
    : m_status(status), m_openPort(std::move(opener)), m_waiter(waiter), m_log(log)
{ }

CDongleLink::~CDongleLink()
{
    ClosePort();
}

bool CDongleLink::Open(long comChan)
{
    ClosePort();
    m_reader.reset();
    m_failure = {};
    m_hCom = m_openPort(comChan, m_failure);
    if (!m_hCom) {
        LogEvent(m_log, "COM%ld not opened: %s", comChan, m_failure.Text().c_str());
        return false;
    }
    m_iComChan = comChan;
    LogEvent(m_log, "COM%ld opened", comChan);
    std::function<void()> wake;
    if (m_waiter)
        wake = [waiter = m_waiter] { waiter->Wake(); };
    m_reader = std::make_unique<CLineReader>(*m_hCom, std::move(wake), m_log);
    return true;
}

bool CDongleLink::SendCommand(std::string_view line)
{
    if (!IsOpen())
        return false;
    if (m_log && m_log->IsEnabled())
        m_log->Traffic(ILogSink::Direction::ToDongle, line);
    const auto budget = WriteBudget(line.size());
    switch (m_hCom->Write(line, budget, [this](Clock::time_point until) { Pause(until); })) {
    case ISerialPort::WriteResult::Written:
        return true;
    case ISerialPort::WriteResult::Refused:
        LogEvent(m_log, "write refused at once");
        return false;
    case ISerialPort::WriteResult::Failed: // a device that went away mid-write is no use either
        m_failure = { PortFailure::Kind::DeviceGone };
        break;
    case ISerialPort::WriteResult::TimedOut:
        m_failure = { .kind = PortFailure::Kind::WriteStalled,
                      .milliseconds = static_cast<long>(budget.count()) };
        break;
    }
    LogEvent(m_log, "write failed: %s", m_failure.Text().c_str());
    m_status.ReportStatus(FormatText("Write failure to COM%ld:", m_status.ComChan()));
    ClosePort();
    return false;
}

void CDongleLink::Pause(Clock::time_point until)
{
    // Nothing to become ready: the time simply passes, with the caller's event loop running.
    if (m_waiter)
        m_waiter->WaitUntil([] { return false; }, until);
    else
        std::this_thread::sleep_until(until);
}

std::chrono::milliseconds CDongleLink::WaitPeriod(long ms)
{
    return std::chrono::milliseconds((ms / 100 + 1) * 100);
}

bool CDongleLink::WaitForLine(long ms)
{
    return WaitForLineUntil(Clock::now() + WaitPeriod(ms));
}

bool CDongleLink::WaitForLineUntil(Clock::time_point deadline)
{
    if (!m_reader)
        return false;
    if (!m_waiter)
        return m_reader->WaitWhileBufferFree(deadline);
    return m_waiter->WaitUntil([this] { return m_reader->LineState() != CLineReader::kBufferFree; },
                               deadline);
}

int CDongleLink::LineState() const
{
    return m_reader ? m_reader->LineState() : 0;
}

const std::string& CDongleLink::Line() const
{
    static const std::string noLine;
    return m_reader ? m_reader->Line() : noLine;
}

void CDongleLink::ReleaseLine()
{
    if (m_reader)
        m_reader->Release();
}

void CDongleLink::ClosePort()
{
    // The reader ends first, so that it never reads from a closed (or reused) descriptor.
    if (m_reader)
        m_reader->Stop();
    if (m_hCom) {
        m_hCom->Close();
        m_hCom.reset();
        LogEvent(m_log, "COM%ld closed", m_iComChan);
    }
}

void CDongleLink::ReportCommError(long code)
{
    m_status.ReportStatus(FormatText("Brisko communications error %ld", code));
    ClosePort();
}

std::optional<std::string> CDongleLink::AwaitAnswer(std::initializer_list<std::string_view> names,
                                                    long timeoutMs)
{
    // Every other line starts the wait afresh, but a device that keeps talking without ever
    // answering (another device on the port) must not hold the program forever: no wait
    // runs past the end of the last one allowed.
    const auto start = Clock::now();
    const auto period = WaitPeriod(timeoutMs);
    const auto giveUp = start + kMaxRestartedWaits * period;
    long otherLines = 0;
    while (Clock::now() < giveUp && WaitForLineUntil(std::min(Clock::now() + period, giveUp))) {
        // An ended reader wakes the wait too, with nothing read: that is no answer, not even
        // to a wait that takes any line, or an unplugged device would pass for an answer.
        const bool delivered = LineState() == CLineReader::kLineDelivered;
        std::string line = Line(); // taken before the release lets the reader overwrite it
        ReleaseLine();
        if (delivered && BeginsWithOneOf(line, names))
            return line;
        otherLines += delivered ? 1 : 0;
    }
    if (m_reader && m_reader->DeviceLost()) {
        m_failure = { PortFailure::Kind::DeviceGone };
    } else {
        // Other lines made the wait longer: how long it took in all, to the 100 ms.
        const auto took
            = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        const long waited
            = static_cast<long>(otherLines == 0 ? period.count() : (took.count() + 50) / 100 * 100);
        m_failure = { .kind = PortFailure::Kind::NoAnswer,
                      .milliseconds = waited,
                      .otherLines = otherLines };
    }
    LogEvent(m_log, "gave up waiting: %s", m_failure.Text().c_str());
    return std::nullopt;
}

std::optional<std::string> CDongleLink::Exchange(std::string_view request,
                                                 std::initializer_list<std::string_view> names,
                                                 long timeoutMs, long code)
{
    if (!SendCommand(request))
        return std::nullopt;
    std::optional<std::string> answer = AwaitAnswer(names, timeoutMs);
    if (!answer)
        ReportCommError(code);
    return answer;
}

void CDongleLink::Drain()
{
    // A device that never stops sending (another device on the port) must not hold the
    // operation that drains: whatever is still coming at the limit waits for the next one.
    const auto giveUp = Clock::now() + kDrainLimit;
    while (Clock::now() < giveUp
           && WaitForLineUntil(std::min(Clock::now() + WaitPeriod(1), giveUp)))
        ReleaseLine();
}

std::chrono::milliseconds CDongleLink::WriteBudget(std::size_t length)
{
    return std::chrono::milliseconds(5 * static_cast<long>(length) + 100);
}

} // namespace mirelight
