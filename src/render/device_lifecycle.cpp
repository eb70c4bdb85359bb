#include "render/device_lifecycle.h"

#include "host/window_services.h"
#include "render/scene.h"
#include "settings/settings.h"
#include "support/heap.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"

Renderer* SaverRenderer = nullptr;

namespace {

template <typename T>
void FreeBuffer(T*& holder)
{
    if (holder != nullptr) {
        FreeAllocation(holder);
        holder = nullptr;
    }
}

}  // namespace

void CreateRenderDevice(NativeWindow window, int32_t previewFlag)
{
    // Called once per window; anything left from an earlier call goes first.
    CloseRenderer(SaverRenderer);

    SaverRenderer = OpenRenderer();
    if (SaverRenderer == nullptr) {
        ShowErrorMessage(window, "_imp__Direct3DCreate8@4 FAILED");
        SendDestroyMessage(window);
        return;
    }
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    GetWindowClientSize(window, clientWidth, clientHeight);
    RendererOptions options;
    options.windowed = previewFlag != 0;
    options.hardwareVertexProcessing = Settings.bTnL != 0;
    if (!CreateRendererDevice(SaverRenderer, window, clientWidth > 0 ? clientWidth : 0,
                              clientHeight > 0 ? clientHeight : 0, options)) {
        ShowErrorMessage(window, "CreateDevice FAILED");
        SendDestroyMessage(window);
        PostQuit(0);
    }
}

bool HasRenderDevice()
{
    return RendererHasDevice(SaverRenderer);
}

void ReleaseSceneResources()
{
    if (SaverRenderer != nullptr) ReleaseSceneResources(SaverRenderer);
}

void ShutDownRenderer()
{
    FreeBuffer(HeightField);
    FreeBuffer(NormalField);
    FreeBuffer(FalloffTable);
    CloseRenderer(SaverRenderer);
}

void SuspendRenderer(NativeWindow window)
{
    ReleaseSceneResources();
    if (SaverRenderer != nullptr) ReleaseRendererDevice(SaverRenderer);
    ShowWindowRestoredThenMaximized(window);
}

void ResumeRenderer(NativeWindow window)
{
    if (SaverRenderer == nullptr || !RecreateRendererDevice(SaverRenderer)) {
        ShowErrorMessage(window, "CreateDevice FAILED");
        PostDestroyMessage(window);
        return;
    }
    LoadSettings();
    SetupScene();
}
