// LoadSettings and SaveSettings over the in-memory store.
#include <gtest/gtest.h>

#include "call_log.h"
#include "fake_store.h"
#include "settings/settings.h"

namespace {

const std::string KeyPath = "Control Panel\\Desktop\\3D Tavrel Screensaver";

const char* const DwordNames[] = {"[bTnL]",        "[bTime]",      "[bFps]",       "[Prominent]",
                                  "[Light Speed]", "[Num Lights]", "[Color Light]"};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakeStore();
        CallLog.clear();
    }
};

TEST_F(SettingsTest, WithNoKeyTheLoadCreatesItAndKeepsTheDefaults)
{
    SaverSettings settings;
    LoadSettings(settings);

    EXPECT_EQ(settings.bTnL, 0u);
    EXPECT_EQ(settings.bTime, 1u);
    EXPECT_EQ(settings.bFps, 0u);
    EXPECT_EQ(settings.Prominent, 1u);
    EXPECT_EQ(settings.LightSpeed, 50u);
    EXPECT_EQ(settings.NumLights, 2u);
    EXPECT_EQ(settings.ColorLight, 6u);
    ASSERT_EQ(FakeStore.keys.count(KeyPath), 1u);
    EXPECT_TRUE(FakeStore.keys[KeyPath].empty());
    EXPECT_EQ(FakeStore.openKeys, 0);

    // Read access, the seven values in their order with four-byte destinations, one close.
    std::vector<std::string> expected = {"OpenStoreKey " + KeyPath + " 0x20019"};
    for (const char* name : DwordNames)
        expected.push_back("QueryStoreValue " + std::string(name) + " 4");
    expected.push_back("CloseStoreKey");
    EXPECT_EQ(CallLog, expected);
}

TEST_F(SettingsTest, APartialStoreChangesExactlyTheFieldsItHolds)
{
    PutFakeDword(KeyPath, "[bFps]", 1);
    SaverSettings settings;
    LoadSettings(settings);
    SaverSettings expected;
    expected.bFps = 1;
    EXPECT_EQ(settings, expected);

    PutFakeDword(KeyPath, "[Light Speed]", 100);
    PutFakeDword(KeyPath, "[Color Light]", 7);
    LoadSettings(settings);
    expected.LightSpeed = 100;
    expected.ColorLight = 7;
    EXPECT_EQ(settings, expected);
}

TEST_F(SettingsTest, SaveWritesTheEightValuesInOrder)
{
    SaverSettings settings;
    settings.bTnL = 1;
    settings.LightSpeed = 0x01020304;
    SaveSettings(settings);

    std::vector<std::string> expected = {"OpenStoreKey " + KeyPath + " 0x20006"};
    for (const char* name : DwordNames)
        expected.push_back("SetStoreValue " + std::string(name) + " 4 4");
    expected.push_back("SetStoreValue [Version] 1 3");
    expected.push_back("CloseStoreKey");
    EXPECT_EQ(CallLog, expected);
    EXPECT_EQ(FakeStore.openKeys, 0);

    ASSERT_EQ(FakeStore.keys[KeyPath].size(), 8u);
    const FakeStoreValue* speed = FindFakeValue(KeyPath, "[Light Speed]");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->type, 4u);
    EXPECT_EQ(speed->data, (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01}));  // little-endian
    const FakeStoreValue* tnl = FindFakeValue(KeyPath, "[bTnL]");
    ASSERT_NE(tnl, nullptr);
    EXPECT_EQ(tnl->data, (std::vector<uint8_t>{1, 0, 0, 0}));
    const FakeStoreValue* colour = FindFakeValue(KeyPath, "[Color Light]");
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->data, (std::vector<uint8_t>{6, 0, 0, 0}));

    // "1.0" as REG_SZ of three bytes: no terminating zero.
    const FakeStoreValue* version = FindFakeValue(KeyPath, "[Version]");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->type, 1u);
    EXPECT_EQ(version->data, (std::vector<uint8_t>{'1', '.', '0'}));
}

TEST_F(SettingsTest, ALoadAfterASaveReproducesTheRecordOutOfRangeValuesIncluded)
{
    SaverSettings saved;
    saved.bTnL = 1;
    saved.bTime = 0;
    saved.bFps = 1;
    saved.Prominent = 0xDEADBEEF;  // stored-only: must survive unchanged
    saved.LightSpeed = 101;
    saved.NumLights = 0xFFFFFFFF;
    saved.ColorLight = 12;
    SaveSettings(saved);

    SaverSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded, saved);

    // And a second cycle stores exactly what the first one did.
    const auto firstStore = FakeStore.keys[KeyPath];
    SaveSettings(loaded);
    const auto& secondStore = FakeStore.keys[KeyPath];
    for (const auto& [name, value] : firstStore) {
        ASSERT_EQ(secondStore.count(name), 1u) << name;
        EXPECT_EQ(secondStore.at(name).data, value.data) << name;
        EXPECT_EQ(secondStore.at(name).type, value.type) << name;
    }
}

TEST_F(SettingsTest, OnlyFourByteValuesAreTakenWhateverTheirType)
{
    // Too short, too long, a text: none can be a 32-bit number, and no field may change,
    // neither the one read nor its neighbours.
    FakeStore.keys[KeyPath]["[bTnL]"] = {3, {0x07, 0x07}};
    FakeStore.keys[KeyPath]["[bTime]"] = {11, {1, 2, 3, 4, 5, 6, 7, 8}};
    FakeStore.keys[KeyPath]["[bFps]"] = {1, {'1', 0}};
    FakeStore.keys[KeyPath]["[Prominent]"] = {4, {}};
    // The stored type is not checked: four bytes of binary data are a number.
    FakeStore.keys[KeyPath]["[Num Lights]"] = {3, {4, 0, 0, 0}};

    SaverSettings settings;
    LoadSettings(settings);
    SaverSettings expected;
    expected.NumLights = 4;
    EXPECT_EQ(settings, expected);
}

TEST_F(SettingsTest, AnUnreachableStoreChangesNothing)
{
    PutFakeDword(KeyPath, "[bFps]", 1);
    FakeStore.failOpen = true;

    SaverSettings settings;
    settings.LightSpeed = 77;
    LoadSettings(settings);
    SaverSettings expected;
    expected.LightSpeed = 77;
    EXPECT_EQ(settings, expected);

    SaveSettings(settings);
    EXPECT_EQ(FakeStore.keys[KeyPath].size(), 1u);
    EXPECT_EQ(FindFakeValue(KeyPath, "[bFps]")->data, (std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST_F(SettingsTest, EveryLoadReadsTheStoreAgain)
{
    SaverSettings settings;
    PutFakeDword(KeyPath, "[Num Lights]", 0);
    LoadSettings(settings);
    EXPECT_EQ(settings.NumLights, 0u);

    PutFakeDword(KeyPath, "[Num Lights]", 4);
    LoadSettings(settings);
    EXPECT_EQ(settings.NumLights, 4u);
    EXPECT_EQ(CallsStartingWith("OpenStoreKey").size(), 2u);
}

TEST(LightColorTest, IndicesOutsideTheTableGiveCyan)
{
    const uint32_t expected[8] = {0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                  0xFFFFFF00, 0xFFFF00FF, 0xFF00FFFF, 0xFF00FFFF};
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(LightColorFor(i), expected[i]) << i;
    EXPECT_EQ(LightColorFor(8), 0xFF00FFFFu);
    EXPECT_EQ(LightColorFor(0x80000000u), 0xFF00FFFFu);
    EXPECT_EQ(LightColorFor(0xFFFFFFFFu), 0xFF00FFFFu);
}

TEST(LightColorTest, NumLightsOutsideZeroToThreeMeansFiveSpots)
{
    EXPECT_EQ(ActiveSpotCount(0), 1);
    EXPECT_EQ(ActiveSpotCount(3), 4);
    EXPECT_EQ(ActiveSpotCount(4), 5);
    EXPECT_EQ(ActiveSpotCount(5), 5);
    EXPECT_EQ(ActiveSpotCount(0xFFFFFFFFu), 5);
}

}  // namespace
