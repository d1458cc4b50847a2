#pragma once

#include <functional>

class QMenu;
class QWidget;

// Puts the panel's commands into the window's own system menu where the platform gives the
// program one (Windows): commands' entries are appended in their order, each with its text and
// its command value (the action's data), separators as separators, and choosing one passes its
// value to onCommand. False, and nothing done, where the window manager owns the window menu
// (X11, Wayland): the caller offers the commands some other way.
bool AppendToSystemMenu(QWidget& window, const QMenu& commands,
                        const std::function<void(unsigned command)>& onCommand);
