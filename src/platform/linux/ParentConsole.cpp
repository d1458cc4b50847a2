#include "platform/ParentConsole.h"

void UseParentConsole() { }
