// The saver's persistent settings: a record loaded from and stored to the per-user settings
// store under the key "Control Panel\Desktop\3D Tavrel Screensaver".
#pragma once

#include <cstdint>

// Field names are the store's value names.
struct SaverSettings {
    uint32_t bTnL = 0;         // hardware vertex processing
    uint32_t bTime = 1;        // draw the clock and the date
    uint32_t bFps = 0;         // draw the frame rate
    uint32_t Prominent = 1;    // kept in the store, read by nothing
    uint32_t LightSpeed = 50;  // 0..100 as the dialog writes it
    uint32_t NumLights = 2;    // 0..4 for one to five spots
    uint32_t ColorLight = 6;   // index into LightColorTable; 7 is "Random"

    bool operator==(const SaverSettings&) const = default;
};

// The settings key below the current user's root; its values are named "[bTnL]", "[bTime]",
// "[bFps]", "[Prominent]", "[Light Speed]", "[Num Lights]", "[Color Light]" and "[Version]".
inline constexpr const char* SettingsKeyPath = "Control Panel\\Desktop\\3D Tavrel Screensaver";

// ARGB masks: white, red, green, blue, yellow, purple, cyan, and cyan again for a random pick
// that rounds up to 7.
inline constexpr uint32_t LightColorTable[8] = {
    0xFFFFFFFFu, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu,
    0xFFFFFF00u, 0xFFFF00FFu, 0xFF00FFFFu, 0xFF00FFFFu,
};
inline constexpr uint32_t ColorLightRandom = 7;
inline constexpr uint32_t ColorLightDefault = 6;

// The colour of a stored ColorLight index; an index the table does not have means the default.
inline uint32_t LightColorFor(uint32_t colorLight)
{
    return LightColorTable[colorLight < 8 ? colorLight : ColorLightDefault];
}

// Spots lit for a stored NumLights: 0..3 give one to four, anything else five.
inline int32_t ActiveSpotCount(uint32_t numLights)
{
    return numLights <= 3 ? static_cast<int32_t>(numLights) + 1 : 5;
}

// The light speed the frame loop goes by: a stored value outside 0..100 (a hand-edited -1 is
// read as 0xFFFFFFFF) counts as the nearer end of that range.
inline uint32_t LightSpeedInRange(uint32_t lightSpeed)
{
    const auto speed = static_cast<int32_t>(lightSpeed);
    return speed < 0 ? 0 : speed > 100 ? 100 : lightSpeed;
}

// Overwrites each field that has a four-byte value in the store; the others keep what they
// hold. Nothing is reported: a store that cannot be reached leaves the record as it was.
void LoadSettings(SaverSettings& settings);
// Writes all seven fields as 32-bit values and "[Version]" as the three bytes "1.0".
void SaveSettings(const SaverSettings& settings);
