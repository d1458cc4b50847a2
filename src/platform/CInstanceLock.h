#pragma once

#include <QString>

#include <cstdint>

// Keeps a second instance of the program out for the same user. POSIX: an flock on
// "Mirelight Mutex.lock" in the user's runtime folder (or, when the session has none that is
// usable, the user's own data folder): the kernel drops it when the holder dies, so a
// crashed instance never blocks the next start, and another user's folder is another file.
// Windows: the named mutex "Mirelight Mutex" of the user's session.
class CInstanceLock
{
public:
    enum class Outcome { Acquired, HeldElsewhere, Unavailable };

    CInstanceLock() = default;
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Held until this object goes; Unavailable when the lock file cannot be made at all.
    Outcome Acquire();

    // Empty when the user has no usable folder for it.
    static QString LockFilePath();

private:
    std::intptr_t m_handle = -1; // the descriptor or handle that holds the lock
};
