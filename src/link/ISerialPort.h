#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

namespace mirelight {

// The few things the link needs from a serial port. Narrow on purpose: a POSIX port now, a
// Win32 one (overlapped I/O on "\\.\COMn") beside it later, a scripted one in tests.
//
// Threading: Read runs on the reader thread only; InterruptRead may be called from any
// thread; Write and Close run on the thread that owns the link. Close is called only after
// the reader thread has ended.
class ISerialPort
{
public:
    enum class ReadResult {
        Data, // at least one byte was stored
        Interrupted, // InterruptRead was called (now or before)
        Failed, // the device is gone or the port is closed; no further read will succeed
    };

    enum class WriteResult {
        Written, // every byte has left towards the device
        Refused, // failed at once, before anything was taken: the port is as it was
        Failed, // broke off after it had started (an I/O error, the device gone)
        TimedOut, // the bytes had not all left within the budget
    };

    virtual ~ISerialPort() = default;

    // Blocks, without using CPU, until at least one byte has arrived (stored at the start of
    // buffer, count set), InterruptRead is called, or the port fails.
    virtual ReadResult Read(std::span<char> buffer, std::size_t& count) = 0;

    // Makes the read in progress, and every later one, return Interrupted. Sticky: a port
    // whose reads were interrupted is about to be closed.
    virtual void InterruptRead() = 0;

    // How a write lets time pass while the device is slow to take its bytes: it returns by
    // the given time (a user interface's event loop may run meanwhile).
    using Pause = std::function<void(std::chrono::steady_clock::time_point until)>;

    // Writes all the bytes and waits, through pause, until they have left the driver towards
    // the device, for at most budget in all, whatever the device does.
    virtual WriteResult Write(std::string_view bytes, std::chrono::milliseconds budget,
                              const Pause& pause)
        = 0;

    // Releases the device. Idempotent.
    virtual void Close() = 0;
};

} // namespace mirelight
