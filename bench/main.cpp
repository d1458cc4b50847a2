// mirelight-bench: the link's reaction time and its idle CPU, measured over a real
// pseudo-terminal against a dongle that answers at once. Prints both beside their targets;
// exits with 1 when a target is missed and 2 when the measurement itself failed.
// With --event-loop (in builds with the user interface) the link waits as the program does,
// with a Qt event loop running, and the longest stall of that loop is measured too.

#include "CInstantDongle.h"
#include "CStatusPrinter.h"

#include "link/ButtonCount.h"
#include "link/CDongleLink.h"
#include "link/CLineReader.h"
#include "link/CommandLines.h"
#include "platform/linux/CPosixSerialPort.h"

#ifdef MIRELIGHT_BENCH_EVENT_LOOP
#include "panel/CEventLoopWaiter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using namespace mirelight;
using namespace std::chrono_literals;
using Microseconds = std::chrono::duration<double, std::micro>;

constexpr int kExchanges = 1001; // every answer but the last is followed by a request
constexpr std::size_t kMinReactions = 200;
constexpr Microseconds kMedianTarget = 1ms;
constexpr double kIdleCpuTarget = 0.5; // % of one core
constexpr std::chrono::seconds kIdleTime = 5s;
constexpr long kComNumber = 1; // only named in messages: the port is opened by its path

constexpr int kMissedTarget = 1;
constexpr int kNotMeasured = 2;

struct Request
{
    std::string line;
    std::string_view answerName;
    long code;
};

struct Reaction
{
    std::size_t count;
    Microseconds median;
    Microseconds max;
};

struct Idle
{
    Microseconds cpu; // user and system, of the whole process
    Microseconds wall;
    long wakeUps; // voluntary context switches, every thread of the process

    double PercentOfCore() const { return 100.0 * cpu / wall; }
};

// Lets time pass with the process idle: asleep, or in the event loop.
using IdleWait = std::function<void(std::chrono::milliseconds)>;

// What the program sends most: the set-up of the dongle and button messages.
std::vector<Request> RequestMix()
{
    using namespace mirelight::commands;
    std::vector<Request> mix { { VersionRequest(), kVersionConfirm, kVersionCode },
                               { BasicSettingRequest(), kSettingConfirm, kBasicSettingCode } };
    for (int button = 1; button <= mirelight::kButtonCount; ++button) {
        mix.push_back({ ButtonSettingRequest(button), kSettingConfirm, ButtonSettingCode(button) });
        mix.push_back({ ButtonMessage(button, 1), kDataConfirm, kButtonMessageCode });
    }
    return mix;
}

bool RunExchanges(CDongleLink& link)
{
    const std::vector<Request> mix = RequestMix();
    for (std::size_t i = 0; i < kExchanges; ++i) {
        const Request& request = mix[i % mix.size()];
        if (!link.Exchange(request.line, { request.answerName }, commands::kAnswerTimeout,
                           request.code))
            return false;
    }
    return true;
}

Reaction Summarise(std::vector<CInstantDongle::Duration> times)
{
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const Microseconds median = (times[(n - 1) / 2] + times[n / 2]) / 2.0;
    return { n, median, times.back() };
}

rusage Usage()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage;
}

Microseconds CpuTime(const rusage& usage)
{
    const auto seconds = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The whole process's CPU while the reader holds a line nobody released (the dongle thread
// of this process is idle too, blocked in poll()). Nothing when no line was delivered.
std::optional<Idle> MeasureIdle(CDongleLink& link, CInstantDongle& dongle, const IdleWait& wait)
{
    dongle.Send(CBriskoModel::UnrelatedLine());
    if (!link.WaitForLine(commands::kAnswerTimeout)
        || link.LineState() != CLineReader::kLineDelivered)
        return std::nullopt;
    const rusage before = Usage();
    const auto wallBefore = std::chrono::steady_clock::now();
    wait(kIdleTime);
    const rusage after = Usage();
    return Idle { CpuTime(after) - CpuTime(before), std::chrono::steady_clock::now() - wallBefore,
                  after.ru_nvcsw - before.ru_nvcsw };
}

const char* Verdict(bool met)
{
    return met ? "ok" : "MISSED";
}

// Prints the figures beside their targets; true when both are met.
bool Report(const Reaction& reaction, const Idle& idle)
{
    const bool reactionMet = reaction.median < kMedianTarget;
    const bool idleMet = idle.PercentOfCore() < kIdleCpuTarget;
    std::printf("Reaction, answer LF to next request's first byte (%zu times):\n"
                "  median %.1f us   (target < %.0f us)  %s\n"
                "  max    %.1f us   (no target)\n",
                reaction.count, reaction.median.count(), kMedianTarget.count(),
                Verdict(reactionMet), reaction.max.count());
    std::printf("Idle CPU with an unreleased line pending (%.0f us of CPU in %.3f s):\n"
                "  %.3f %% of one core   (target < %.1f %%)  %s\n"
                "  %ld wake-ups   (the idle wait's own end is one)\n",
                idle.cpu.count(), idle.wall.count() / 1e6, idle.PercentOfCore(), kIdleCpuTarget,
                Verdict(idleMet), idle.wakeUps);
    return reactionMet && idleMet;
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "mirelight-bench: %s\n", why.c_str());
    return kNotMeasured;
}

int Measure(IWaiter* waiter, const IdleWait& idleWait)
{
    CInstantDongle dongle;
    if (!dongle.Start())
        return Fail(dongle.LastError());
    CStatusPrinter status;
    CDongleLink link(
        status,
        [path = dongle.DevicePath()](long, PortFailure& failure) {
            return CPosixSerialPort::Open(path, failure);
        },
        waiter);
    if (!link.Open(kComNumber))
        return Fail("cannot open " + dongle.DevicePath());
    std::printf("Instant dongle on %s\n", dongle.DevicePath().c_str());
    if (!RunExchanges(link))
        return Fail("an exchange failed");
    const std::optional<Idle> idle = MeasureIdle(link, dongle, idleWait);
    if (!idle)
        return Fail("the unsolicited line was not delivered");
    link.ClosePort();
    dongle.Stop();
    const std::vector<CInstantDongle::Duration> times = dongle.ReactionTimes();
    if (times.size() < kMinReactions)
        return Fail("only " + std::to_string(times.size()) + " reaction times");
    return Report(Summarise(times), *idle) ? 0 : kMissedTarget;
}

#ifdef MIRELIGHT_BENCH_EVENT_LOOP
constexpr std::chrono::milliseconds kStallTarget { 100 };

// The waits of the program's user interface; the longest the loop went without running a
// 10 ms timer is its worst stall.
int MeasureWithEventLoop(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    CEventLoopWaiter waiter;
    QElapsedTimer sinceTick;
    qint64 longestStallMs = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &ticker,
                     [&] { longestStallMs = std::max(longestStallMs, sinceTick.restart()); });
    sinceTick.start();
    ticker.start(10);
    bool tickerStopped = false;
    const int result = Measure(&waiter, [&](std::chrono::milliseconds time) {
        ticker.stop(); // idle means no timer at all
        tickerStopped = true;
        QEventLoop loop;
        QTimer::singleShot(time, &loop, &QEventLoop::quit);
        loop.exec();
    });
    if (!tickerStopped)
        return result;
    const bool met = std::chrono::milliseconds(longestStallMs) < kStallTarget;
    std::printf("Longest gap between the event loop's 10 ms ticks during the exchanges:\n"
                "  %lld ms   (target < %lld ms)  %s\n",
                static_cast<long long>(longestStallMs),
                static_cast<long long>(kStallTarget.count()), Verdict(met));
    return result != 0 ? result : met ? 0 : kMissedTarget;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--event-loop") == 0) {
#ifdef MIRELIGHT_BENCH_EVENT_LOOP
        return MeasureWithEventLoop(argc, argv);
#else
        return Fail("built without the user interface: no event loop to measure");
#endif
    }
    return Measure(nullptr,
                   [](std::chrono::milliseconds time) { std::this_thread::sleep_for(time); });
}
