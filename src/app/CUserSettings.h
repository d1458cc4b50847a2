#pragma once

#include "app/CSettingsStore.h"
#include "panel/ISettingsStorage.h"

// The panel's settings in the user's settings store. Each load and each save is a store
// batch of its own, so a load reads the stored values as they are then, and a save that works
// after one that failed says so (a store's failure stays with it for good).
class CUserSettings final : public ISettingsStorage
{
public:
    void Load(mirelight::PanelSettings& settings) override { CSettingsStore().Load(settings); }
    QString Save(const mirelight::PanelSettings& settings) override
    {
        return CSettingsStore().Save(settings);
    }
};
