// Shared by the processor back end's files: the records behind the opaque handles.
#pragma once

#include <cstdint>

#include "render/cpu/cpu_device.h"
#include "render/cpu/cpu_spans.h"
#include "support/vecmath.h"

namespace cpu {

struct Device;

struct System {
    int32_t references;  // the caller's, plus one per live device
};

struct Texture {
    Device* device;  // null once the device is gone
    Texture* previous;
    Texture* next;
    uint32_t format;
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerTexel;
    uint32_t pitch;   // bytes from one row of memory to the next
    uint8_t* memory;  // what LockRect hands out
    // What is sampled: 0xAARRGGBB words, width + 1 a row, the last a copy of column 0 so that a
    // bilinear pair never has to wrap, and room for 8 more read past it (see Columns). For
    // A8R8G8B8 these are the rows of memory itself.
    uint32_t* texels;
    uint32_t texelPitch;  // words
    uint32_t* converted;  // owned when the texels are not memory
    bool locked;
    bool readOnlyLock;
    int32_t lockRect[4];  // left, top, right, bottom of the open lock
};

struct VertexBuffer {
    Device* device;
    VertexBuffer* previous;
    VertexBuffer* next;
    uint32_t length;
    uint8_t* memory;
    uint32_t lockCount;
};

constexpr uint32_t MaxStages = 8;
// D3DCULL_CW and D3DCULL_CCW (none is device.h's CullNone).
constexpr uint32_t CullClockwise = 2;
constexpr uint32_t CullCounterClockwise = 3;
// Rectangles kept per list; more are merged into fewer.
constexpr uint32_t MaxRects = 24;

struct RectList {
    PixelRect rects[MaxRects];
    uint32_t count;
};

// Adds r (already inside the back buffer, not empty), merging it with a rectangle it overlaps
// when the two together cover little more than they do apart, and everything into one when the
// list is full.
void AddRect(RectList& list, const PixelRect& r);

struct Device {
    System* system;
    PresentParameters params;
    int32_t width;
    int32_t height;
    bool hasAlpha;  // A8R8G8B8: alpha is kept, and read back
    bool hasDepth;  // asked for; there is none, so depth testing is refused

    uint32_t* pixels;     // the back buffer, width words a row
    bool pixelsBorrowed;  // pixels are the presenter's frame memory, not ours to free
    // Per draw: where the pixel columns sample (see Columns), and two texture rows resampled
    // across; each as many as the back buffer is wide.
    int32_t* columnIndex;
    uint16_t* columnWeight;  // four copies each
    int32_t* columnOffset;
    int32_t* columnGroupBase;
    uint32_t* resampledRows[2];

    Matrix4 world;
    Matrix4 view;
    Matrix4 projection;
    Material material;
    uint32_t zEnable;
    uint32_t srcBlend;
    uint32_t destBlend;
    uint32_t cullMode;
    uint32_t alphaBlendEnable;
    uint32_t lighting;
    uint32_t ambient;
    uint32_t magFilter[MaxStages];
    uint32_t minFilter[MaxStages];
    uint32_t mipFilter[MaxStages];
    Texture* textures[MaxStages];
    VertexBuffer* stream;
    uint32_t streamStride;
    uint32_t vertexFormat;
    bool inScene;

    // Everything outside `drawn` is of `plainColor` (when plainKnown): a clear of that colour
    // then only has to clear `drawn`. `changed` is what the next Present must show; `presented`
    // what the last one did.
    bool plainKnown;
    uint32_t plainColor;
    RectList drawn;
    RectList changed;
    RectList presented;
    bool drawnSincePresent;

    Presenter presenter;
    bool hasPresenter;

    Texture* textureList;
    VertexBuffer* bufferList;
};

inline Device* FromHandle(RenderDevice* device)
{
    return reinterpret_cast<Device*>(device);
}
inline System* FromHandle(RenderSystem* system)
{
    return reinterpret_cast<System*>(system);
}
inline Texture* FromHandle(RenderTexture* texture)
{
    return reinterpret_cast<Texture*>(texture);
}
inline VertexBuffer* FromHandle(RenderVertexBuffer* buffer)
{
    return reinterpret_cast<VertexBuffer*>(buffer);
}
inline RenderDevice* ToHandle(Device* device)
{
    return reinterpret_cast<RenderDevice*>(device);
}

// Draw states of a new device, as Direct3D 8 sets them.
void SetDefaultStates(Device* device);
// Allocates the back buffer and the column tables for width x height; false (and nothing
// changed) when there is no memory for them.
bool AllocateBackBuffer(Device* device, int32_t width, int32_t height);
void FreeBackBuffer(Device* device);
// Cuts every resource still alive loose from the device; the handles stay valid until released.
void DetachDeviceResources(Device* device);
// Fills r of the back buffer with one colour.
void FillRect(Device* device, const PixelRect& r, uint32_t color);

}  // namespace cpu
