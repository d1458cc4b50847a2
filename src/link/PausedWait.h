#pragma once

#include "link/ISerialPort.h"

#include <chrono>
#include <functional>

namespace mirelight {

// What is left of a wait that ends at deadline, in whole milliseconds rounded up, so that a
// wait never ends just short of its deadline and spins; zero once it has passed.
std::chrono::milliseconds TimeLeft(std::chrono::steady_clock::time_point deadline);

// A write's wait for the device: looks with ready until it holds (true) or the deadline passes
// (false), letting the caller's pause run for up to slice between the looks, so that a device
// that takes its bytes at once costs no pause and a slow one leaves the caller's loop running.
bool WaitWithPauses(const std::function<bool()>& ready,
                    std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds slice,
                    const ISerialPort::Pause& pause);

} // namespace mirelight
