#pragma once

#include "link/ISerialPort.h"
#include "link/IStatusSink.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Test doubles of what the link talks to. Keeps every status text the link reports:
struct RecordingStatus final : mirelight::IStatusSink
{
    void ReportStatus(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// An in-memory port whose reads and writes a test scripts: each AddRead() is what one read
// returns (so lines can arrive split anywhere), reads can fail once those are used up, and
// writes can complete, fail at once, break off midway or never complete. Thread-safe.
class CScriptedPort final : public mirelight::ISerialPort
{
public:
    enum class WriteBehaviour { Completes, FailsAtOnce, FailsMidway, NeverCompletes };

    // What the port has seen so far.
    struct Record
    {
        std::string written;
        int readCalls = 0;
        bool interrupted = false;
        bool closed = false;
        bool closedDuringRead = false; // the descriptor-reuse race
        std::chrono::milliseconds lastBudget { 0 };
    };

    // A port object for the link to own, working on a port the test keeps.
    static std::unique_ptr<mirelight::ISerialPort> Share(std::shared_ptr<CScriptedPort> port)
    {
        struct Shared final : mirelight::ISerialPort
        {
            std::shared_ptr<CScriptedPort> port;
            ReadResult Read(std::span<char> buffer, std::size_t& count) override
            {
                return port->Read(buffer, count);
            }
            void InterruptRead() override { port->InterruptRead(); }
            WriteResult Write(std::string_view bytes, std::chrono::milliseconds budget) override
            {
                return port->Write(bytes, budget);
            }
            void Close() override { port->Close(); }
        };
        auto shared = std::make_unique<Shared>();
        shared->port = std::move(port);
        return shared;
    }

    void AddRead(std::string bytes)
    {
        Change([&] { m_reads.push_back(std::move(bytes)); });
    }
    // The device goes away once the reads added so far have been returned.
    void FailWhenDrained()
    {
        Change([this] { m_bFailWhenDrained = true; });
    }
    void SetWriteBehaviour(WriteBehaviour behaviour)
    {
        Change([&] { m_writeBehaviour = behaviour; });
    }
    Record Recorded() const
    {
        std::lock_guard lock(m_mutex);
        return m_record;
    }

    ReadResult Read(std::span<char> buffer, std::size_t& count) override
    {
        std::unique_lock lock(m_mutex);
        ++m_record.readCalls;
        ++m_iReadsRunning;
        count = 0;
        m_changed.wait(lock, [this] {
            return m_record.interrupted || m_record.closed || ReadsFail() || !m_reads.empty();
        });
        --m_iReadsRunning;
        if (m_record.interrupted)
            return ReadResult::Interrupted;
        if (m_record.closed || ReadsFail())
            return ReadResult::Failed;
        std::string& next = m_reads.front();
        count = std::min(next.size(), buffer.size());
        std::copy_n(next.begin(), count, buffer.begin());
        next.erase(0, count);
        if (next.empty())
            m_reads.pop_front();
        return ReadResult::Data;
    }

    void InterruptRead() override
    {
        Change([this] { m_record.interrupted = true; });
    }

    WriteResult Write(std::string_view bytes, std::chrono::milliseconds budget) override
    {
        std::unique_lock lock(m_mutex);
        m_record.lastBudget = budget;
        switch (m_writeBehaviour) {
        case WriteBehaviour::Completes:
            m_record.written += bytes;
            return WriteResult::Written;
        case WriteBehaviour::FailsAtOnce:
            return WriteResult::Refused;
        case WriteBehaviour::FailsMidway: // like an adapter pulled out during the write
            m_record.written += bytes.substr(0, bytes.size() / 2);
            return WriteResult::Failed;
        case WriteBehaviour::NeverCompletes:
            break;
        }
        // Like a driver that never drains: the caller's budget runs out in real time.
        lock.unlock();
        std::this_thread::sleep_for(budget);
        return WriteResult::TimedOut;
    }

    void Close() override
    {
        Change([this] {
            m_record.closedDuringRead = m_record.closedDuringRead || m_iReadsRunning > 0;
            m_record.closed = true;
        });
    }

private:
    template<class F> void Change(F change)
    {
        {
            std::lock_guard lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }
    bool ReadsFail() const { return m_bFailWhenDrained && m_reads.empty(); }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_reads;
    bool m_bFailWhenDrained = false;
    int m_iReadsRunning = 0;
    WriteBehaviour m_writeBehaviour = WriteBehaviour::Completes;
    Record m_record;
};
