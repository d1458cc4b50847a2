#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

// What the benchmarks that run the real program share: a user of their own, the processes they
// start, and how they report a latency.
namespace bench {

// Starts a program with arguments[0] its path, its output to /dev/null; -1 when it did not.
pid_t Spawn(std::vector<std::string> arguments);

// A user of our own: settings, port link, lock and socket in a folder /tmp/<name>-XXXXXX that
// the caller removes afterwards; Qt draws offscreen.
std::filesystem::path IsolateUser(const std::string& name);

// Ends a process started by Spawn and waits for it; nothing for -1.
void End(pid_t pid);

using Milliseconds = std::chrono::duration<double, std::milli>;

// The exit codes of a benchmark with a target.
inline constexpr int kMissedTarget = 1;
inline constexpr int kNotMeasured = 2;

// Says why nothing could be measured, as program; kNotMeasured.
int Fail(const std::string& program, const std::string& why);

// Prints the median and the maximum of times under the heading what, the median beside its
// target; whether the median met it.
bool PrintLatencies(const std::string& what, std::vector<Milliseconds> times, Milliseconds target);

} // namespace bench
