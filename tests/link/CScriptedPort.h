#pragma once

#include "link/ISerialPort.h"
#include "link/IStatusSink.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Keeps every status text the link reports.
struct RecordingStatus final : mirelight::IStatusSink
{
    void ReportStatus(const std::string& text) override { texts.push_back(text); }
    long ComChan() const override { return comChan; }
    std::vector<std::string> texts;
    long comChan = 0;
};

// An in-memory port whose reads and writes a test scripts: each AddRead() is what one read
// returns, not before its time (so lines can arrive split anywhere, and at any pace); reads
// can fail once those are used up, and every write returns what SetWriteResult() says. Copies
// are the same port, so that a test can keep one while the link owns another. Thread-safe.
class CScriptedPort final : public mirelight::ISerialPort
{
public:
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

    void AddRead(std::string bytes, std::chrono::milliseconds after = {})
    {
        Change([&] { m->reads.emplace_back(Clock::now() + after, std::move(bytes)); });
    }
    // The device goes away once the reads added so far have been returned.
    void FailWhenDrained()
    {
        Change([this] { m->failWhenDrained = true; });
    }
    // Called, as Write is, on the test's thread.
    void SetWriteResult(WriteResult result) { m->writeResult = result; }
    Record Recorded() const
    {
        std::lock_guard lock(m->mutex);
        return m->record;
    }

    ReadResult Read(std::span<char> buffer, std::size_t& count) override
    {
        std::unique_lock lock(m->mutex);
        ++m->record.readCalls;
        ++m->readsRunning;
        count = 0;
        const auto due = [this] {
            return m->reads.empty() ? Clock::now() + std::chrono::hours(1) : m->reads.front().first;
        };
        while (!m->record.interrupted && !Fails() && Clock::now() < due())
            m->changed.wait_until(lock, due());
        --m->readsRunning;
        if (m->record.interrupted || Fails())
            return m->record.interrupted ? ReadResult::Interrupted : ReadResult::Failed;
        std::string& next = m->reads.front().second;
        count = next.copy(buffer.data(), buffer.size());
        next.erase(0, count);
        if (next.empty())
            m->reads.pop_front();
        return ReadResult::Data;
    }
    void InterruptRead() override
    {
        Change([this] { m->record.interrupted = true; });
    }
    WriteResult Write(std::string_view bytes, std::chrono::milliseconds budget,
                      const Pause&) override
    {
        std::lock_guard lock(m->mutex);
        m->record.lastBudget = budget;
        if (m->writeResult == WriteResult::Written)
            m->record.written += bytes;
        return m->writeResult;
    }
    void Close() override
    {
        Change([this] {
            m->record.closedDuringRead = m->record.closedDuringRead || m->readsRunning > 0;
            m->record.closed = true;
        });
    }

private:
    using Clock = std::chrono::steady_clock;
    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::pair<Clock::time_point, std::string>> reads; // each due at its time
        bool failWhenDrained = false;
        int readsRunning = 0;
        WriteResult writeResult = WriteResult::Written;
        Record record;
    };

    template<class F> void Change(F change)
    {
        std::lock_guard lock(m->mutex);
        change();
        m->changed.notify_all();
    }
    bool Fails() const { return m->failWhenDrained && m->reads.empty(); }

    std::shared_ptr<State> m = std::make_shared<State>();
};
