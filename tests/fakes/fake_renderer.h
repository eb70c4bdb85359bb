// Fake of render/renderer.h for the core's unit tests: one renderer at a time, whose results
// the test scripts in FakeRenderer and whose state it reads there afterwards.
//
// CallLog gets the calls whose order matters: "OpenRenderer -> renderer" (or "-> none"),
// "CreateRendererDevice 77 1024x768 -> device", "RecreateRendererDevice -> none",
// "ReleaseRendererDevice", "ReleaseSceneResources", "CloseRenderer", "LoadFontSheet -> font",
// "PresentFrame".
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "render/renderer.h"

struct FakeRendererControl {
    // Scripted results.
    bool failOpen = false;
    bool failCreateDevice = false;
    bool failRecreate = false;
    bool failResize = false;
    bool noDrawingSystem = false;   // DescribeDisplay finds none
    std::set<int32_t> failSpots;    // CreateSpotResources refuses these
    std::set<int32_t> failLocks;    // LockSpotTexels refuses these
    int32_t texelPitchPadding = 0;  // bytes beyond 1024 a row (may be negative)
    int32_t frameWidth = 1024;
    int32_t frameHeight = 768;
    // A device asked for hardware vertex processing on a display without it is refused, as
    // the drivers do.
    DisplayDescription display{1024, 768, 32, true};

    // What the calls left.
    bool rendererOpen = false;
    bool hasDevice = false;
    NativeWindow window = 0;
    int32_t width = 0;
    int32_t height = 0;
    RendererOptions options;
    bool spotResources[LightSpotCount] = {};
    bool placed[LightSpotCount] = {};
    SpotPlacement placements[LightSpotCount] = {};
    float spotExtent = 0.0f;
    int32_t pitch = 0;
    std::vector<uint8_t> texels[LightSpotCount];  // 256 rows, LockFill where never written
    int texelLocks[LightSpotCount] = {};          // successful ones
    bool fontLoaded = false;
    std::vector<uint32_t> fontSheet;  // the sheet handed over, or empty for none
    int framesPresented = 0;
    OverlayFrame lastOverlay{};
    // Calls on no renderer or one without a device, a lock of a locked spot, an unlock of an
    // unlocked one, a frame presented with a spot locked.
    int misuses = 0;
};

extern FakeRendererControl FakeRenderer;

constexpr uint8_t LockFill = 0xCD;

void ResetFakeRenderer();
