#pragma once

#include "link/ButtonCount.h"

#include <array>
#include <cstdint>
#include <string>

namespace mirelight {

// The values that survive between runs. The panel owns one; the dongle operations read the
// port and the effects and set the joined flag. Filled by the settings store before use.
struct PanelSettings
{
    std::array<std::string, kButtonCount> m_strButtonText; // UTF-8 captions
    std::array<std::int32_t, kButtonCount> m_iEffect {}; // 0 Off, 1 On, anything else Toggle
    std::int32_t m_bJoined = 0;
    std::int32_t m_iLayout = 0;
    bool m_IsInvisibleAtStartup = false;
    std::int32_t m_iComChan = 0;
};

} // namespace mirelight
