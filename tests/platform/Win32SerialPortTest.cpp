// The Win32 serial port under Wine, against the Linux simulator that scripts/windows-test.sh
// maps as COM<MIRELIGHT_TEST_COM>, started with --no-answer +ZQRY --unplug +ZUNP. The cases
// run in the order written: the last one unplugs the simulated dongle.
#include "link/CScriptedPort.h"
#include "link/ComPort.h"
#include "link/CommandLines.h"
#include "link/FormatText.h"
#include "network/CDongle.h"
#include "network/FakeDongleHost.h"
#include "platform/win32/WinApi.h"
#include "platform/win32/WindowsErrors.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <future>

using namespace mirelight;
using namespace std::chrono_literals;

namespace {

TEST(WindowsErrors, AnErrorWithoutAdviceComesInTheSystemsWordsAndTheOthersKeepTheirAdvice)
{
    EXPECT_EQ(FailureFromWindowsError(ERROR_FILE_NOT_FOUND).Text(), "no such device");
    const std::string number = "(Windows error 121)";
    const std::string text = FailureFromWindowsError(ERROR_SEM_TIMEOUT).Text();
    EXPECT_EQ(text.substr(text.size() - number.size()), number) << text;
    EXPECT_GT(text.size(), number.size() + 1) << "no words from the system: " << text;
}

class Win32SerialPortTest : public testing::Test
{
protected:
    void SetUp() override
    {
        const char* com = std::getenv("MIRELIGHT_TEST_COM");
        m_com = com ? std::atol(com) : 0;
        if (m_com <= 0)
            GTEST_SKIP() << "no simulated dongle mapped as a COM port";
    }

    std::unique_ptr<ISerialPort> OpenPort()
    {
        PortFailure failure;
        auto port = OpenComPort(m_com, failure, nullptr);
        EXPECT_TRUE(port) << failure.Text();
        return port;
    }

    long m_com = 0;
    std::array<char, 64> m_buffer {};
    std::size_t m_count = 0;
};

TEST_F(Win32SerialPortTest, ConnectFindsTheDongle)
{
    PanelSettings settings;
    settings.m_iComChan = static_cast<std::int32_t>(m_com);
    FakeDongleHost host(settings);
    CDongle dongle(host, settings);
    host.m_status = &dongle.Status();
    dongle.Connect();
    EXPECT_TRUE(dongle.IsPortOpen());
    EXPECT_EQ(dongle.Status(), FormatText("Brisko detected on COM%ld:", m_com));
}

// A read finds no data for a while: it keeps waiting, neither failing nor returning empty.
TEST_F(Win32SerialPortTest, TheReaderOutlastsAnAnswerTimeOut)
{
    RecordingStatus status;
    CDongleLink link(status);
    ASSERT_TRUE(link.Open(m_com));
    ASSERT_TRUE(link.SendCommand("+ZQRY\r"));
    EXPECT_FALSE(link.WaitForLine(300));
    EXPECT_TRUE(link.IsOpen());
    EXPECT_TRUE(link.Exchange(commands::VersionRequest(), { "+DVRC" }, 1500, 1));
}

TEST_F(Win32SerialPortTest, CloseEndsAPendingRead)
{
    const auto port = OpenPort();
    ASSERT_TRUE(port);
    auto read = std::async(std::launch::async, [&] { return port->Read(m_buffer, m_count); });
    ASSERT_EQ(read.wait_for(200ms), std::future_status::timeout) << "a read with no data";
    port->Close();
    EXPECT_EQ(read.get(), ISerialPort::ReadResult::Interrupted);
}

TEST_F(Win32SerialPortTest, UnplugFailsTheReadAndLaterWrites)
{
    const auto port = OpenPort();
    ASSERT_TRUE(port);
    const auto none = [](std::chrono::steady_clock::time_point) {};
    ASSERT_EQ(port->Write("+ZUNP\r", 1s, none), ISerialPort::WriteResult::Written);
    EXPECT_EQ(port->Read(m_buffer, m_count), ISerialPort::ReadResult::Failed);
    EXPECT_EQ(port->Read(m_buffer, m_count), ISerialPort::ReadResult::Failed);
    EXPECT_NE(port->Write("+DVRR\r", 1s, none), ISerialPort::WriteResult::Written);
}

} // namespace
