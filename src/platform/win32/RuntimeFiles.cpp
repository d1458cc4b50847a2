#include "platform/RuntimeFiles.h"

// Windows has no runtime folder: the lock is a mutex of the session and the socket a named
// pipe, whose names are not paths.

QString UserRuntimeFolder()
{
    return QString();
}

QString LocalSocketPathProblem(const QString& /*path*/)
{
    return QString();
}

void KeepThroughCleanup(const QString& /*path*/) { }
