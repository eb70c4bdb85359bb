#include "render/switch/render_switch.h"

#include "render/cpu/x11/x11_presenter.h"

namespace {

const RendererBackEnd* Chosen = &gl::BackEnd;

}  // namespace

void UseRendererBackEnd(RendererBackEndKind kind)
{
    Chosen = kind == RendererBackEndKind::Cpu ? &cpu::BackEnd : &gl::BackEnd;
}

void SetRendererNativeDisplay(const NativeDisplay& display)
{
    gl::SetNativeDisplay(display);
    UseX11Presenters(display.kind == NativeDisplayKind::X11 ? static_cast<Display*>(display.display)
                                                            : nullptr);
}

Renderer* OpenRenderer()
{
    return Chosen->open();
}

bool CreateRendererDevice(Renderer* renderer, NativeWindow window, int32_t width, int32_t height,
                          const RendererOptions& options)
{
    return renderer != nullptr && Chosen->createDevice(renderer, window, width, height, options);
}

bool RecreateRendererDevice(Renderer* renderer)
{
    return renderer != nullptr && Chosen->recreateDevice(renderer);
}

void ReleaseRendererDevice(Renderer* renderer)
{
    if (renderer != nullptr) Chosen->releaseDevice(renderer);
}

bool RendererHasDevice(const Renderer* renderer)
{
    return renderer != nullptr && Chosen->hasDevice(renderer);
}

void CloseRenderer(Renderer*& renderer)
{
    if (renderer == nullptr) return;
    Chosen->close(renderer);
    renderer = nullptr;
}

bool CreateSpotResources(Renderer* renderer, int32_t spot)
{
    return renderer != nullptr && Chosen->createSpotResources(renderer, spot);
}

// Neither back end draws through a camera.
void ApplySceneStates(Renderer* /*renderer*/) {}

bool LoadFontSheet(Renderer* renderer, const uint32_t* sheet)
{
    return renderer != nullptr && Chosen->loadFontSheet(renderer, sheet);
}

void ReleaseSceneResources(Renderer* renderer)
{
    if (renderer != nullptr) Chosen->releaseSceneResources(renderer);
}

void GetFrameSize(Renderer* renderer, int32_t& width, int32_t& height)
{
    width = 0;
    height = 0;
    if (renderer != nullptr) Chosen->getFrameSize(renderer, width, height);
}

void PlaceSpot(Renderer* renderer, int32_t spot, const SpotPlacement& place, float /*spotExtent*/)
{
    if (renderer != nullptr) Chosen->placeSpot(renderer, spot, place);
}

bool LockSpotTexels(Renderer* renderer, int32_t spot, uint8_t*& texels, int32_t& pitch)
{
    texels = nullptr;
    pitch = 0;
    return renderer != nullptr && Chosen->lockSpotTexels(renderer, spot, texels, pitch);
}

void UnlockSpotTexels(Renderer* renderer, int32_t spot)
{
    if (renderer != nullptr) Chosen->unlockSpotTexels(renderer, spot);
}

void PresentFrame(Renderer* renderer, const OverlayFrame& overlay)
{
    if (renderer != nullptr) Chosen->presentFrame(renderer, overlay);
}

bool ResizeRenderer(Renderer* renderer, int32_t width, int32_t height)
{
    return renderer != nullptr && Chosen->resize(renderer, width, height);
}

bool ReadRendererFrame(Renderer* renderer, uint8_t* pixels, int32_t pitch)
{
    return renderer != nullptr && Chosen->readFrame(renderer, pixels, pitch);
}

// The settings dialog is the Windows saver's.
bool DescribeDisplay(DisplayDescription& /*display*/)
{
    return false;
}
