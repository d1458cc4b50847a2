#include "platform/SystemMenu.h"

bool AppendToSystemMenu(QWidget& /*window*/, const QMenu& /*commands*/,
                        const std::function<void(unsigned command)>& /*onCommand*/)
{
    return false; // the window manager's menu cannot take the program's commands
}
