// The Windows smoke test's hands: finds a top-level window by its title and tells whether its
// frame can be sized, or sends it a message as the shell or the session's end would.
//   window-probe frame <title>                         prints "sizable" or "fixed"
//   window-probe send <title> <message> <wParam> <lParam>  numbers as in C (0x8065)
// Exit status 1 when no such window answers, 2 for a bad command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Frame(HWND window)
{
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    std::puts((style & WS_THICKFRAME) ? "sizable" : "fixed");
    return 0;
}

int Send(HWND window, char** numbers)
{
    auto number = [](const char* text) { return std::strtoull(text, nullptr, 0); };
    DWORD_PTR result = 0;
    // Sent, not posted, and waited for: as the shell and the session's end do it.
    const bool answered = ::SendMessageTimeoutW(window, static_cast<UINT>(number(numbers[0])),
                                                static_cast<WPARAM>(number(numbers[1])),
                                                static_cast<LPARAM>(number(numbers[2])),
                                                SMTO_ABORTIFHUNG, 10000, &result)
        != 0;
    return answered ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool frame = argc == 3 && std::strcmp(argv[1], "frame") == 0;
    const bool send = argc == 6 && std::strcmp(argv[1], "send") == 0;
    if (!frame && !send) {
        std::fputs("usage: window-probe frame <title> | send <title> <message> <wParam> <lParam>\n",
                   stderr);
        return 2;
    }
    const HWND window = ::FindWindowA(nullptr, argv[2]);
    if (!window) {
        std::fprintf(stderr, "no window titled \"%s\"\n", argv[2]);
        return 1;
    }
    return frame ? Frame(window) : Send(window, argv + 3);
}
