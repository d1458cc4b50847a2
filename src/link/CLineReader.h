#pragma once

#include "link/CLineAssembler.h"
#include "link/ILogSink.h"
#include "link/ISerialPort.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace mirelight {

// The reader thread of one connection and the hand-off of its lines, one at a time, to the
// thread that runs the dongle operations (the consumer). Every connection gets a reader of
// its own, so nothing of an old connection (thread, line, state) can leak into a new one.
//
// Hand-off states (LineState()):
//   1 buffer free: the reader is assembling the next line; the consumer waits.
//   2 line delivered: Line() holds it; the reader reads nothing more until it is released.
//   4 reader ended: a read failed or Stop() was called; Line() is empty and no line will
//     ever be delivered again.
// Only the reader stores 2 and 4; only the consumer stores 1 (Release()).
//
// Idle costs no CPU: the reader blocks in the port's Read or on the condition variable.
class CLineReader
{
public:
    static constexpr int kBufferFree = 1;
    static constexpr int kLineDelivered = 2;
    static constexpr int kReaderEnded = 4;

    // Starts the reader thread on port, in state 1. The port must stay open until Stop()
    // has returned. stateChanged, if given, is called on the reader thread after each line
    // delivered and when the reader ends, for consumers that do not block in
    // WaitWhileBufferFree. log, if given, gets every line delivered and a lost device.
    explicit CLineReader(ISerialPort& port, std::function<void()> stateChanged = {},
                         ILogSink* log = nullptr);
    ~CLineReader();
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    int LineState() const { return m_iLineState.load(std::memory_order_acquire); }

    // Whether the reader ended because a read failed (the device went away), not by Stop().
    bool DeviceLost() const { return m_deviceLost.load(std::memory_order_acquire); }

    // Blocks until the state is not 1 or the deadline has passed; true when it is not 1.
    bool WaitWhileBufferFree(std::chrono::steady_clock::time_point deadline);

    // The delivered line, terminators included; read it only while LineState() is 2.
    const std::string& Line() const { return m_szLine; }

    // Gives a delivered line back (2 -> 1), letting the reader overwrite it and go on; after
    // the reader has ended (4 -> 1) later waits run into their time-out. Does nothing in
    // state 1, so a line being delivered at that moment cannot be lost.
    void Release();

    // Wakes the reader, wherever it blocks (in a read, or holding an unreleased line), and
    // waits for it to end. Afterwards the port is no longer touched and the state is 4.
    // Idempotent.
    void Stop();

private:
    void Run();
    bool Deliver(std::string line);
    void End();
    void SetState(int state); // with m_mutex held
    void Announce(); // without m_mutex held

    ISerialPort& m_port;
    std::function<void()> m_stateChanged;
    ILogSink* m_log;
    std::atomic<int> m_iLineState { kBufferFree };
    std::atomic<bool> m_deviceLost { false };
    std::string m_szLine; // written by the reader in state 1, read by the consumer in state 2
    std::mutex m_mutex;
    std::condition_variable m_stateChangedCondition;
    bool m_stopping = false;
    CLineAssembler m_assembler; // reader thread only
    std::thread m_thread; // last, so that it starts once everything above exists
};

} // namespace mirelight
