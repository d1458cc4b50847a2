#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

// What the benchmarks that run the real program share: a user of their own, and the processes
// they start.
namespace bench {

// Starts a program with arguments[0] its path, its output to /dev/null; -1 when it did not.
pid_t Spawn(std::vector<std::string> arguments);

// A user of our own: settings, port link, lock and socket in a folder /tmp/<name>-XXXXXX that
// the caller removes afterwards; Qt draws offscreen.
std::filesystem::path IsolateUser(const std::string& name);

} // namespace bench
