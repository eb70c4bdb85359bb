// The saver itself, headless, on either back end through the renderer switch: the same seeds,
// the same desktop and the same fixed frame time give the same scene, so the two pictures can
// be compared pixel for pixel.
#pragma once

#include <cstdint>
#include <vector>

struct SaverRun {
    int32_t width = 1024;
    int32_t height = 768;
    uint32_t numLights = 4;   // the setting: 0..4 for one to five spots
    uint32_t colorLight = 7;  // random colours
    bool overlay = true;      // clock, date and frame rate (the caption is always drawn)
    int32_t frames = 3;
    int64_t frameMilliseconds = 400;  // long steps move the spots far between frames
};

// RGBA rows of the last frame, top first.
struct Frame {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
};

class SaverSession {
public:
    // Sets the saver up over the demo desktop on the chosen back end; ok() says whether a
    // device came out.
    SaverSession(const SaverRun& run, bool cpu);
    ~SaverSession();
    SaverSession(const SaverSession&) = delete;
    SaverSession& operator=(const SaverSession&) = delete;

    bool ok() const;
    void Tick();  // one frame: update, draw, present
    Frame Read() const;
};

// Runs `run` start to end and returns its last frame (empty when no device came out).
Frame RenderSaver(const SaverRun& run, bool cpu);

struct FrameDifference {
    int maxChannel = 0;         // largest difference of red, green or blue
    int64_t pixelsOverTwo = 0;  // pixels with a channel more than 2 apart
    int64_t litPixels = 0;      // pixels not black in the first frame
};
FrameDifference CompareFrames(const Frame& a, const Frame& b);
