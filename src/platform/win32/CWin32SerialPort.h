#pragma once

#include "link/ISerialPort.h"
#include "link/PortFailure.h"

#include "platform/win32/WinApi.h"

#include <memory>
#include <mutex>
#include <string>

namespace mirelight {

// A serial device on Windows ("\\.\COMn"), held exclusively, in overlapped mode, set up the way
// the dongle wants it: 38400 baud 8N1, no flow control, DTR and RTS off. A device that goes
// away (a read fails) is let go of at once; writes are refused from then on.
class CWin32SerialPort final : public ISerialPort
{
public:
    // Opens the device at path. Null, at once, with failure saying why, when it is missing,
    // held by another program or not a serial port. Input the device sent while nobody had it
    // open is discarded.
    static std::unique_ptr<CWin32SerialPort> Open(const std::string& path, PortFailure& failure);

    ~CWin32SerialPort() override;
    CWin32SerialPort(const CWin32SerialPort&) = delete;
    CWin32SerialPort& operator=(const CWin32SerialPort&) = delete;

    ReadResult Read(std::span<char> buffer, std::size_t& count) override;
    void InterruptRead() override;
    WriteResult Write(std::string_view bytes, std::chrono::milliseconds budget,
                      const Pause& pause) override;
    void Close() override;

private:
    CWin32SerialPort(Handle com, Handle interrupt, Handle readDone, Handle writeDone);

    ReadResult DeviceGone();
    bool WaitWritten(OVERLAPPED& write, std::chrono::steady_clock::time_point deadline,
                     const Pause& pause) const;

    // Written under m_comMutex: by Read when the device went away, by Close. Write holds the
    // mutex throughout, so the handle it uses stays open; Close takes m_readMutex first, so
    // that no read is pending on the handle it closes.
    Handle m_hCom;
    std::mutex m_comMutex;
    std::mutex m_readMutex; // held by Read while it runs
    Handle m_interrupt; // manual-reset event: InterruptRead sets it, and it stays set
    Handle m_readDone; // the overlapped read's event
    Handle m_writeDone; // the overlapped write's event
};

} // namespace mirelight
