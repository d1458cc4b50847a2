#include "CScriptedPort.h"
#include "link/CDongleLink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using mirelight::CDongleLink;
using mirelight::ISerialPort;
using testing::IsEmpty;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// Another device on the port: an unrelated line every interval until lasting has passed (or
// the test ends).
std::jthread Chatter(CScriptedPort& port, std::chrono::milliseconds interval,
                     std::chrono::milliseconds lasting)
{
    return std::jthread([&port, interval, lasting](const std::stop_token& stop) {
        const auto end = Clock::now() + lasting;
        for (auto next = Clock::now() + interval; next < end && !stop.stop_requested();
             next += interval) {
            std::this_thread::sleep_until(next);
            port.AddRead("+ZDOI=00\r\n");
        }
    });
}

// Says at once whether a line is there, and keeps the end of the wait and how long it would
// have lasted.
struct RecordingWaiter final : mirelight::IWaiter
{
    bool WaitUntil(const std::function<bool()>& ready, Clock::time_point end) override
    {
        deadline = end;
        lasting = end - Clock::now();
        return ready();
    }
    void Wake() override { }
    Clock::time_point deadline;
    Clock::duration lasting {};
};

// A link whose every Open hands out a fresh scripted port (none while m_bPortMissing).
class DongleLink : public testing::Test
{
protected:
    CScriptedPort& Port() { return *m_ports.back(); }
    CDongleLink::PortOpener Opener()
    {
        return [this](long, auto&) -> std::unique_ptr<ISerialPort> {
            if (m_bPortMissing)
                return nullptr;
            m_ports.push_back(std::make_shared<CScriptedPort>());
            return CScriptedPort::Share(m_ports.back());
        };
    }

    RecordingStatus m_status;
    bool m_bPortMissing = false;
    std::vector<std::shared_ptr<CScriptedPort>> m_ports;
    CDongleLink m_link { m_status, Opener() };
};

TEST_F(DongleLink, WithoutAPortOrItsDeviceNothingIsWrittenNorReportedAndWaitsRunOut)
{
    EXPECT_EQ(m_link.LineState(), 0);
    m_bPortMissing = true;
    auto start = Clock::now();
    EXPECT_FALSE(m_link.Open(3));
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_FALSE(m_link.SendCommand("+DVRR\r"));
    EXPECT_FALSE(m_link.WaitForLine(1500)) << "nothing to wait for";
    EXPECT_LT(Clock::now() - start, 1s);

    m_bPortMissing = false;
    ASSERT_TRUE(m_link.Open(3));
    Port().FailWhenDrained(); // the device goes away
    start = Clock::now();
    EXPECT_EQ(m_link.AwaitAnswer({}, 300), std::nullopt) << "an ended reader is no answer";
    EXPECT_GE(Clock::now() - start, 400ms) << "the ended reader's wake-up restarts the wait";
    EXPECT_LT(Clock::now() - start, 1000ms) << "... which then runs out";
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
    Port().AddRead("+NEW=00\r\n");
    ASSERT_TRUE(m_link.WaitForLine(1500));
    EXPECT_EQ(m_link.Line(), "+NEW=00\r\n");
    m_link.ReleaseLine();
    EXPECT_FALSE(m_link.WaitForLine(1));
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(DongleLink, OnlyAWriteThatStalledOrBrokeOffIsReportedAndClosesThePort)
{
    using Behaviour = CScriptedPort::WriteBehaviour;
    const struct
    {
        Behaviour behaviour;
        bool answered;
        bool reported;
    } rows[] = {
        { Behaviour::Completes, true, false },
        { Behaviour::FailsAtOnce, false, false },
        { Behaviour::FailsMidway, false, true },
        { Behaviour::NeverCompletes, false, true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.behaviour));
        m_status.texts.clear();
        ASSERT_TRUE(m_link.Open(7));
        Port().SetWriteBehaviour(row.behaviour);
        Port().AddRead("+DVRC=0B400112\r\n"); // no answer to a request that was not written
        EXPECT_EQ(m_link.Exchange("+DVRR\r", { "+DVRC" }, 1500, 868).has_value(), row.answered);
        EXPECT_EQ(m_link.IsOpen(), !row.reported);
        EXPECT_EQ(m_status.texts,
                  std::vector<std::string>(row.reported ? 1 : 0, "Write failure to COM7:"));
        EXPECT_EQ(Port().Recorded().lastBudget, 130ms); // 5 ms a byte + 100 ms
        EXPECT_FALSE(Port().Recorded().closedDuringRead);
    }
    EXPECT_EQ(m_ports.front()->Recorded().written, "+DVRR\r");
}

TEST_F(DongleLink, AWaitLastsWholePollPeriods)
{
    RecordingWaiter waiter;
    CDongleLink link(m_status, Opener(), &waiter);
    ASSERT_TRUE(link.Open(1));
    const struct
    {
        long timeout;
        int periods;
    } rows[] = { { 1, 1 }, { 99, 1 }, { 100, 2 }, { 250, 3 }, { 1500, 16 } };
    for (const auto& row : rows) {
        const auto before = Clock::now();
        EXPECT_FALSE(link.WaitForLine(row.timeout));
        EXPECT_GE(waiter.deadline - before, row.periods * 100ms) << row.timeout;
        EXPECT_LE(waiter.lasting, row.periods * 100ms) << row.timeout;
    }
}

TEST_F(DongleLink, AwaitAnswerTakesANamedLineOrWithNoNameTheFirstAndReleasesACopy)
{
    ASSERT_TRUE(m_link.Open(1));
    Port().AddRead("+ZDOI=0012\r\n+DERI=01\r\n+DSTC\r\n+NNDC=00\r\n+DERI=04\r\n+ANY\r\n+AFTER\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({ "+DSTC" }, 1500), "+DSTC\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({ "+DVRC", "+DERI" }, 1500), "+DERI=04\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({}, 1500), "+ANY\r\n");
    // The answer was released: the reader has gone on to the next line.
    ASSERT_TRUE(m_link.WaitForLine(1500));
    EXPECT_EQ(m_link.Line(), "+AFTER\r\n");
}

TEST_F(DongleLink, OtherLinesRestartTheWaitButHoldItForFourWaitsAtMost)
{
    ASSERT_TRUE(m_link.Open(1));
    // Waits of 1000 ms; a line every 300 ms, the last one just before the fourth wait ends.
    const auto chatter = Chatter(Port(), 300ms, 3950ms);
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

    const auto chatter = Chatter(Port(), 20ms, 8s);
    ASSERT_TRUE(m_link.WaitForLine(1500));
    start = Clock::now();
    m_link.Drain();
    EXPECT_LT(Clock::now() - start, 1s) << "bounded by 250 ms, not by the chatter";
}

} // namespace
