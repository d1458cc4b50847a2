#include "platform/TrayKeyboardSelect.h"

void WatchTrayKeyboardSelect(std::function<void()> /*onSelect*/) { }
