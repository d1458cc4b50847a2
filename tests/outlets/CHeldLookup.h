#pragma once

#include <chrono>
#include <string>
#include <thread>

// A name server that answers only when told to: while one lives, every look-up of its name in
// this process (libmosquitto's and Qt's alike) waits until Release (30 s at most), then finds
// 127.0.0.1.
class CHeldLookup
{
public:
    explicit CHeldLookup(std::string name);
    ~CHeldLookup(); // releases, and waits until every held look-up has gone
    CHeldLookup(const CHeldLookup&) = delete;
    CHeldLookup& operator=(const CHeldLookup&) = delete;

    // Until the name was looked up this many times in all.
    bool WaitUntilAsked(int times, std::chrono::milliseconds timeout) const;
    int TimesAsked() const;
    bool AskedOnThread(std::thread::id thread) const;
    void Release();
};
