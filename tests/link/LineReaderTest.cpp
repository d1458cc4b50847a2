#include "CScriptedPort.h"
#include "link/CLineReader.h"

#include <gtest/gtest.h>

#include <thread>

using mirelight::CLineReader;
using namespace std::chrono_literals;

namespace {

bool WaitForState(CLineReader& reader, std::chrono::milliseconds timeout = 2s)
{
    return reader.WaitWhileBufferFree(std::chrono::steady_clock::now() + timeout);
}

TEST(LineReaderHandOff, ALineIsHeldUntilReleasedThenTheNextOneFollows)
{
    CScriptedPort port;
    port.AddRead("+ONE\r\n+TW"); // the second line arrives split over two reads
    port.AddRead("O\r\n");
    CLineReader reader(port);

    ASSERT_TRUE(WaitForState(reader));
    EXPECT_EQ(reader.LineState(), CLineReader::kLineDelivered);
    EXPECT_EQ(reader.Line(), "+ONE\r\n");
    // The reader must not touch the port (nor the line) while its line is unreleased.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(port.ReadCalls(), 1);
    EXPECT_EQ(reader.Line(), "+ONE\r\n");

    reader.Release();
    ASSERT_TRUE(WaitForState(reader));
    EXPECT_EQ(reader.Line(), "+TWO\r\n");
    reader.Release();
    EXPECT_FALSE(WaitForState(reader, 50ms)) << "no third line was sent";
}

TEST(LineReaderHandOff, BytesBehindALineInTheSameReadWaitForTheRelease)
{
    CScriptedPort port;
    port.AddRead("+ONE\n+TWO\n\r\n+THREE\n");
    CLineReader reader(port);
    for (const char* expected : { "+ONE\n", "+TWO\n", "+THREE\n" }) {
        ASSERT_TRUE(WaitForState(reader));
        EXPECT_EQ(reader.Line(), expected);
        reader.Release();
    }
}

TEST(LineReaderHandOff, AFailedReadEndsTheReaderWithState4AndNoPartialLine)
{
    CScriptedPort port;
    port.AddRead("+DVRC=0B400112\r\n+ADAC=00");
    port.FailReadsAfter(16 + 5); // the second line is cut after "+ADAC"
    CLineReader reader(port);

    ASSERT_TRUE(WaitForState(reader));
    EXPECT_EQ(reader.Line(), "+DVRC=0B400112\r\n");
    reader.Release();
    ASSERT_TRUE(WaitForState(reader));
    EXPECT_EQ(reader.LineState(), CLineReader::kReaderEnded);
    EXPECT_EQ(reader.Line(), "");

    // Releasing after the end makes the buffer "free" again, and nothing ever fills it.
    reader.Release();
    EXPECT_EQ(reader.LineState(), CLineReader::kBufferFree);
    EXPECT_FALSE(WaitForState(reader, 50ms));
}

TEST(LineReaderHandOff, StopWakesAReaderBlockedInARead)
{
    CScriptedPort port;
    CLineReader reader(port);
    EXPECT_FALSE(WaitForState(reader, 20ms));

    reader.Stop();
    EXPECT_TRUE(port.WasInterrupted());
    EXPECT_EQ(reader.LineState(), CLineReader::kReaderEnded);
}

TEST(LineReaderHandOff, StopWakesAReaderHoldingAnUnreleasedLine)
{
    CScriptedPort port;
    port.AddRead("+UNRELEASED\n+NEVER\n");
    CLineReader reader(port);
    ASSERT_TRUE(WaitForState(reader));

    reader.Stop(); // would hang here if the reader kept waiting for the release
    EXPECT_EQ(reader.LineState(), CLineReader::kReaderEnded);
    EXPECT_EQ(reader.Line(), "");
}

} // namespace
