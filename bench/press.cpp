// mirelight-press-bench: the time from starting "mirelight --press 1" to the button message
// reaching the dongle, process start included, against a running Mirelight and the simulated
// Brisko. Prints the figures beside the target; exits with 1 when it is missed and 2 when the
// measurement itself failed.

#include "BenchSupport.h"
#include "CBriskoSim.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using bench::Milliseconds;
using namespace std::chrono_literals;

constexpr int kPresses = 30;
constexpr Milliseconds kTarget = 50ms;

int Fail(const std::string& why)
{
    return bench::Fail("mirelight-press-bench", why);
}

} // namespace

int main()
{
    const std::filesystem::path root = bench::IsolateUser("mirelight-press-bench");
    std::mutex mutex;
    std::vector<Clock::time_point> messageTimes;
    mirelight::CBriskoSim sim(1, [&](const std::string& event) {
        if (event.rfind("request +ADAR=06", 0) == 0) {
            std::lock_guard lock(mutex);
            messageTimes.push_back(Clock::now());
        }
    });
    if (!sim.Start())
        return Fail(sim.LastError());
    const pid_t instance = bench::Spawn({ MIRELIGHT_EXE });
    const bool connected = instance > 0 && sim.WaitForRequests(12, 10s) && [&] {
        const auto socket = root / "runtime" / "Mirelight Commands";
        for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(20ms);
        return std::filesystem::exists(socket);
    }();
    std::vector<Milliseconds> times;
    for (int i = 0; connected && i < kPresses; ++i) {
        const auto start = Clock::now();
        const pid_t press = bench::Spawn({ MIRELIGHT_EXE, "--press", "1" });
        int status = 0;
        if (press < 0 || ::waitpid(press, &status, 0) != press || !WIFEXITED(status)
            || WEXITSTATUS(status) != 0)
            break;
        std::lock_guard lock(mutex);
        if (messageTimes.size() != times.size() + 1)
            break;
        times.push_back(messageTimes.back() - start);
    }
    bench::End(instance);
    sim.Stop();
    std::filesystem::remove_all(root);
    if (!connected)
        return Fail("Mirelight did not start against the simulated Brisko");
    if (times.size() != kPresses)
        return Fail("a press was not confirmed");

    const bool met = bench::PrintLatencies(
        "From starting \"mirelight --press 1\" to its request at the dongle", times, kTarget);
    return met ? 0 : bench::kMissedTarget;
}
