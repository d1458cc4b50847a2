#pragma once

// <windows.h> the one way this folder includes it: without the rarely used parts, and without
// the min and max macros that break std::min and std::max (libstdc++ asks for that already).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>

// A kernel object's handle that closes itself.
struct HandleCloser
{
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;
