// Saves two different sets of settings in turn, as fast as it can, until it is killed: the
// settings tests kill it at random moments and look at what is left on disk.
#include "SettingsSets.h"
#include "app/CSettingsStore.h"

#include <cstdio>

int main()
{
    for (long i = 0;; ++i) {
        CSettingsStore().Save(i % 2 ? SettingsSets::kFirst : SettingsSets::kSecond);
        if (i == 0) {
            std::puts("saved");
            std::fflush(stdout);
        }
    }
}
