#pragma once

#include "network/PanelSettings.h"

// Where the panel's settings are kept between runs. The application hands the panel the
// user's settings store, which sits above the panel.
class ISettingsStorage
{
public:
    virtual ~ISettingsStorage() = default;

    virtual void Load(mirelight::PanelSettings& settings) = 0;
    virtual void Save(const mirelight::PanelSettings& settings) = 0;
};
