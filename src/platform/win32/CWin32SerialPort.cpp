#include "platform/win32/CWin32SerialPort.h"

#include "link/PausedWait.h"
#include "platform/win32/WindowsErrors.h"

#include <algorithm>
#include <limits>

namespace mirelight {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long a write blocks at a time while the device is slow to take its bytes, and how long
// it then lets the caller's event loop run.
constexpr auto kWriteSlice = 5ms;

// A read returns the bytes that have arrived once the line has been quiet this long (a few
// byte times at 38400 baud), and otherwise waits for the first byte without limit.
constexpr DWORD kReadIntervalMs = 2;

// Results of the line settings are ignored on purpose, as on POSIX: a device that rejects a
// setting is still worth talking to, and the answers (or their absence) tell the rest. The
// time-outs are not: without them a read would return at once, empty.
bool ApplyLineSettings(HANDLE com)
{
    DCB settings {};
    settings.DCBlength = sizeof settings;
    if (::GetCommState(com, &settings)) {
        settings.BaudRate = CBR_38400;
        settings.ByteSize = 8;
        settings.Parity = NOPARITY;
        settings.StopBits = ONESTOPBIT;
        // Set rather than kept as the driver reports it: Windows supports no other mode.
        settings.fBinary = TRUE;
        settings.fParity = FALSE;
        settings.fOutxCtsFlow = FALSE;
        settings.fOutxDsrFlow = FALSE;
        settings.fDtrControl = DTR_CONTROL_DISABLE;
        settings.fRtsControl = RTS_CONTROL_DISABLE;
        settings.fDsrSensitivity = FALSE;
        settings.fTXContinueOnXoff = FALSE;
        settings.fOutX = FALSE;
        settings.fInX = FALSE;
        settings.fErrorChar = FALSE;
        settings.fNull = FALSE;
        // Set rather than kept: after an error, a driver that aborts refuses every read and
        // write until ClearCommError, which nothing here calls, so the port would be dead.
        settings.fAbortOnError = FALSE;
        ::SetCommState(com, &settings);
    }
    // WORKAROUND: Wine ignores MAXDWORD read time-outs on overlapped handles; a short interval
    // with no totals behaves alike there and on Windows.
    COMMTIMEOUTS timeouts {};
    timeouts.ReadIntervalTimeout = kReadIntervalMs;
    return ::SetCommTimeouts(com, &timeouts);
}

} // namespace

std::unique_ptr<CWin32SerialPort> CWin32SerialPort::Open(const std::string& path,
                                                         PortFailure& failure)
{
    // Share mode 0: no other program opens the port while we hold it.
    Handle com(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr));
    if (com.get() == INVALID_HANDLE_VALUE) {
        com.release(); // not a handle to close
        failure = FailureFromWindowsError(::GetLastError());
        return nullptr;
    }
    auto newEvent = [] { return Handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); };
    Handle interrupt = newEvent();
    Handle readDone = newEvent();
    Handle writeDone = newEvent();
    if (!interrupt || !readDone || !writeDone || !ApplyLineSettings(com.get())) {
        failure = FailureFromWindowsError(::GetLastError());
        return nullptr;
    }
    ::PurgeComm(com.get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
    return std::unique_ptr<CWin32SerialPort>(new CWin32SerialPort(
        std::move(com), std::move(interrupt), std::move(readDone), std::move(writeDone)));
}

CWin32SerialPort::CWin32SerialPort(Handle com, Handle interrupt, Handle readDone, Handle writeDone)
    : m_hCom(std::move(com)), m_interrupt(std::move(interrupt)), m_readDone(std::move(readDone)),
      m_writeDone(std::move(writeDone))
{ }

CWin32SerialPort::~CWin32SerialPort()
{
    Close();
}

ISerialPort::ReadResult CWin32SerialPort::Read(std::span<char> buffer, std::size_t& count)
{
    count = 0;
    std::lock_guard reading(m_readMutex);
    // Only this thread and Close (which waits for m_readMutex) change m_hCom.
    const HANDLE com = m_hCom.get();
    if (!com)
        return ReadResult::Failed;
    if (::WaitForSingleObject(m_interrupt.get(), 0) == WAIT_OBJECT_0)
        return ReadResult::Interrupted;
    OVERLAPPED read {};
    read.hEvent = m_readDone.get();
    const auto size = static_cast<DWORD>(
        std::min<std::size_t>(buffer.size(), std::numeric_limits<DWORD>::max()));
    DWORD got = 0;
    bool interrupted = false;
    if (!::ReadFile(com, buffer.data(), size, nullptr, &read)) {
        if (::GetLastError() != ERROR_IO_PENDING)
            return DeviceGone();
        const HANDLE events[2] = { m_readDone.get(), m_interrupt.get() };
        interrupted = ::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0;
        if (interrupted)
            ::CancelIoEx(com, &read);
    }
    // Waits for the cancelled read too: the system writes into read and buffer until then.
    if (!::GetOverlappedResult(com, &read, &got, TRUE)) {
        if (interrupted && ::GetLastError() == ERROR_OPERATION_ABORTED)
            return ReadResult::Interrupted;
        return DeviceGone(); // every failed completion: retrying it would spin
    }
    if (got == 0) // with our time-outs a read ends only with data; a driver that says otherwise
        return interrupted ? ReadResult::Interrupted : DeviceGone(); // has lost its device
    count = got; // bytes that beat the interrupt are delivered; the next read is interrupted
    return ReadResult::Data;
}

// Lets go of a device that went away at once, not at the next Close, so that its name is free
// for the device when it comes back.
ISerialPort::ReadResult CWin32SerialPort::DeviceGone()
{
    std::lock_guard lock(m_comMutex);
    m_hCom.reset();
    return ReadResult::Failed;
}

void CWin32SerialPort::InterruptRead()
{
    ::SetEvent(m_interrupt.get());
}

ISerialPort::WriteResult CWin32SerialPort::Write(std::string_view bytes,
                                                 std::chrono::milliseconds budget,
                                                 const Pause& pause)
{
    std::lock_guard lock(m_comMutex); // the reader lets go of a device that went away
    if (!m_hCom)
        return WriteResult::Refused;
    const auto deadline = Clock::now() + budget;
    OVERLAPPED write {};
    write.hEvent = m_writeDone.get();
    if (!::WriteFile(m_hCom.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &write)
        && ::GetLastError() != ERROR_IO_PENDING)
        return WriteResult::Refused;
    const bool inTime = WaitWritten(write, deadline, pause);
    if (!inTime)
        ::CancelIoEx(m_hCom.get(), &write);
    // Waits for the cancelled write too: the system reads from write and bytes until then.
    DWORD written = 0;
    const bool completed = ::GetOverlappedResult(m_hCom.get(), &write, &written, TRUE);
    if (completed && written == bytes.size())
        return WriteResult::Written;
    return inTime ? WriteResult::Failed : WriteResult::TimedOut;
}

// True once the write has completed (well or not), false when the deadline passes first. The
// caller's pauses come between short blocking waits, so that a write the device takes at once
// costs no pause, and one it is slow to take leaves the caller's event loop running.
bool CWin32SerialPort::WaitWritten(OVERLAPPED& write, Clock::time_point deadline,
                                   const Pause& pause) const
{
    const auto written = [&write, deadline] {
        const auto wait = std::min(TimeLeft(deadline), kWriteSlice);
        return ::WaitForSingleObject(write.hEvent, static_cast<DWORD>(wait.count()))
            == WAIT_OBJECT_0;
    };
    return WaitWithPauses(written, deadline, kWriteSlice, pause);
}

void CWin32SerialPort::Close()
{
    InterruptRead(); // a read still pending on the handle ends before the handle does
    std::lock_guard reading(m_readMutex);
    std::lock_guard lock(m_comMutex);
    m_hCom.reset();
}

} // namespace mirelight
