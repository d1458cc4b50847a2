#pragma once

#include "app/CSettingsStore.h"
#include "panel/ISettingsStorage.h"

// The panel's settings in the user's settings store. Each load and each save is a store
// batch of its own, so a load reads the stored values as they are then.
class CUserSettings final : public ISettingsStorage
{
public:
    void Load(mirelight::PanelSettings& settings) override { CSettingsStore().Load(settings); }
    void Save(const mirelight::PanelSettings& settings) override
    {
        CSettingsStore().Save(settings);
    }
};
