#pragma once

#include <QString>

// The per-user runtime folder and what lives in it (the instance lock, the command socket).

// The user's runtime folder, found the same way whether or not the session set
// XDG_RUNTIME_DIR: that folder, else /run/user/<uid>, whichever is the user's own and private
// first; empty when neither is (or on a system without such a folder).
QString UserRuntimeFolder();

// Why a local socket cannot be made at path (too long for a socket address); empty when it can.
QString LocalSocketPathProblem(const QString& path);

// Marks a file of the runtime folder as in use, so that the folder's periodic clean-up leaves
// it alone.
void KeepThroughCleanup(const QString& path);
