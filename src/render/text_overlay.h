// The text drawn over the lit surface: the clock and the date (bTime), the frame rate (bFps)
// and always the credit caption, in glyphs cut from the font sheet (image 2000).
#pragma once

#include <cstdint>

#include "render/renderer.h"

struct SaverRun;
struct SaverSettings;

// A run's texts, refreshed every tick by RefreshOverlayText.
struct OverlayText {
    char FpsText[16] = {};   // "Fps 60"; empty until the first refresh
    char ClockText[8] = {};  // "10 : 05", with "|" for ":" in even seconds
    char DateText[13] = {};  // "Dec 6, 2026"
    // The running second (rounded) at which FpsText was last formatted. Never reset: the
    // running time starts again at every scene setup, this does not.
    int32_t LastFpsSecond = 0;
};

extern const char CreditCaption[];
extern const char* const MonthNames[12];

// Hands the renderer the font sheet: every unlit pixel stays 0, every other takes its grey
// level as alpha and `tint` as its colour. False when the sheet cannot be had or prepared (the
// renderer is then told there is none) or the renderer made no texture of it.
bool CreateFontTexture(SaverRun& run, uint32_t tint);

// Lays out text at (x, y), fractions of a viewport of width x height pixels, with glyphs
// scaled by scaleX and scaleY times the viewport height / 29 (the height by 39 texels' worth).
// Only the first 64 characters are laid out; a code outside the glyph table is a space.
void LayOutTextLine(float x, float y, float scaleX, float scaleY, const char* text, int32_t width,
                    int32_t height, OverlayLine& line);

// Once a tick, after the frame clock: the frame rate text when the rounded running second
// changes, the clock and the date from the local time every time.
void RefreshOverlayText(OverlayText& text, float elapsedSeconds, float framesPerSecond);

// Once a frame: the lines the settings ask for, laid out for a viewport of width x height.
void LayOutOverlay(const OverlayText& text, const SaverSettings& settings, int32_t width,
                   int32_t height, OverlayFrame& overlay);
