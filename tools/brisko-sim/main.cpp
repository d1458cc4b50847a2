#include "CBriskoSim.h"
#include "SimCommandLine.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <unistd.h>

using namespace mirelight;

int main(int argc, char** argv)
{
    simcli::Options options;
    std::string error;
    if (!simcli::Parse(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "brisko-sim: " << error << "\nTry 'brisko-sim --help'.\n";
        return 2;
    }
    if (options.help) {
        std::cout << simcli::HelpText();
        return 0;
    }

    // Blocked in every thread, taken by sigwait below: the simulator thread is never
    // interrupted and the shutdown runs in one place.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    CBriskoSim sim(options.comNumber, [](const std::string& event) {
        std::cout << event << std::endl;
        if (event == "unplugged")
            ::kill(::getpid(), SIGTERM);
    });
    for (const auto& step : options.script)
        sim.Configure(step);
    if (!sim.Start()) {
        std::cerr << "brisko-sim: " << sim.LastError() << '\n';
        return 2;
    }
    std::cout << "Brisko on COM" << sim.ComNumber() << ": " << sim.LinkPath() << " -> "
              << sim.DevicePath() << std::endl;

    int received = 0;
    sigwait(&signals, &received);
    sim.Stop();
    return 0;
}
