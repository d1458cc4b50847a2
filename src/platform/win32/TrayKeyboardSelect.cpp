#include "platform/TrayKeyboardSelect.h"

#include "platform/win32/WinApi.h"

#include <commctrl.h>
#include <shellapi.h>

#include <iterator>
#include <string_view>

namespace {

// WORKAROUND: Qt 6.4 turns NIN_SELECT and NIN_KEYSELECT alike into a single activation, and
// the shell sends them (rather than posts), so no native event filter sees them. They are
// taken in a subclass of the window procedure of Qt's hidden tray window, found by its title,
// with the callback message Qt registers its icons with.
constexpr wchar_t kQtTrayWindowTitle[] = L"QTrayIconMessageWindow";
constexpr UINT kQtTrayMessage = WM_APP + 101;
constexpr UINT_PTR kSubclassId = 0x41; // any value unique to this procedure

// The program has one tray icon: one watch, whichever of its windows is current.
struct CTrayWatch
{
    std::function<void()> onSelect;
    UINT lastEvent = 0;
};

CTrayWatch& Watch()
{
    static CTrayWatch watch;
    return watch;
}

// Whether a tray event is a choice made with the keyboard, given the event before it.
bool IsKeyboardSelect(UINT event, UINT lastEvent)
{
    return event == NIN_KEYSELECT || (event == NIN_SELECT && lastEvent != WM_LBUTTONUP);
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                            DWORD_PTR /*data*/)
{
    CTrayWatch& watch = Watch();
    if (message == kQtTrayMessage) {
        const UINT event = LOWORD(lParam);
        if (IsKeyboardSelect(event, watch.lastEvent) && watch.onSelect)
            watch.onSelect();
        if (event != WM_MOUSEMOVE)
            watch.lastEvent = event;
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hWnd, &WindowProc, kSubclassId);
    }
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

BOOL CALLBACK WatchIfTrayWindow(HWND window, LPARAM /*unused*/)
{
    wchar_t title[64] = {};
    ::GetWindowTextW(window, title, static_cast<int>(std::size(title)));
    if (std::wstring_view(title) == kQtTrayWindowTitle) // a second subclass is the first again
        ::SetWindowSubclass(window, &WindowProc, kSubclassId, 0);
    return TRUE;
}

} // namespace

void WatchTrayKeyboardSelect(const std::function<void()>& onSelect)
{
    Watch().onSelect = onSelect;
    // Qt makes the window on the user-interface thread, which is this one.
    ::EnumThreadWindows(::GetCurrentThreadId(), &WatchIfTrayWindow, 0);
}
