#include "render/device_lifecycle.h"

#include "host/window_services.h"
#include "render/light_spots.h"
#include "render/scene.h"
#include "render/text_overlay.h"
#include "settings/settings.h"
#include "support/heap.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"

RenderSystem* SaverRenderSystem = nullptr;
RenderDevice* SaverDevice = nullptr;
PresentParameters DevicePresentParameters{};
DisplayMode CurrentDisplayMode{};

namespace {

constexpr uint32_t HighestRefreshRate = 100;

uint32_t BehaviorFlags()
{
    return Settings.bTnL != 0 ? CreateHardwareVertexProcessing : CreateSoftwareVertexProcessing;
}

// The device, or null; a failed creation leaves nothing behind.
RenderDevice* MakeDevice(NativeWindow window)
{
    if (SaverRenderSystem == nullptr) return nullptr;
    RenderDevice* device = nullptr;
    const RenderResult result =
        CreateDevice(SaverRenderSystem, DefaultAdapter, DeviceTypeHal, window, BehaviorFlags(),
                     DevicePresentParameters, device);
    if (result < 0) ReleaseHandle(device);
    return device;
}

template <typename T>
void FreeBuffer(T*& holder)
{
    if (holder != nullptr) {
        FreeAllocation(holder);
        holder = nullptr;
    }
}

}  // namespace

uint32_t ChooseRefreshRate(RenderSystem* system, uint32_t width, uint32_t height, uint32_t format)
{
    uint32_t best = 0;
    for (uint32_t index = GetAdapterModeCount(system, DefaultAdapter); index-- > 0;) {
        DisplayMode mode{};
        EnumAdapterModes(system, DefaultAdapter, index, mode);
        if (mode.width == width && mode.height == height && mode.format == format &&
            best <= mode.refreshRate && mode.refreshRate <= HighestRefreshRate) {
            best = mode.refreshRate;
        }
    }
    return best;
}

void CreateRenderDevice(NativeWindow window, int32_t previewFlag)
{
    // Called once per window; anything left from an earlier call goes first.
    ReleaseHandle(SaverDevice);
    ReleaseHandle(SaverRenderSystem);

    SaverRenderSystem = CreateRenderSystem(RenderSdkVersion);
    if (SaverRenderSystem == nullptr) {
        ShowErrorMessage(window, "_imp__Direct3DCreate8@4 FAILED");
        SendDestroyMessage(window);
        return;
    }
    CurrentDisplayMode = DisplayMode{};
    GetAdapterDisplayMode(SaverRenderSystem, DefaultAdapter, CurrentDisplayMode);

    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    GetWindowClientSize(window, clientWidth, clientHeight);

    PresentParameters& params = DevicePresentParameters;
    params = PresentParameters{};
    params.windowed = previewFlag;
    params.backBufferFormat = CurrentDisplayMode.format;
    params.backBufferWidth = static_cast<uint32_t>(clientWidth > 0 ? clientWidth : 0);
    params.backBufferHeight = static_cast<uint32_t>(clientHeight > 0 ? clientHeight : 0);
    params.backBufferCount = 2;
    params.enableAutoDepthStencil = 1;
    params.autoDepthStencilFormat = FormatD16;
    params.swapEffect = SwapEffectFlip;
    params.fullScreenPresentationInterval = PresentIntervalDefault;
    if (previewFlag == 0) {
        params.fullScreenRefreshRateInHz =
            ChooseRefreshRate(SaverRenderSystem, params.backBufferWidth, params.backBufferHeight,
                              params.backBufferFormat);
    }

    SaverDevice = MakeDevice(window);
    if (SaverDevice == nullptr) {
        ShowErrorMessage(window, "CreateDevice FAILED");
        SendDestroyMessage(window);
        PostQuit(0);
    }
}

void ReleaseSceneResources()
{
    ReleaseHandle(TextVertexBuffer);
    ReleaseHandle(FontTexture);
    for (LightSpot& spot : LightSpots) {
        ReleaseHandle(spot.vertexBuffer);
        ReleaseHandle(spot.texture);
    }
}

void ShutDownRenderer()
{
    SaveSettings();
    FreeBuffer(HeightField);
    FreeBuffer(NormalField);
    FreeBuffer(FalloffTable);
    ReleaseHandle(SaverDevice);
    ReleaseHandle(SaverRenderSystem);
}

void SuspendRenderer(NativeWindow window)
{
    ReleaseSceneResources();
    ReleaseHandle(SaverDevice);
    ShowWindowRestoredThenMaximized(window);
}

void ResumeRenderer(NativeWindow window)
{
    ReleaseHandle(SaverDevice);
    SaverDevice = MakeDevice(window);
    if (SaverDevice == nullptr) {
        ShowErrorMessage(window, "CreateDevice FAILED");
        PostDestroyMessage(window);
        return;
    }
    LoadSettings();
    SetupScene();
}
