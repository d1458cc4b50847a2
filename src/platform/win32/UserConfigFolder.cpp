#include "platform/UserConfigFolder.h"

namespace mirelight {

std::string UserConfigFolder()
{
    return {}; // the settings are in the registry, and COM ports need no folder
}

} // namespace mirelight
