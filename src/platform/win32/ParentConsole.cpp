#include "platform/ParentConsole.h"

#include "platform/win32/WinApi.h"

#include <cstdio>

namespace {

// A program without a console starts with no standard handles, unless they were redirected.
bool IsRedirected(DWORD stream)
{
    const HANDLE handle = ::GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

void ReopenOnConsole(std::FILE* stream)
{
    // Where the console takes no stream, the debugger's channel is all that is left to say so.
    if (!std::freopen("CONOUT$", "w", stream))
        ::OutputDebugStringW(L"mirelight: the console took no output\n");
}

} // namespace

void UseParentConsole()
{
    const bool outputRedirected = IsRedirected(STD_OUTPUT_HANDLE);
    const bool errorRedirected = IsRedirected(STD_ERROR_HANDLE);
    // Attached even when both are redirected: Qt then writes its log to stderr, not to the
    // debugger's channel.
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!outputRedirected)
        ReopenOnConsole(stdout);
    if (!errorRedirected)
        ReopenOnConsole(stderr);
}
