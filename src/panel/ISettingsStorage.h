#pragma once

#include "network/PanelSettings.h"

#include <QString>

// Where the panel's settings are kept between runs. The application hands the panel the
// user's settings store, which sits above the panel; tests hand it one that fails.
class ISettingsStorage
{
public:
    virtual ~ISettingsStorage() = default;

    virtual void Load(mirelight::PanelSettings& settings) = 0;
    // Why the settings did not reach the disk (in words for the user and the log); empty when
    // they did.
    virtual QString Save(const mirelight::PanelSettings& settings) = 0;
};
