#include "fake_renderer.h"

#include <algorithm>
#include <string>

#include "call_log.h"

FakeRendererControl FakeRenderer;

struct Renderer {
    bool locked[LightSpotCount];
};

namespace {

Renderer TheRenderer;

// False, counted as misuse, for anything but the open renderer (with its device if asked).
bool Usable(const Renderer* renderer, bool needsDevice = false, int32_t spot = 0)
{
    const bool ok = renderer == &TheRenderer && FakeRenderer.rendererOpen &&
                    (!needsDevice || FakeRenderer.hasDevice) && spot >= 0 && spot < LightSpotCount;
    FakeRenderer.misuses += ok ? 0 : 1;
    return ok;
}

bool Logged(const std::string& call, bool made, const char* what)
{
    CallLog.push_back(call + " -> " + (made ? what : "none"));
    return made;
}

void DropScene()
{
    std::fill(std::begin(FakeRenderer.spotResources), std::end(FakeRenderer.spotResources), false);
    FakeRenderer.fontLoaded = false;
}

}  // namespace

void ResetFakeRenderer()
{
    FakeRenderer = FakeRendererControl{};
    TheRenderer = Renderer{};
}

Renderer* OpenRenderer()
{
    FakeRenderer.misuses += FakeRenderer.rendererOpen ? 1 : 0;  // the open one would be lost
    FakeRenderer.rendererOpen = Logged("OpenRenderer", !FakeRenderer.failOpen, "renderer");
    return FakeRenderer.rendererOpen ? &TheRenderer : nullptr;
}

bool CreateRendererDevice(Renderer* renderer, NativeWindow window, int32_t width, int32_t height,
                          const RendererOptions& options)
{
    if (!Usable(renderer)) return false;
    FakeRenderer.window = window;
    FakeRenderer.width = width;
    FakeRenderer.height = height;
    FakeRenderer.options = options;
    const bool made =
        !FakeRenderer.failCreateDevice &&
        (!options.hardwareVertexProcessing || FakeRenderer.display.hardwareTransformLighting);
    const std::string call = "CreateRendererDevice " + std::to_string(window) + " " +
                             std::to_string(width) + "x" + std::to_string(height);
    return FakeRenderer.hasDevice = Logged(call, made, "device");
}

bool RecreateRendererDevice(Renderer* renderer)
{
    if (!Usable(renderer)) return false;
    return FakeRenderer.hasDevice =
               Logged("RecreateRendererDevice", !FakeRenderer.failRecreate, "device");
}

void ReleaseRendererDevice(Renderer* renderer)
{
    if (!Usable(renderer)) return;
    DropScene();
    FakeRenderer.hasDevice = false;
    CallLog.emplace_back("ReleaseRendererDevice");
}

bool RendererHasDevice(const Renderer* renderer)
{
    return renderer == &TheRenderer && FakeRenderer.rendererOpen && FakeRenderer.hasDevice;
}

void CloseRenderer(Renderer*& renderer)
{
    if (renderer == nullptr || !Usable(renderer)) return;
    DropScene();
    FakeRenderer.hasDevice = FakeRenderer.rendererOpen = false;
    renderer = nullptr;
    CallLog.emplace_back("CloseRenderer");
}

bool CreateSpotResources(Renderer* renderer, int32_t spot)
{
    if (!Usable(renderer, true, spot) || FakeRenderer.failSpots.count(spot) != 0) return false;
    FakeRenderer.pitch = SpotSize * 4 + FakeRenderer.texelPitchPadding;
    const auto rowBytes = static_cast<size_t>(std::max(SpotSize * 4, FakeRenderer.pitch));
    FakeRenderer.texels[spot].assign(rowBytes * SpotSize, LockFill);
    return FakeRenderer.spotResources[spot] = true;
}

void ApplySceneStates(Renderer* renderer)
{
    Usable(renderer, true);
}

bool LoadFontSheet(Renderer* renderer, const uint32_t* sheet)
{
    if (!Usable(renderer, true)) return false;
    const uint32_t* end = sheet != nullptr ? sheet + FontSheetSide * FontSheetSide : nullptr;
    FakeRenderer.fontSheet.assign(sheet, end);
    return FakeRenderer.fontLoaded = Logged("LoadFontSheet", sheet != nullptr, "font");
}

void ReleaseSceneResources(Renderer* renderer)
{
    if (!Usable(renderer)) return;
    DropScene();
    CallLog.emplace_back("ReleaseSceneResources");
}

void GetFrameSize(Renderer* renderer, int32_t& width, int32_t& height)
{
    const bool device = Usable(renderer, true);
    width = device ? FakeRenderer.frameWidth : 0;
    height = device ? FakeRenderer.frameHeight : 0;
}

void PlaceSpot(Renderer* renderer, int32_t spot, const SpotPlacement& place, float spotExtent)
{
    if (!Usable(renderer, true, spot)) return;
    FakeRenderer.placed[spot] = true;
    FakeRenderer.placements[spot] = place;
    FakeRenderer.spotExtent = spotExtent;
}

bool LockSpotTexels(Renderer* renderer, int32_t spot, uint8_t*& texels, int32_t& pitch)
{
    texels = nullptr;
    pitch = 0;
    if (!Usable(renderer, true, spot)) return false;
    FakeRenderer.misuses += TheRenderer.locked[spot] ? 1 : 0;
    if (!FakeRenderer.spotResources[spot] || FakeRenderer.failLocks.count(spot) != 0) return false;
    TheRenderer.locked[spot] = true;
    ++FakeRenderer.texelLocks[spot];
    texels = FakeRenderer.texels[spot].data();
    pitch = FakeRenderer.pitch;
    return true;
}

void UnlockSpotTexels(Renderer* renderer, int32_t spot)
{
    if (!Usable(renderer, true, spot)) return;
    FakeRenderer.misuses += TheRenderer.locked[spot] ? 0 : 1;
    TheRenderer.locked[spot] = false;
}

void PresentFrame(Renderer* renderer, const OverlayFrame& overlay)
{
    if (!Usable(renderer, true)) return;
    FakeRenderer.misuses += static_cast<int>(
        std::count(std::begin(TheRenderer.locked), std::end(TheRenderer.locked), true));
    ++FakeRenderer.framesPresented;
    FakeRenderer.lastOverlay = overlay;
    CallLog.emplace_back("PresentFrame");
}

bool ResizeRenderer(Renderer* renderer, int32_t width, int32_t height)
{
    if (!Usable(renderer, true) || FakeRenderer.failResize) return false;
    FakeRenderer.frameWidth = width;
    FakeRenderer.frameHeight = height;
    return true;
}

bool ReadRendererFrame(Renderer* renderer, uint8_t*, int32_t)
{
    Usable(renderer, true);
    return false;
}

bool DescribeDisplay(DisplayDescription& display)
{
    if (!FakeRenderer.noDrawingSystem) display = FakeRenderer.display;
    return !FakeRenderer.noDrawingSystem;
}
