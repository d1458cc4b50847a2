#include "BenchSupport.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

pid_t Spawn(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    // What the commands print is not the point here.
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    ::posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&quiet);
    return failed == 0 ? pid : -1;
}

std::filesystem::path IsolateUser(const std::string& name)
{
    std::string pattern = "/tmp/" + name + "-XXXXXX";
    const std::filesystem::path root = ::mkdtemp(pattern.data());
    for (const char* folder : { "config", "runtime" }) {
        std::filesystem::create_directory(root / folder);
        ::chmod((root / folder).c_str(), 0700);
    }
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return root;
}

int Fail(const std::string& program, const std::string& why)
{
    std::fprintf(stderr, "%s: %s\n", program.c_str(), why.c_str());
    return kNotMeasured;
}

void End(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

bool PrintLatencies(const std::string& what, std::vector<Milliseconds> times, Milliseconds target)
{
    std::sort(times.begin(), times.end());
    const std::size_t count = times.size();
    const Milliseconds median = (times[(count - 1) / 2] + times[count / 2]) / 2.0;
    const bool met = median < target;
    std::printf("%s (%zu times):\n"
                "  median %.1f ms   (target < %.0f ms)  %s\n"
                "  max    %.1f ms   (no target)\n",
                what.c_str(), count, median.count(), target.count(), met ? "ok" : "MISSED",
                times.back().count());
    return met;
}

} // namespace bench
