#include "platform/TrayKeyboardSelect.h"

void WatchTrayKeyboardSelect(const std::function<void()>& /*onSelect*/) { }
