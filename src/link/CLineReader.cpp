#include "link/CLineReader.h"

#include <array>
#include <utility>

namespace mirelight {

CLineReader::CLineReader(ISerialPort& port, std::function<void()> stateChanged, ILogSink* log)
    : m_port(port), m_stateChanged(std::move(stateChanged)), m_log(log), m_thread([this] { Run(); })
{ }

CLineReader::~CLineReader()
{
    Stop();
}

bool CLineReader::WaitWhileBufferFree(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    return m_stateChangedCondition.wait_until(lock, deadline,
                                              [this] { return LineState() != kBufferFree; });
}

void CLineReader::Release()
{
    {
        std::lock_guard lock(m_mutex);
        if (LineState() == kBufferFree)
            return;
        SetState(kBufferFree);
    }
    m_stateChangedCondition.notify_all();
}

void CLineReader::Stop()
{
    if (!m_thread.joinable())
        return; // stopped before: its port may be gone by now
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stateChangedCondition.notify_all();
    m_port.InterruptRead();
    m_thread.join();
}

void CLineReader::Run()
{
    // Bytes that arrived behind a delivered line wait here, not in the line buffer, until the
    // line has been released.
    std::array<char, 512> chunk;
    std::size_t count = 0;
    std::size_t used = 0;
    for (;;) {
        if (used == count) {
            used = 0;
            const ISerialPort::ReadResult result = m_port.Read(chunk, count);
            if (result != ISerialPort::ReadResult::Data) {
                // Before the state says 4, so that whoever sees it also sees why.
                m_deviceLost.store(result == ISerialPort::ReadResult::Failed,
                                   std::memory_order_release);
                if (DeviceLost())
                    LogEvent(m_log, "read failed: the device went away");
                break;
            }
        }
        used += m_assembler.Feed(std::string_view(chunk.data() + used, count - used));
        if (m_assembler.HasLine() && !Deliver(m_assembler.TakeLine()))
            break;
    }
    End();
}

// Publishes the line and blocks until the consumer releases it. False when the reader is
// being stopped instead.
bool CLineReader::Deliver(std::string line)
{
    if (m_log && m_log->IsEnabled())
        m_log->Traffic(ILogSink::Direction::FromDongle, line);
    std::unique_lock lock(m_mutex);
    if (m_stopping)
        return false;
    m_szLine = std::move(line);
    SetState(kLineDelivered);
    lock.unlock();
    Announce();
    lock.lock();
    m_stateChangedCondition.wait(lock,
                                 [this] { return LineState() != kLineDelivered || m_stopping; });
    return !m_stopping;
}

void CLineReader::End()
{
    {
        std::lock_guard lock(m_mutex);
        // A partial line is no answer, and a delivered one belongs to a closed connection.
        m_szLine.clear();
        SetState(kReaderEnded);
    }
    Announce();
}

void CLineReader::Announce()
{
    m_stateChangedCondition.notify_all();
    if (m_stateChanged)
        m_stateChanged();
}

void CLineReader::SetState(int state)
{
    // Release ordering: the line's bytes are visible to whoever sees the new state.
    m_iLineState.store(state, std::memory_order_release);
}

} // namespace mirelight
