// The Linux drawing back ends (render/gl: OpenGL through EGL; render/cpu: the processor), each
// one table of the render/renderer.h operations with the same meanings. render/switch picks one
// at start and defines renderer.h's names over it; a Renderer made by one table is only ever
// handed back to that table.
#pragma once

#include "render/renderer.h"

struct RendererBackEnd {
    Renderer* (*open)();
    bool (*createDevice)(Renderer* renderer, NativeWindow window, int32_t width, int32_t height,
                         const RendererOptions& options);
    bool (*recreateDevice)(Renderer* renderer);
    void (*releaseDevice)(Renderer* renderer);
    bool (*hasDevice)(const Renderer* renderer);
    void (*close)(Renderer* renderer);
    bool (*createSpotResources)(Renderer* renderer, int32_t spot);
    bool (*loadFontSheet)(Renderer* renderer, const uint32_t* sheet);
    void (*releaseSceneResources)(Renderer* renderer);
    void (*getFrameSize)(Renderer* renderer, int32_t& width, int32_t& height);
    void (*placeSpot)(Renderer* renderer, int32_t spot, const SpotPlacement& place);
    bool (*lockSpotTexels)(Renderer* renderer, int32_t spot, uint8_t*& texels, int32_t& pitch);
    void (*unlockSpotTexels)(Renderer* renderer, int32_t spot);
    void (*presentFrame)(Renderer* renderer, const OverlayFrame& overlay);
    bool (*resize)(Renderer* renderer, int32_t width, int32_t height);
    bool (*readFrame)(Renderer* renderer, uint8_t* pixels, int32_t pitch);
};

// Where a Linux renderer shows its frames: the native display the hosts's windows belong to
// (NativeWindow values are its windows: X11 Windows; for OpenGL on Wayland wl_surface*, for the
// processor the host's own names), or none for offscreen targets only. It must outlive
// every renderer opened while it is set.
enum class NativeDisplayKind { Offscreen, X11, Wayland };
struct NativeDisplay {
    NativeDisplayKind kind = NativeDisplayKind::Offscreen;
    void* display = nullptr;  // Display* (X11) or wl_display* (Wayland)
};

namespace gl {
extern const RendererBackEnd BackEnd;
// Read when a renderer is opened.
void SetNativeDisplay(const NativeDisplay& display);
}  // namespace gl

namespace cpu {
extern const RendererBackEnd BackEnd;
}  // namespace cpu
