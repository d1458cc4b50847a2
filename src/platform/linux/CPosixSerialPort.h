#pragma once

#include "link/ISerialPort.h"
#include "link/PortFailure.h"

#include <memory>
#include <mutex>
#include <string>
#include <termios.h>

namespace mirelight {

// A serial device on a POSIX system, held exclusively and set up the way the dongle wants
// it: raw bytes at 38400 baud 8N1, no flow control, DTR and RTS off; the line settings it had
// are given back when it is let go of. A device that goes away (a read fails) is let go of at
// once; writes are refused from then on.
class CPosixSerialPort final : public ISerialPort
{
public:
    // Opens the device at path. Null, at once, with failure saying why, when it is missing,
    // held by another program (TIOCEXCL or our flock elsewhere), not permitted, not a
    // terminal or a terminal in use by a session; the device is then left as it was. Input the
    // device sent while nobody had it open is discarded.
    static std::unique_ptr<CPosixSerialPort> Open(const std::string& path, PortFailure& failure);

    ~CPosixSerialPort() override;
    CPosixSerialPort(const CPosixSerialPort&) = delete;
    CPosixSerialPort& operator=(const CPosixSerialPort&) = delete;

    ReadResult Read(std::span<char> buffer, std::size_t& count) override;
    void InterruptRead() override;
    WriteResult Write(std::string_view bytes, std::chrono::milliseconds budget,
                      const Pause& pause) override;
    void Close() override;

private:
    CPosixSerialPort(int fd, int wakeFd, const termios& savedSettings);

    ReadResult DeviceGone();
    bool WaitWritable(std::chrono::steady_clock::time_point deadline, const Pause& pause) const;
    WriteResult WaitSent(std::chrono::steady_clock::time_point deadline, const Pause& pause) const;
    void CloseDevice(); // with m_fdMutex held

    // Written under m_fdMutex: by Read when the device went away, by Close after the reader
    // has ended. Write holds the mutex throughout, so the descriptor it uses stays ours.
    int m_fd;
    std::mutex m_fdMutex;
    int m_wakeFd; // eventfd that InterruptRead signals; Read polls it beside the port
    termios m_savedSettings; // as found at open
};

} // namespace mirelight
