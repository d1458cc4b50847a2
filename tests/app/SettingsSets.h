#pragma once

#include "network/PanelSettings.h"

#include <string>

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

inline mirelight::PanelSettings First()
{
    return Make("Kitchen", 1);
}

inline mirelight::PanelSettings Second()
{
    return Make("Garden", 4);
}

inline bool Same(const mirelight::PanelSettings& a, const mirelight::PanelSettings& b)
{
    return a.m_strButtonText == b.m_strButtonText && a.m_iEffect == b.m_iEffect
        && a.m_bJoined == b.m_bJoined && a.m_iLayout == b.m_iLayout
        && a.m_IsInvisibleAtStartup == b.m_IsInvisibleAtStartup && a.m_iComChan == b.m_iComChan;
}

} // namespace SettingsSets
