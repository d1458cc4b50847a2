#include "CScriptedPort.h"
#include "RecordingStatus.h"
#include "link/CDongleLink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using mirelight::CDongleLink;
using mirelight::ISerialPort;
using testing::ElementsAre;
using testing::IsEmpty;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Until the reader has reached state on its own (a line arrived, a read failed).
void AwaitLineState(const CDongleLink& link, int state)
{
    const auto deadline = Clock::now() + 2s;
    while (link.LineState() != state && Clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(link.LineState(), state);
}

// Another device on the port: an unrelated line every interval until lasting has passed
// (or the test ends).
class Chatter
{
public:
    Chatter(CScriptedPort& port, std::chrono::milliseconds interval,
            std::chrono::milliseconds lasting)
        : m_thread([this, &port, interval, lasting] {
              const auto start = Clock::now();
              for (auto next = start + interval; next < start + lasting && !m_bStop;
                   next += interval) {
                  std::this_thread::sleep_until(next);
                  port.AddRead("+ZDOI=00\r\n");
              }
              m_bEnded = true;
          })
    { }
    ~Chatter()
    {
        m_bStop = true;
        m_thread.join();
    }
    bool Ended() const { return m_bEnded; }

private:
    std::atomic<bool> m_bStop = false;
    std::atomic<bool> m_bEnded = false;
    std::thread m_thread;
};

// A link whose every Open hands out a fresh scripted port (none while m_bPortMissing).
class DongleLink : public testing::Test
{
protected:
    CScriptedPort& Port() { return *m_ports.back(); }

    RecordingStatus m_status;
    bool m_bPortMissing = false;
    std::vector<std::shared_ptr<CScriptedPort>> m_ports;
    CDongleLink m_link { m_status, [this](long, auto&) -> std::unique_ptr<ISerialPort> {
                            if (m_bPortMissing)
                                return nullptr;
                            m_ports.push_back(std::make_shared<CScriptedPort>());
                            return CScriptedPort::Share(m_ports.back());
                        } };
};

// --- Opening and closing ---

TEST_F(DongleLink, APortThatCannotBeOpenedLeavesNothingOpenAndNothingToWaitFor)
{
    m_bPortMissing = true;
    const auto start = Clock::now();
    EXPECT_FALSE(m_link.Open(3));
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_EQ(m_link.LineState(), 0);
    EXPECT_FALSE(m_link.WaitForLine(1500));
    EXPECT_LT(MillisecondsSince(start), 500);
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(DongleLink, ClosePortEndsTheReaderBeforeClosingThePort)
{
    ASSERT_TRUE(m_link.Open(1));
    EXPECT_FALSE(m_link.WaitForLine(1)); // the reader now blocks in a read
    m_link.ClosePort();

    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_TRUE(Port().IsClosed());
    EXPECT_FALSE(Port().ClosedDuringRead());
    EXPECT_EQ(m_link.LineState(), 4);
    const auto start = Clock::now();
    EXPECT_TRUE(m_link.WaitForLine(1500)) << "an ended reader ends every wait";
    EXPECT_LT(MillisecondsSince(start), 500) << "... at once";
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(DongleLink, ReopeningWhileTheOldReaderHoldsALineStartsClean)
{
    ASSERT_TRUE(m_link.Open(1));
    CScriptedPort& oldPort = Port();
    oldPort.AddRead("+OLD=00\r\n+STALE\r\n");
    ASSERT_TRUE(m_link.WaitForLine(1500)); // delivered, never released

    ASSERT_TRUE(m_link.Open(2));
    EXPECT_TRUE(oldPort.IsClosed());
    EXPECT_FALSE(oldPort.ClosedDuringRead());
    EXPECT_EQ(m_link.LineState(), 1);
    EXPECT_EQ(m_link.Line(), "");

    oldPort.AddRead("+LATE\r\n"); // nobody may read the old port any more
    Port().AddRead("+NEW=00\r\n");
    ASSERT_TRUE(m_link.WaitForLine(1500));
    EXPECT_EQ(m_link.Line(), "+NEW=00\r\n");
    m_link.ReleaseLine();
    EXPECT_FALSE(m_link.WaitForLine(1));
}

// --- SendCommand ---

TEST_F(DongleLink, SendCommandWithoutAPortFailsSilently)
{
    EXPECT_FALSE(m_link.SendCommand("+DVRR\r"));
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(DongleLink, SendCommandWritesTheWholeLineWithItsBudget)
{
    ASSERT_TRUE(m_link.Open(1));
    EXPECT_TRUE(m_link.SendCommand("+DVRR\r"));
    EXPECT_EQ(Port().Written(), "+DVRR\r");
    EXPECT_EQ(Port().LastWriteBudget(), 130ms); // 5 ms a byte + 100 ms
}

TEST_F(DongleLink, AWriteFailingAtOnceKeepsThePortOpenAndTheStatus)
{
    ASSERT_TRUE(m_link.Open(1));
    Port().SetWriteBehaviour(CScriptedPort::WriteBehaviour::FailsAtOnce);
    EXPECT_FALSE(m_link.SendCommand("+DVRR\r"));
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(DongleLink, AWriteThatNeverCompletesOrBreaksOffIsReportedWithThePortNumberAndClosesIt)
{
    for (const auto behaviour : { CScriptedPort::WriteBehaviour::NeverCompletes,
                                  CScriptedPort::WriteBehaviour::FailsMidway }) {
        m_status.texts.clear();
        ASSERT_TRUE(m_link.Open(7));
        Port().SetWriteBehaviour(behaviour);
        EXPECT_FALSE(m_link.SendCommand("+DVRR\r"));
        EXPECT_THAT(m_status.texts, ElementsAre("Write failure to COM7:"));
        EXPECT_FALSE(m_link.IsOpen());
        EXPECT_TRUE(Port().IsClosed());
        EXPECT_FALSE(Port().ClosedDuringRead());
    }
}

// --- WaitForLine and the awaited answer ---

TEST_F(DongleLink, WaitForLineGivesUpAfterWholePollPeriods)
{
    ASSERT_TRUE(m_link.Open(1));
    auto start = Clock::now();
    EXPECT_FALSE(m_link.WaitForLine(1)); // one period
    EXPECT_GE(MillisecondsSince(start), 100);
    EXPECT_LT(MillisecondsSince(start), 250);

    start = Clock::now();
    EXPECT_FALSE(m_link.WaitForLine(250)); // 250 / 100 + 1 = 3 periods
    EXPECT_GE(MillisecondsSince(start), 300);
    EXPECT_LT(MillisecondsSince(start), 450);
}

TEST_F(DongleLink, ALineThatArrivedWhileNobodyWaitedAnswersTheNextExchange)
{
    ASSERT_TRUE(m_link.Open(1));
    Port().AddRead("+DSTC=00\r\n");
    AwaitLineState(m_link, 2);

    const auto start = Clock::now();
    EXPECT_EQ(m_link.Exchange("+DSTR=040000\r", { "+DSTC" }, 1500, 995), "+DSTC=00\r\n");
    EXPECT_LT(MillisecondsSince(start), 500);
}

TEST_F(DongleLink, AwaitAnswerReleasesUnrelatedLinesAndHandsOverACopyOfTheAnswer)
{
    ASSERT_TRUE(m_link.Open(1));
    Port().AddRead("+ZDOI=0012\r\n+DERI=01\r\n+DSTC\r\n+DSTC=00\r\n+AFTER\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({ "+DSTC" }, 1500), "+DSTC\r\n");
    // The answer was released: the reader has gone on to the next line.
    ASSERT_TRUE(m_link.WaitForLine(1500));
    EXPECT_EQ(m_link.Line(), "+DSTC=00\r\n");
}

TEST_F(DongleLink, AwaitAnswerTakesEitherNameOrWithNoNameTheFirstLine)
{
    ASSERT_TRUE(m_link.Open(1));
    Port().AddRead("+NNDC=00\r\n+DERI=04\r\n+ANYTHING\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({ "+DVRC", "+DERI" }, 1500), "+DERI=04\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({}, 1500), "+ANYTHING\r\n");
}

TEST_F(DongleLink, EveryUnrelatedLineRestartsTheFullWait)
{
    ASSERT_TRUE(m_link.Open(1));
    CScriptedPort& port = Port();
    // Each wait lasts 500 ms; unrelated lines come every 150 ms (leaving room for a loaded
    // machine), the answer only after 750 ms.
    std::thread device([&port] {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(150ms);
            port.AddRead("+ZDOI=00\r\n");
        }
        port.AddRead("+ADAC=00\r\n");
    });
    const auto start = Clock::now();
    const auto answer = m_link.AwaitAnswer({ "+ADAC" }, 400);
    device.join();
    EXPECT_EQ(answer, "+ADAC=00\r\n");
    EXPECT_GE(MillisecondsSince(start), 750);
}

TEST_F(DongleLink, OtherLinesHoldTheWholeWaitForFourWaitsAndNotOneMore)
{
    ASSERT_TRUE(m_link.Open(1));
    // Waits of 1000 ms; a line every 300 ms, the last one just before the fourth wait ends.
    Chatter chatter(Port(), 300ms, 3950ms);
    const auto start = Clock::now();
    EXPECT_EQ(m_link.AwaitAnswer({ "+ADAC" }, 900), std::nullopt);
    const long took = MillisecondsSince(start);
    EXPECT_GE(took, 4000) << "each line restarts the wait";
    EXPECT_LT(took, 4600) << "the wait after the last line is cut at the fourth wait's end";
}

TEST_F(DongleLink, ADeviceGoneDuringAWaitEndsItInItsTimeOutAndThePortCountsAsClosed)
{
    ASSERT_TRUE(m_link.Open(1));
    ASSERT_TRUE(m_link.SendCommand("+DRSR\r"));
    Port().FailReadsAfter(0);

    // The first wait returns at once with nothing usable, the second runs out.
    const auto start = Clock::now();
    EXPECT_EQ(m_link.AwaitAnswer({ "+DRSC" }, 100), std::nullopt);
    EXPECT_GE(MillisecondsSince(start), 200);
    EXPECT_LT(MillisecondsSince(start), 400);
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_FALSE(m_link.SendCommand("+DRSR\r")) << "nothing is written to a device that is gone";
    EXPECT_EQ(Port().Written(), "+DRSR\r");
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(DongleLink, ExchangeNotWrittenReportsNothingAndWaitsForNothing)
{
    ASSERT_TRUE(m_link.Open(1));
    Port().SetWriteBehaviour(CScriptedPort::WriteBehaviour::FailsAtOnce);
    Port().AddRead("+DVRC=0B400112\r\n");
    EXPECT_EQ(m_link.Exchange("+DVRR\r", { "+DVRC" }, 1500, 868), std::nullopt);
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(DongleLink, DrainDropsTheLinesAlreadyWaitingAndEndsOnAQuietPeriod)
{
    ASSERT_TRUE(m_link.Open(1));
    Port().AddRead("+A\r\n+B\r\n+C\r\n");
    AwaitLineState(m_link, 2);
    const auto start = Clock::now();
    m_link.Drain();
    EXPECT_GE(MillisecondsSince(start), 100);
    EXPECT_EQ(m_link.LineState(), 1);

    Port().AddRead("+FRESH\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({ "+FRES" }, 1500), "+FRESH\r\n");
}

TEST_F(DongleLink, DrainEndsInBoundedTimeWhileTheDeviceKeepsSending)
{
    ASSERT_TRUE(m_link.Open(1));
    Chatter chatter(Port(), 20ms, 8s);
    AwaitLineState(m_link, 2);
    const auto start = Clock::now();
    m_link.Drain();
    EXPECT_LT(MillisecondsSince(start), 1000) << "bounded by 250 ms";
    EXPECT_FALSE(chatter.Ended()) << "the drain ended although the chatter went on";
}

} // namespace
