#pragma once

#include "network/PanelSettings.h"

#include <string>
#include <tuple>

// Two complete sets of settings that differ in every value.
namespace SettingsSets {

inline mirelight::PanelSettings Make(const std::string& tag, int base)
{
    mirelight::PanelSettings settings;
    for (int i = 0; i < mirelight::kButtonCount; ++i) {
        settings.m_strButtonText[i] = tag + " light " + std::to_string(i + 1);
        settings.m_iEffect[i] = (base + i) % 3;
    }
    settings.m_bJoined = base % 2;
    settings.m_iLayout = base % 8;
    settings.m_IsInvisibleAtStartup = base % 2 == 0;
    settings.m_iComChan = 10 + base;
    return settings;
}

inline const mirelight::PanelSettings kFirst = Make("Kitchen", 1);
inline const mirelight::PanelSettings kSecond = Make("Garden", 4);

inline auto Fields(const mirelight::PanelSettings& s)
{
    return std::tie(s.m_strButtonText, s.m_iEffect, s.m_bJoined, s.m_iLayout,
                    s.m_IsInvisibleAtStartup, s.m_iComChan);
}

} // namespace SettingsSets
