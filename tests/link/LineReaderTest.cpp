#include "CScriptedPort.h"
#include "link/CLineReader.h"

#include <gtest/gtest.h>

using mirelight::CLineReader;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

bool WaitForState(CLineReader& reader, std::chrono::milliseconds timeout = 2s)
{
    return reader.WaitWhileBufferFree(Clock::now() + timeout);
}

TEST(LineReaderHandOff, EachLineIsHeldUntilReleasedAndTheBytesBehindItWait)
{
    CScriptedPort port;
    port.AddRead("+ONE\r\n+TW"); // the second line arrives split over two reads...
    port.AddRead("O\n\r\n+THREE\n"); // ...and the third behind it in the same read
    CLineReader reader(port);

    ASSERT_TRUE(WaitForState(reader));
    const auto start = Clock::now();
    EXPECT_TRUE(WaitForState(reader));
    EXPECT_LT(Clock::now() - start, 1s) << "a line delivered before the wait ends it at once";
    EXPECT_EQ(reader.Line(), "+ONE\r\n");
    // The reader must not touch the port (nor the line) while its line is unreleased.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(port.Recorded().readCalls, 1);
    EXPECT_EQ(reader.Line(), "+ONE\r\n");

    for (const char* expected : { "+TWO\n", "+THREE\n" }) {
        reader.Release();
        ASSERT_TRUE(WaitForState(reader));
        EXPECT_EQ(reader.Line(), expected);
    }
    reader.Release();
    EXPECT_FALSE(WaitForState(reader, 50ms)) << "no fourth line was sent";
}

TEST(LineReaderHandOff, AFailedReadEndsTheReaderWithState4AndNoPartialLine)
{
    CScriptedPort port;
    port.AddRead("+DVRC=0B400112\r\n+ADAC"); // the second line is cut short
    port.FailWhenDrained();
    CLineReader reader(port);

    ASSERT_TRUE(WaitForState(reader));
    EXPECT_EQ(reader.Line(), "+DVRC=0B400112\r\n");
    reader.Release();
    ASSERT_TRUE(WaitForState(reader));
    EXPECT_EQ(reader.LineState(), CLineReader::kReaderEnded);
    EXPECT_TRUE(reader.DeviceLost());
    EXPECT_EQ(reader.Line(), "");

    // Releasing after the end makes the buffer "free" again, and nothing ever fills it.
    reader.Release();
    EXPECT_EQ(reader.LineState(), CLineReader::kBufferFree);
    EXPECT_FALSE(WaitForState(reader, 50ms));
}

TEST(LineReaderHandOff, StopEndsTheReaderInAReadOrHoldingAnUnreleasedLine)
{
    CScriptedPort idle;
    CScriptedPort holding;
    holding.AddRead("+UNRELEASED\n+NEVER\n");
    CLineReader inRead(idle);
    CLineReader withLine(holding);
    ASSERT_TRUE(WaitForState(withLine));

    for (CLineReader* reader : { &inRead, &withLine }) {
        reader->Stop(); // hangs if the reader is not woken
        EXPECT_EQ(reader->LineState(), CLineReader::kReaderEnded);
        EXPECT_EQ(reader->Line(), "");
        EXPECT_FALSE(reader->DeviceLost());
    }
    EXPECT_TRUE(idle.Recorded().interrupted);
}

} // namespace
