#pragma once

#include <functional>

// Calls onSelect when the user chooses the program's notification-area icon from the keyboard,
// which Qt reports as it reports a single click. Windows: NIN_KEYSELECT, and NIN_SELECT that
// no release of the left button came before (an icon chosen with the mouse, opened with Enter).
// To be called whenever the icon has been put up, as its window may be new; the last call's
// onSelect is the one called. Nothing where the tray tells no keyboard from a click (Linux).
void WatchTrayKeyboardSelect(const std::function<void()>& onSelect);
