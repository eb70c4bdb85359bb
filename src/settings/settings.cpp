#include "settings/settings.h"

#include "settings/settings_store.h"

namespace {

struct SettingsValue {
    const char* name;
    uint32_t SaverSettings::*field;
};

// The order in which the values are read and written.
constexpr SettingsValue SettingsValues[] = {
    {"[bTnL]", &SaverSettings::bTnL},
    {"[bTime]", &SaverSettings::bTime},
    {"[bFps]", &SaverSettings::bFps},
    {"[Prominent]", &SaverSettings::Prominent},
    {"[Light Speed]", &SaverSettings::LightSpeed},
    {"[Num Lights]", &SaverSettings::NumLights},
    {"[Color Light]", &SaverSettings::ColorLight},
};

constexpr uint8_t VersionText[3] = {'1', '.', '0'};

}  // namespace

void LoadSettings(SaverSettings& settings)
{
    const StoreKey key = OpenStoreKey(SettingsKeyPath, StoreAccessRead);
    for (const SettingsValue& value : SettingsValues) {
        // The type is not checked, but a value of any other length than four bytes is not a
        // 32-bit number and leaves the field alone.
        uint8_t bytes[4] = {};
        uint32_t type = 0;
        uint32_t length = 0;
        if (QueryStoreValue(key, value.name, type, bytes, sizeof bytes, length) && length == 4) {
            settings.*value.field = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                                    uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
        }
    }
    CloseStoreKey(key);
}

void SaveSettings(const SaverSettings& settings)
{
    const StoreKey key = OpenStoreKey(SettingsKeyPath, StoreAccessWrite);
    for (const SettingsValue& value : SettingsValues) {
        const uint32_t number = settings.*value.field;
        const uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                                  static_cast<uint8_t>(number >> 16),
                                  static_cast<uint8_t>(number >> 24)};
        SetStoreValue(key, value.name, StoreTypeDword, bytes, sizeof bytes);
    }
    // Three bytes, no terminating zero: the length the saver has always written.
    SetStoreValue(key, "[Version]", StoreTypeString, VersionText, sizeof VersionText);
    CloseStoreKey(key);
}
