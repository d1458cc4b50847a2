// mirelight-soak: button presses against the simulated Brisko in a process of its own, the
// way the panel sends them. Every press must be confirmed, and the resident memory must not
// grow after the first presses. Also times a full Connect. Exits with 1 when a target is
// missed and 2 when the run itself failed.
//
//     mirelight-soak [presses]      (default 10000)

#include "CSoakHost.h"

#include "link/CommandLines.h"
#include "link/FormatText.h"
#include "network/CDongle.h"
#include "platform/linux/ComPortPath.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace mirelight;
using namespace std::chrono_literals;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr long kComNumber = 1;
constexpr long kDefaultPresses = 10000;
constexpr long kWarmUpPresses = 100;
constexpr long kMaxGrowthKiB = 1024;
constexpr Milliseconds kConnectTarget = 150ms;

constexpr int kMissedTarget = 1;
constexpr int kNotMeasured = 2;

// Keeps the ports link away from the user's own folder; returns the folder to remove.
std::string UseTemporaryConfigFolder()
{
    std::string folder
        = (std::filesystem::temp_directory_path() / "mirelight-soak-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return {};
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    return folder;
}

// The simulator runs as a process of its own, so that its record of every request does not
// count against this process's memory.
pid_t StartSimulator()
{
    std::string program = BRISKO_SIM_EXE;
    std::string option = "--com";
    std::string com = std::to_string(kComNumber);
    char* argv[] = { program.data(), option.data(), com.data(), nullptr };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, BRISKO_SIM_EXE, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        return -1;
    const std::string link = ComPortLinkPath(kComNumber);
    for (int i = 0; i < 100 && !std::filesystem::is_symlink(link); ++i)
        std::this_thread::sleep_for(50ms);
    return std::filesystem::is_symlink(link) ? pid : -1;
}

void StopSimulator(pid_t pid)
{
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:"))
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

bool Press(CDongle& dongle, const PanelSettings& settings, long press)
{
    const int index = static_cast<int>(press % kButtonCount);
    dongle.SendButtonMessage(index, true);
    const std::string expected
        = FormatText("Message %02lX sent for button %d",
                     commands::EffectByte(settings.m_iEffect[index]), index + 1);
    return dongle.Status() == expected;
}

int Run(long presses)
{
    CSoakHost host;
    PanelSettings settings;
    settings.m_iComChan = kComNumber;
    settings.m_iEffect = { 0, 1, 2, 0, 1, 2, 0, 1 };
    CDongle dongle(host, settings);

    const auto start = std::chrono::steady_clock::now();
    dongle.Connect();
    const Milliseconds connectTime = std::chrono::steady_clock::now() - start;
    if (!dongle.IsPortOpen()) {
        std::fprintf(stderr, "mirelight-soak: %s\n", dongle.Status().c_str());
        return kNotMeasured;
    }

    long failures = 0;
    long warmKiB = 0;
    for (long press = 0; press < presses; ++press) {
        failures += !Press(dongle, settings, press);
        if (press + 1 == std::min(kWarmUpPresses, presses))
            warmKiB = ResidentKiB();
    }
    const long growthKiB = ResidentKiB() - warmKiB;

    std::printf("full Connect:           %8.1f ms    (target: under %.0f ms)\n",
                connectTime.count(), kConnectTarget.count());
    std::printf("presses:                %8ld       failures: %ld (target: none)\n", presses,
                failures);
    std::printf(
        "memory after %ld presses: %ld KiB, growth since: %+ld KiB (target: within %ld KiB)\n",
        std::min(kWarmUpPresses, presses), warmKiB, growthKiB, kMaxGrowthKiB);
    const bool met
        = failures == 0 && std::labs(growthKiB) <= kMaxGrowthKiB && connectTime < kConnectTarget;
    return met ? 0 : kMissedTarget;
}

} // namespace

int main(int argc, char** argv)
{
    const long presses = argc > 1 ? std::strtol(argv[1], nullptr, 10) : kDefaultPresses;
    if (presses <= 0) {
        std::fprintf(stderr, "usage: mirelight-soak [presses]\n");
        return kNotMeasured;
    }
    const std::string folder = UseTemporaryConfigFolder();
    const pid_t simulator = StartSimulator();
    int result = kNotMeasured;
    if (simulator < 0) {
        std::fprintf(stderr, "mirelight-soak: the simulated Brisko did not start\n");
    } else {
        result = Run(presses);
        StopSimulator(simulator);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return result;
}
