#include "support/CTestDesktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace testsupport {

namespace {

// Generous: the machine may be busy with a whole parallel suite under the sanitizers.
constexpr auto kStartTimeout = 30s;

std::string RuntimeDir()
{
    const char* folder = std::getenv("XDG_RUNTIME_DIR");
    return folder ? folder : "/tmp";
}

// The program's full path, or "" when it is not installed.
std::string FindProgram(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    std::istringstream folders(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (::access((folder + "/" + name).c_str(), X_OK) == 0)
            return folder + "/" + name;
    return {};
}

// The end of a log, for a failure message: the log goes with the test's folders.
std::string Tail(const std::string& file)
{
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return "\n" + text.substr(text.size() > 2000 ? text.size() - 2000 : 0);
}

bool CanConnect(const std::string& socketPath)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected
        = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

CTestDesktop::~CTestDesktop()
{
    for (auto child = m_children.rbegin(); child != m_children.rend(); ++child) {
        ::kill(child->pid, SIGTERM);
        const auto deadline = Clock::now() + 10s;
        while (::waitpid(child->pid, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                ::kill(child->pid, SIGKILL);
                ::waitpid(child->pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        if (child->output >= 0)
            ::close(child->output);
    }
}

bool CTestDesktop::Fail(const std::string& problem)
{
    m_problem = problem;
    return false;
}

bool CTestDesktop::Spawn(const std::vector<std::string>& argv, int answerFd,
                         const std::string& logFile)
{
    const std::string program = FindProgram(argv[0]);
    if (program.empty()) {
        m_missing = true;
        return Fail(argv[0] + " is not installed");
    }
    // Everything the child needs is made before the fork: the test process has threads.
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return Fail("pipe2: " + std::string(std::strerror(errno)));
    const int log = logFile.empty()
        ? -1
        : ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A test that dies, or is killed for its time-out, takes its desktop along.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        if (log >= 0) {
            ::dup2(log, STDOUT_FILENO);
            ::dup2(log, STDERR_FILENO);
        }
        if (answerFd >= 0) {
            if (pipeFds[1] == answerFd)
                ::fcntl(answerFd, F_SETFD, 0);
            else
                ::dup2(pipeFds[1], answerFd);
        }
        ::execv(program.c_str(), args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (log >= 0)
        ::close(log);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return Fail("fork: " + std::string(std::strerror(errno)));
    }
    m_children.push_back({ pid, pipeFds[0] });
    return true;
}

std::string CTestDesktop::ReadLine(int fd, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::string line;
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable { fd, POLLIN, 0 };
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            return {};
        char c = 0;
        if (::read(fd, &c, 1) != 1)
            return {}; // the child ended
        if (c == '\n')
            return line;
        line += c;
    }
}

bool CTestDesktop::StartSessionBus()
{
    // A bus of our own with nothing to activate: no desktop service of the machine joins in.
    const std::string config = RuntimeDir() + "/session-bus.conf";
    std::ofstream(config) << "<busconfig><type>session</type><listen>unix:path=" << RuntimeDir()
                          << "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
    if (!Spawn({ "dbus-daemon", "--nofork", "--config-file=" + config, "--print-address=3" }, 3,
               RuntimeDir() + "/bus.log"))
        return false;
    const std::string address = ReadLine(m_children.back().output, kStartTimeout);
    if (address.empty())
        return Fail("dbus-daemon gave no address");
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    return true;
}

bool CTestDesktop::StartTrayWatcher(bool withHost)
{
    std::vector<std::string> argv = { FAKE_TRAY_WATCHER_EXE };
    if (!withHost)
        argv.push_back("--without-host");
    if (!Spawn(argv, STDOUT_FILENO, {}))
        return false;
    m_watcherOutput = m_children.back().output;
    return ReadLine(m_watcherOutput, kStartTimeout) == "ready"
        || Fail("the fake StatusNotifierWatcher did not start");
}

bool CTestDesktop::StartX11(bool withXEmbedTray)
{
    const std::string log = RuntimeDir() + "/x11.log";
    if (!Spawn({ "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp" }, 3,
               log))
        return false;
    const std::string display = ReadLine(m_children.back().output, kStartTimeout);
    if (display.empty())
        return Fail("Xvfb did not start:" + Tail(log));
    ::setenv("DISPLAY", (":" + display).c_str(), 1);
    // IceWM owns the XEmbed tray selection once it has started; Qt sees when.
    return !withXEmbedTray || Spawn({ "icewm" }, -1, log);
}

bool CTestDesktop::StartWayland()
{
    const std::string socket = "wayland-mirelight-test";
    if (!Spawn({ "weston", "--backend=headless-backend.so", "--socket=" + socket, "--idle-time=0",
                 "--log=" + RuntimeDir() + "/weston.log" },
               -1, RuntimeDir() + "/weston.out"))
        return false;
    const pid_t weston = m_children.back().pid;
    const auto deadline = Clock::now() + kStartTimeout;
    while (!CanConnect(RuntimeDir() + "/" + socket)) {
        if (::waitpid(weston, nullptr, WNOHANG) != 0 || Clock::now() > deadline)
            return Fail("weston did not start:" + Tail(RuntimeDir() + "/weston.log"));
        std::this_thread::sleep_for(20ms);
    }
    ::setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
    return true;
}

std::string CTestDesktop::NextTrayItem(std::chrono::seconds timeout)
{
    return m_watcherOutput < 0 ? std::string() : ReadLine(m_watcherOutput, timeout);
}

} // namespace testsupport
