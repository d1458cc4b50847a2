#include "outlets/CHeldLookup.h"

#include <dlfcn.h>
#include <netdb.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>

namespace {

struct Held
{
    std::mutex mutex;
    std::condition_variable changed;
    std::string name; // empty: nothing held
    bool released = false;
    int asked = 0;
    int inside = 0; // look-ups waiting or on their way out
    std::set<std::thread::id> threads;
};

Held& TheHeld()
{
    static Held held;
    return held;
}

using GetAddrInfo = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

} // namespace

// Defined in the test program, this takes the place of the C library's for every library in
// it; other names go on to the real one.
extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** res)
{
    static const auto real = reinterpret_cast<GetAddrInfo>(dlsym(RTLD_NEXT, "getaddrinfo"));
    Held& held = TheHeld();
    std::unique_lock lock(held.mutex);
    if (!node || held.name.empty() || held.name != node) {
        lock.unlock();
        return real(node, service, hints, res);
    }
    ++held.asked;
    ++held.inside;
    held.threads.insert(std::this_thread::get_id());
    held.changed.notify_all();
    // Not for ever: a look-up made on the test's own thread would never see its Release.
    held.changed.wait_for(lock, std::chrono::seconds(30), [&] { return held.released; });
    --held.inside;
    held.changed.notify_all();
    lock.unlock();
    return real("127.0.0.1", service, hints, res);
}

CHeldLookup::CHeldLookup(std::string name)
{
    Held& held = TheHeld();
    std::lock_guard lock(held.mutex);
    held.name = std::move(name);
    held.released = false;
    held.asked = 0;
    held.threads.clear();
}

CHeldLookup::~CHeldLookup()
{
    Release();
    Held& held = TheHeld();
    std::unique_lock lock(held.mutex);
    held.changed.wait(lock, [&] { return held.inside == 0; });
    held.name.clear();
}

bool CHeldLookup::WaitUntilAsked(int times, std::chrono::milliseconds timeout) const
{
    Held& held = TheHeld();
    std::unique_lock lock(held.mutex);
    return held.changed.wait_for(lock, timeout, [&] { return held.asked >= times; });
}

int CHeldLookup::TimesAsked() const
{
    Held& held = TheHeld();
    std::lock_guard lock(held.mutex);
    return held.asked;
}

bool CHeldLookup::AskedOnThread(std::thread::id thread) const
{
    Held& held = TheHeld();
    std::lock_guard lock(held.mutex);
    return held.threads.count(thread) > 0;
}

void CHeldLookup::Release()
{
    Held& held = TheHeld();
    std::lock_guard lock(held.mutex);
    held.released = true;
    held.changed.notify_all();
}
