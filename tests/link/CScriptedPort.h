#pragma once

#include "link/ISerialPort.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <string>

// An in-memory port whose reads and writes a test scripts: each AddRead() is what one read
// returns (so lines can arrive split anywhere), reads can fail after a number of bytes, and
// writes can complete, fail at once, break off midway or never complete. Thread-safe.
class CScriptedPort final : public mirelight::ISerialPort
{
public:
    enum class WriteBehaviour { Completes, FailsAtOnce, FailsMidway, NeverCompletes };

    // A port object for the link to own, working on a port the test keeps.
    static std::unique_ptr<mirelight::ISerialPort> Share(std::shared_ptr<CScriptedPort> port);

    void AddRead(std::string bytes);
    // Reads fail once this many bytes have been read in all (a read that would cross the
    // limit returns the bytes up to it, the next one fails).
    void FailReadsAfter(std::size_t bytes);
    void SetWriteBehaviour(WriteBehaviour behaviour);

    std::string Written() const;
    int ReadCalls() const;
    bool WasInterrupted() const;
    bool IsClosed() const;
    // Whether Close came while a Read was still running (the descriptor-reuse race).
    bool ClosedDuringRead() const;
    std::chrono::milliseconds LastWriteBudget() const;

    ReadResult Read(std::span<char> buffer, std::size_t& count) override;
    void InterruptRead() override;
    WriteResult Write(std::string_view bytes, std::chrono::milliseconds budget) override;
    void Close() override;

private:
    bool ReadsFail() const { return m_iBytesRead >= m_iFailAfter; }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_reads;
    std::size_t m_iBytesRead = 0;
    std::size_t m_iFailAfter = std::numeric_limits<std::size_t>::max();
    int m_iReadCalls = 0;
    int m_iReadsRunning = 0;
    bool m_bClosedDuringRead = false;
    bool m_bInterrupted = false;
    bool m_bClosed = false;
    WriteBehaviour m_writeBehaviour = WriteBehaviour::Completes;
    std::string m_written;
    std::chrono::milliseconds m_lastBudget { 0 };
};
