// What one run of the saver holds, from its start to its close: the session starts it, hands it
// to everything that works on it and ends it.
#pragma once

#include <cstdint>

#include "render/frame_clock.h"
#include "render/renderer.h"
#include "render/scene.h"
#include "render/text_overlay.h"
#include "settings/settings.h"
#include "support/ranmar.h"
#include "surface/height_field.h"

struct SaverRun {
    SaverSettings Settings;        // what this run goes by: as stored, with its overrides
    SaverSettings StoredSettings;  // as loaded: what the close writes back
    Ranmar RandomGenerator;
    SurfaceFields surface;
    SceneState scene;
    FrameClock Clock;
    OverlayText text;
    OverlayFrame overlay;  // laid out anew every frame; kept here so that drawing allocates nothing
    Renderer* renderer = nullptr;  // null until the window's first showing, and again once closed
    uintptr_t moduleHandle = 0;    // where the font sheet is loaded from
};
