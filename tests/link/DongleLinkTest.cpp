#include "CScriptedPort.h"
#include "link/CDongleLink.h"
#include "link/CLineReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <thread>

using mirelight::CDongleLink;
using mirelight::CLineReader;
using mirelight::ISerialPort;
using testing::IsEmpty;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

TEST(LineReaderHandOff, EachLineIsHeldUntilReleasedTheBytesBehindItWaitAndStopEndsARead)
{
    CScriptedPort port;
    port.AddRead("+ONE\r\n+TW"); // the second line arrives split over two reads...
    port.AddRead("O\n\r\n+THREE\n"); // ...and the third behind it in the same read
    CLineReader reader(port);

    ASSERT_TRUE(reader.WaitWhileBufferFree(Clock::now() + 2s));
    const auto start = Clock::now();
    EXPECT_TRUE(reader.WaitWhileBufferFree(Clock::now() + 2s));
    EXPECT_LT(Clock::now() - start, 1s) << "a line delivered before the wait ends it at once";
    EXPECT_EQ(reader.Line(), "+ONE\r\n");
    // The reader must not touch the port (nor the line) while its line is unreleased.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(port.Recorded().readCalls, 1);
    EXPECT_EQ(reader.Line(), "+ONE\r\n");

    for (const char* expected : { "+TWO\n", "+THREE\n" }) {
        reader.Release();
        ASSERT_TRUE(reader.WaitWhileBufferFree(Clock::now() + 2s));
        EXPECT_EQ(reader.Line(), expected);
    }
    reader.Release();
    EXPECT_FALSE(reader.WaitWhileBufferFree(Clock::now() + 50ms)) << "no fourth line was sent";
    reader.Stop(); // in a read; hangs if the read is not interrupted
    EXPECT_EQ(reader.LineState(), CLineReader::kReaderEnded);
    EXPECT_FALSE(reader.DeviceLost());
    EXPECT_EQ(reader.Line(), "");
}

// Says at once whether a line is there, and keeps the end of the wait.
struct RecordingWaiter final : mirelight::IWaiter
{
    bool WaitUntil(const std::function<bool()>& ready, Clock::time_point end) override
    {
        deadline = end;
        return ready();
    }
    void Wake() override { }
    Clock::time_point deadline;
};

// A link whose every Open hands out a fresh scripted port.
class DongleLink : public testing::Test
{
protected:
    CScriptedPort& Port() { return m_ports.back(); }
    CDongleLink::PortOpener Opener()
    {
        return
            [this](long, auto&) { return std::make_unique<CScriptedPort>(m_ports.emplace_back()); };
    }

    RecordingStatus m_status;
    std::deque<CScriptedPort> m_ports;
    CDongleLink m_link { m_status, Opener() };
};

TEST_F(DongleLink, WithoutAPortOrItsDeviceNothingIsWrittenNorReportedAndWaitsRunOut)
{
    EXPECT_EQ(m_link.LineState(), 0);
    EXPECT_FALSE(m_link.SendCommand("+DVRR\r"));
    auto start = Clock::now();
    EXPECT_FALSE(m_link.WaitForLine(1500)) << "nothing to wait for";
    EXPECT_LT(Clock::now() - start, 1s);

    ASSERT_TRUE(m_link.Open(3));
    Port().AddRead("+DVRC=0B400112\r\n+ADAC"); // the device goes away amid the second line
    Port().FailWhenDrained();
    EXPECT_TRUE(m_link.AwaitAnswer({}, 1500));
    start = Clock::now();
    EXPECT_EQ(m_link.AwaitAnswer({}, 300), std::nullopt) << "not a cut line, nor an ended reader";
    EXPECT_GE(Clock::now() - start, 400ms) << "the ended reader's wake-up restarts the wait";
    EXPECT_LT(Clock::now() - start, 1000ms) << "... which then runs out";
    EXPECT_EQ(m_link.Line(), "");
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_FALSE(m_link.SendCommand("+DVRR\r"));
    EXPECT_EQ(Port().Recorded().written, "");
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(DongleLink, ClosingEndsTheReaderBeforeThePortAndReopeningStartsClean)
{
    ASSERT_TRUE(m_link.Open(1));
    EXPECT_FALSE(m_link.WaitForLine(1)); // the reader now blocks in a read
    m_link.ClosePort();
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_TRUE(Port().Recorded().closed);
    EXPECT_FALSE(Port().Recorded().closedDuringRead);
    EXPECT_EQ(m_link.LineState(), 4);
    const auto start = Clock::now();
    EXPECT_TRUE(m_link.WaitForLine(1500)) << "an ended reader ends every wait";
    EXPECT_LT(Clock::now() - start, 1s) << "... at once";

    ASSERT_TRUE(m_link.Open(2));
    CScriptedPort& old = Port();
    old.AddRead("+OLD=00\r\n+STALE\r\n");
    ASSERT_TRUE(m_link.WaitForLine(1500)); // delivered, never released
    ASSERT_TRUE(m_link.Open(3));
    EXPECT_TRUE(old.Recorded().closed);
    EXPECT_EQ(m_link.LineState(), 1);
    EXPECT_EQ(m_link.Line(), "");
    old.AddRead("+LATE\r\n"); // nobody may read the old port any more
    // An answer is the first line with one of the names; it comes back released.
    Port().AddRead("+ZDOI=0012\r\n+DERI=04\r\n+AFTER\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({ "+DVRC", "+DERI" }, 1500), "+DERI=04\r\n");
    ASSERT_TRUE(m_link.WaitForLine(1500));
    EXPECT_EQ(m_link.Line(), "+AFTER\r\n");
    m_link.ReleaseLine();
    EXPECT_FALSE(m_link.WaitForLine(1));
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(DongleLink, OnlyAWriteThatStalledOrBrokeOffIsReportedAndClosesThePort)
{
    using Result = ISerialPort::WriteResult;
    for (const auto& [result, reported] : std::map<Result, bool> { { Result::Written, false },
                                                                   { Result::Refused, false },
                                                                   { Result::Failed, true },
                                                                   { Result::TimedOut, true } }) {
        SCOPED_TRACE(static_cast<int>(result));
        m_status.texts.clear();
        m_status.comChan = 9; // the COM box edited since the port opened: the report says 9
        ASSERT_TRUE(m_link.Open(7));
        Port().SetWriteResult(result);
        Port().AddRead("+DVRC=0B400112\r\n"); // no answer to a request that was not written
        EXPECT_EQ(m_link.Exchange("+DVRR\r", { "+DVRC" }, 1500, 868).has_value(),
                  result == Result::Written);
        EXPECT_EQ(m_link.IsOpen(), !reported);
        EXPECT_EQ(m_status.texts,
                  std::vector<std::string>(reported ? 1 : 0, "Write failure to COM9:"));
        EXPECT_EQ(Port().Recorded().lastBudget, 130ms); // 5 ms a byte + 100 ms
        EXPECT_FALSE(Port().Recorded().closedDuringRead);
    }
    EXPECT_EQ(m_ports.front().Recorded().written, "+DVRR\r");
}

TEST_F(DongleLink, AWaitLastsWholePollPeriods)
{
    RecordingWaiter waiter;
    CDongleLink link(m_status, Opener(), &waiter);
    ASSERT_TRUE(link.Open(1));
    for (const auto& [timeout, periods] :
         std::map<long, int> { { 1, 1 }, { 99, 1 }, { 100, 2 }, { 250, 3 }, { 1500, 16 } }) {
        const auto before = Clock::now();
        EXPECT_FALSE(link.WaitForLine(timeout));
        EXPECT_GE(waiter.deadline - before, periods * 100ms) << timeout;
        EXPECT_LE(waiter.deadline - Clock::now(), periods * 100ms) << timeout;
    }
}

TEST_F(DongleLink, OtherLinesRestartTheWaitButHoldItForFourWaitsAtMost)
{
    ASSERT_TRUE(m_link.Open(1));
    // Waits of 1000 ms; another device's line every 300 ms, the last one just before the fourth
    // wait ends.
    for (int line = 1; line <= 13; ++line)
        Port().AddRead("+ZDOI=00\r\n", line * 300ms);
    const auto start = Clock::now();
    EXPECT_EQ(m_link.AwaitAnswer({ "+ADAC" }, 900), std::nullopt);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 4000ms) << "each line restarts the wait";
    EXPECT_LT(took, 4600ms) << "the wait after the last line is cut at the fourth wait's end";
}

TEST_F(DongleLink, DrainDropsWhatIsWaitingAndEndsOnAQuietPeriodOrAfter250Ms)
{
    ASSERT_TRUE(m_link.Open(1));
    Port().AddRead("+A\r\n+B\r\n+C\r\n");
    ASSERT_TRUE(m_link.WaitForLine(1500));
    auto start = Clock::now();
    m_link.Drain();
    EXPECT_GE(Clock::now() - start, 100ms);
    EXPECT_EQ(m_link.LineState(), 1);

    for (int line = 1; line <= 400; ++line) // for 8 s
        Port().AddRead("+ZDOI=00\r\n", line * 20ms);
    ASSERT_TRUE(m_link.WaitForLine(1500));
    start = Clock::now();
    m_link.Drain();
    EXPECT_LT(Clock::now() - start, 1s) << "bounded by 250 ms, not by the chatter";
}

} // namespace
