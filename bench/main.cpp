// mirelight-bench: the link's reaction time and its idle CPU, measured over a real
// pseudo-terminal against a dongle that answers at once. Prints both beside their targets;
// exits with 1 when a target is missed and 2 when the measurement itself failed.

#include "CInstantDongle.h"
#include "CStatusPrinter.h"

#include "link/CDongleLink.h"
#include "link/CLineReader.h"
#include "link/CPosixSerialPort.h"
#include "link/CommandLines.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
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

    double PercentOfCore() const { return 100.0 * cpu / wall; }
};

// What the program sends most: the set-up of the dongle and button messages.
std::vector<Request> RequestMix()
{
    using namespace mirelight::commands;
    std::vector<Request> mix { { VersionRequest(), kVersionConfirm, kVersionCode },
                               { BasicSettingRequest(), kSettingConfirm, kBasicSettingCode } };
    for (int button = 1; button <= 8; ++button) {
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

Microseconds CpuTime()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The whole process's CPU while the reader holds a line nobody released (the dongle thread
// of this process is idle too, blocked in poll()). Nothing when no line was delivered.
std::optional<Idle> MeasureIdle(CDongleLink& link, CInstantDongle& dongle)
{
    dongle.Send(CBriskoModel::UnrelatedLine());
    if (!link.WaitForLine(commands::kAnswerTimeout)
        || link.LineState() != CLineReader::kLineDelivered)
        return std::nullopt;
    const Microseconds cpuBefore = CpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(kIdleTime);
    return Idle { CpuTime() - cpuBefore, std::chrono::steady_clock::now() - wallBefore };
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
                "  %.3f %% of one core   (target < %.1f %%)  %s\n",
                idle.cpu.count(), idle.wall.count() / 1e6, idle.PercentOfCore(), kIdleCpuTarget,
                Verdict(idleMet));
    return reactionMet && idleMet;
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "mirelight-bench: %s\n", why.c_str());
    return kNotMeasured;
}

} // namespace

int main()
{
    CInstantDongle dongle;
    if (!dongle.Start())
        return Fail(dongle.LastError());
    CStatusPrinter status;
    CDongleLink link(status, [path = dongle.DevicePath()](long, PortFailure& failure) {
        return CPosixSerialPort::Open(path, failure);
    });
    if (!link.Open(kComNumber))
        return Fail("cannot open " + dongle.DevicePath());
    std::printf("Instant dongle on %s\n", dongle.DevicePath().c_str());
    if (!RunExchanges(link))
        return Fail("an exchange failed");
    const std::optional<Idle> idle = MeasureIdle(link, dongle);
    if (!idle)
        return Fail("the unsolicited line was not delivered");
    link.ClosePort();
    dongle.Stop();
    const std::vector<CInstantDongle::Duration> times = dongle.ReactionTimes();
    if (times.size() < kMinReactions)
        return Fail("only " + std::to_string(times.size()) + " reaction times");
    return Report(Summarise(times), *idle) ? 0 : kMissedTarget;
}
