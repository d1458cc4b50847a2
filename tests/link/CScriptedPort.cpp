#include "CScriptedPort.h"

#include <algorithm>
#include <thread>

namespace {

class CSharedPort final : public mirelight::ISerialPort
{
public:
    explicit CSharedPort(std::shared_ptr<CScriptedPort> port) : m_port(std::move(port)) { }
    ReadResult Read(std::span<char> buffer, std::size_t& count) override
    {
        return m_port->Read(buffer, count);
    }
    void InterruptRead() override { m_port->InterruptRead(); }
    WriteResult Write(std::string_view bytes, std::chrono::milliseconds budget) override
    {
        return m_port->Write(bytes, budget);
    }
    void Close() override { m_port->Close(); }

private:
    std::shared_ptr<CScriptedPort> m_port;
};

} // namespace

std::unique_ptr<mirelight::ISerialPort> CScriptedPort::Share(std::shared_ptr<CScriptedPort> port)
{
    return std::make_unique<CSharedPort>(std::move(port));
}

void CScriptedPort::AddRead(std::string bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_reads.push_back(std::move(bytes));
    }
    m_changed.notify_all();
}

void CScriptedPort::FailReadsAfter(std::size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_iFailAfter = bytes;
    }
    m_changed.notify_all();
}

void CScriptedPort::SetWriteBehaviour(WriteBehaviour behaviour)
{
    std::lock_guard lock(m_mutex);
    m_writeBehaviour = behaviour;
}

std::string CScriptedPort::Written() const
{
    std::lock_guard lock(m_mutex);
    return m_written;
}

int CScriptedPort::ReadCalls() const
{
    std::lock_guard lock(m_mutex);
    return m_iReadCalls;
}

bool CScriptedPort::WasInterrupted() const
{
    std::lock_guard lock(m_mutex);
    return m_bInterrupted;
}

bool CScriptedPort::IsClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_bClosed;
}

bool CScriptedPort::ClosedDuringRead() const
{
    std::lock_guard lock(m_mutex);
    return m_bClosedDuringRead;
}

std::chrono::milliseconds CScriptedPort::LastWriteBudget() const
{
    std::lock_guard lock(m_mutex);
    return m_lastBudget;
}

mirelight::ISerialPort::ReadResult CScriptedPort::Read(std::span<char> buffer, std::size_t& count)
{
    std::unique_lock lock(m_mutex);
    ++m_iReadCalls;
    ++m_iReadsRunning;
    count = 0;
    m_changed.wait(
        lock, [this] { return m_bInterrupted || m_bClosed || ReadsFail() || !m_reads.empty(); });
    --m_iReadsRunning;
    if (m_bInterrupted)
        return ReadResult::Interrupted;
    if (m_bClosed || ReadsFail())
        return ReadResult::Failed;
    std::string& next = m_reads.front();
    count = std::min({ next.size(), buffer.size(), m_iFailAfter - m_iBytesRead });
    std::copy_n(next.begin(), count, buffer.begin());
    next.erase(0, count);
    if (next.empty())
        m_reads.pop_front();
    m_iBytesRead += count;
    return ReadResult::Data;
}

void CScriptedPort::InterruptRead()
{
    {
        std::lock_guard lock(m_mutex);
        m_bInterrupted = true;
    }
    m_changed.notify_all();
}

mirelight::ISerialPort::WriteResult CScriptedPort::Write(std::string_view bytes,
                                                         std::chrono::milliseconds budget)
{
    std::unique_lock lock(m_mutex);
    m_lastBudget = budget;
    switch (m_writeBehaviour) {
    case WriteBehaviour::Completes:
        m_written += bytes;
        return WriteResult::Written;
    case WriteBehaviour::FailsAtOnce:
        return WriteResult::Refused;
    case WriteBehaviour::FailsMidway: // like an adapter pulled out during the write
        m_written += bytes.substr(0, bytes.size() / 2);
        return WriteResult::Failed;
    case WriteBehaviour::NeverCompletes:
        break;
    }
    // Like a driver that never drains: the caller's budget runs out in real time.
    lock.unlock();
    std::this_thread::sleep_for(budget);
    return WriteResult::TimedOut;
}

void CScriptedPort::Close()
{
    {
        std::lock_guard lock(m_mutex);
        m_bClosedDuringRead = m_bClosedDuringRead || m_iReadsRunning > 0;
        m_bClosed = true;
    }
    m_changed.notify_all();
}
