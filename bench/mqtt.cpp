// mirelight-mqtt-bench: a press over MQTT on a local broker, from its publish to the button
// message at the simulated Brisko (median and max of 100), and the running program's wake-ups
// in 5 s while it is connected and idle. Prints the figures beside the target; exits with 1
// when the median misses it and 2 when the measurement itself failed.

#include "BenchSupport.h"
#include "CBriskoSim.h"
#include "outlets/CMqttClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using bench::Milliseconds;
using namespace std::chrono_literals;

constexpr int kPresses = 100;
constexpr Milliseconds kTarget = 20ms;
const QString kNode = QStringLiteral("bench");

int Fail(const std::string& why)
{
    return bench::Fail("mirelight-mqtt-bench", why);
}

int FreePort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = ::bind(probe, reinterpret_cast<sockaddr*>(&address), length) == 0
        && ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(probe);
    return bound ? ntohs(address.sin_port) : 0;
}

// Runs the event loop until done() or the time is up.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// The context switches a process has made so far, voluntary or not.
long ContextSwitches(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    long total = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.find("ctxt_switches:") != std::string::npos)
            total += std::stol(line.substr(line.find(':') + 1));
    }
    return total;
}

void Seed(const std::filesystem::path& root, int port)
{
    QSettings settings(QString::fromStdString(
                           (root / "config" / "Corvanthis Mirelight" / "mirelight.conf").string()),
                       QSettings::IniFormat);
    settings.setValue(QStringLiteral("Corvanthis Mirelight/m_iComChan"), 1);
    settings.setValue(QStringLiteral("MQTT/Enabled"), 1);
    settings.setValue(QStringLiteral("MQTT/Host"), QStringLiteral("127.0.0.1"));
    settings.setValue(QStringLiteral("MQTT/Port"), port);
    settings.setValue(QStringLiteral("MQTT/NodeId"), kNode);
}

pid_t StartBroker(const std::filesystem::path& root, int port)
{
    const std::filesystem::path config = root / "mosquitto.conf";
    std::ofstream(config) << "listener " << port << " 127.0.0.1\nallow_anonymous true\n"
                          << "persistence false\nlog_dest none\n"
                          << (::geteuid() == 0 ? "user root\n" : "");
    return bench::Spawn({ "/usr/sbin/mosquitto", "-c", config.string() });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const std::filesystem::path root = bench::IsolateUser("mirelight-mqtt-bench");
    const int port = FreePort();
    Seed(root, port);
    const pid_t broker = StartBroker(root, port);
    std::mutex mutex;
    std::vector<Clock::time_point> messageTimes;
    mirelight::CBriskoSim sim(1, [&](const std::string& event) {
        if (event.rfind("request +ADAR=06", 0) == 0) {
            std::lock_guard lock(mutex);
            messageTimes.push_back(Clock::now());
        }
    });
    const pid_t instance = sim.Start() && broker > 0 ? bench::Spawn({ MIRELIGHT_EXE }) : -1;

    // Another client of the broker, as Home Assistant is; the program is ready once it said
    // it is online.
    CMqttClient client;
    bool online = false;
    QObject::connect(
        &client, &CMqttClient::MessageReceived, &client,
        [&](const QString&, const QByteArray& payload) { online = payload == "online"; });
    client.Subscribe(QStringLiteral("mirelight/%1/availability").arg(kNode));
    CMqttClient::Options options;
    options.host = QStringLiteral("127.0.0.1");
    options.port = port;
    options.clientId = QStringLiteral("bench");
    client.Start(options);
    const bool ready
        = instance > 0 && sim.WaitForRequests(12, 10s) && WaitFor([&] { return online; }, 20s);

    std::vector<Milliseconds> times;
    const auto messages = [&] {
        std::lock_guard lock(mutex);
        return messageTimes.size();
    };
    for (int i = 0; ready && i < kPresses; ++i) {
        const auto start = Clock::now();
        client.Publish(QStringLiteral("mirelight/%1/button/1/press").arg(kNode), "PRESS", false);
        if (!WaitFor([&] { return messages() == times.size() + 1; }, 10s))
            break;
        std::lock_guard lock(mutex);
        times.push_back(messageTimes.back() - start);
        std::this_thread::sleep_for(20ms); // its answer, before the next press
    }
    long wakeups = -1;
    if (times.size() == kPresses) {
        const long before = ContextSwitches(instance);
        std::this_thread::sleep_for(5s);
        wakeups = ContextSwitches(instance) - before;
    }
    client.Stop();
    bench::End(instance);
    bench::End(broker);
    sim.Stop();
    std::filesystem::remove_all(root);
    if (!ready)
        return Fail("Mirelight did not come online on the broker against the simulated Brisko");
    if (times.size() != kPresses)
        return Fail("a press over MQTT did not reach the dongle");

    const bool met = bench::PrintLatencies(
        "From a PRESS published on the broker to its request at the dongle", times, kTarget);
    std::printf("Connected and idle: %ld wake-ups in 5 s (the keep-alive's timer)\n", wakeups);
    return met ? 0 : bench::kMissedTarget;
}
