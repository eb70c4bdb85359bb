// Recording fake of render/device.h: every call is appended to CallLog with its arguments, and
// the results are whatever the test scripts in RecordingDevice.
//
// Objects are named by kind and creation number since the last reset: system1, device1,
// texture1, buffer1, ... (a null handle is "none"). Entries read, for example:
//   "CreateTexture device1 256 256 1 0x0 21 1 -> texture1"   (or "-> none" when refused)
//   "LockRect texture1 0 0x2000"        "UnlockRect texture1 0"
//   "Lock buffer1 0 0 0x0"              "Unlock buffer1"
//   "SetRenderState device1 22 1"       "SetTextureStageState device1 0 18 0"
//   "Clear device1 0 0x1 0x00000000 0 0"  "SetVertexShader device1 0x102"
//   "SetStreamSource device1 0 buffer1 20"  "SetTexture device1 0 texture1"
//   "DrawPrimitive device1 4 0 2"       "Release texture1"
// Flags, vertex formats and colours are written in hex, everything else in decimal.
// A call on a released object, or a second release, is logged with the prefix "MISUSE ".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "render/device.h"

struct RecordingDeviceControl {
    // Scripted results.
    bool failCreateRenderSystem = false;
    bool failCreateDevice = false;
    bool failGetAdapterDisplayMode = false;  // the mode is left as it was
    // An adapter without hardware transform and lighting: its caps never report it, and a
    // device asked for hardware vertex processing is refused, as the real driver refuses it.
    bool withoutHardwareTnl = false;
    // Ordinals (0 = first call since the reset) of the calls that fail.
    std::set<int> failCreateTexture;
    std::set<int> failCreateVertexBuffer;
    std::set<int> failLockRect;
    std::set<int> failLock;
    RenderResult cooperativeLevel = RenderOk;
    DisplayMode displayMode{1024, 768, 60, FormatX8R8G8B8};
    std::vector<DisplayMode> modes;
    uint32_t devCaps = 0;
    Viewport viewport{0, 0, 1024, 768, 0.0f, 1.0f};
    // Bytes added to each texture row beyond width * bytes per texel.
    int32_t texturePitchPadding = 0;
    // LockRect (DISCARD or not) fills the level with this byte first, so unwritten texels show.
    uint8_t lockFill = 0xCD;
    bool fillOnLock = true;
    // Benchmarks turn the log off; the counters below still run.
    bool logging = true;

    // What the calls saw.
    int createTextureCalls = 0;
    int createVertexBufferCalls = 0;
    int lockRectCalls = 0;
    int lockCalls = 0;
    int liveObjects = 0;
    int misuses = 0;  // MISUSE entries, counted even with the log off
    uint32_t lastBehaviorFlags = 0;
    NativeWindow lastFocusWindow = 0;
    PresentParameters lastPresentParameters{};
    Material lastMaterial{};
    std::map<uint32_t, Matrix4> transforms;     // by TransformType value
    std::map<uint32_t, uint32_t> renderStates;  // by RenderStateType value
};

extern RecordingDeviceControl RecordingDevice;

// Back to a fresh fake: scripts cleared, counters and names restarted, every object freed.
// Holders that still point at objects of the fake must be cleared by the caller.
void ResetRecordingDevice();

// The memory of a texture's level 0 and its pitch, for checking fills; null for none.
uint8_t* TextureMemory(RenderTexture* texture, int32_t& pitch);
// The bytes of a vertex buffer; null for none.
const uint8_t* VertexBufferMemory(RenderVertexBuffer* buffer, uint32_t& length);
// The name the log uses for a handle ("texture3", "none").
std::string HandleName(const void* handle);
