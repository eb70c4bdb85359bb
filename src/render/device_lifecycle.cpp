#include "render/device_lifecycle.h"

#include "host/window_services.h"
#include "render/saver_run.h"
#include "render/scene.h"

namespace {

bool MakeDevice(SaverRun& run, NativeWindow window, int32_t previewFlag)
{
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    GetWindowClientSize(window, clientWidth, clientHeight);
    RendererOptions options;
    options.windowed = previewFlag != 0;
    options.hardwareVertexProcessing = run.Settings.bTnL != 0;
    const bool made = CreateRendererDevice(run.renderer, window, clientWidth > 0 ? clientWidth : 0,
                                           clientHeight > 0 ? clientHeight : 0, options);
    if (!made) EndForLostDevice(window);
    return made;
}

}  // namespace

void EndForLostDevice(NativeWindow window)
{
    ShowErrorMessage(window, "CreateDevice FAILED");
    SendDestroyMessage(window);
    PostQuit(0);
}

void CreateRenderDevice(SaverRun& run, NativeWindow window, int32_t previewFlag)
{
    // Called once per window; anything left from an earlier call goes first.
    CloseRenderer(run.renderer);

    run.renderer = OpenRenderer();
    if (run.renderer == nullptr) {
        ShowErrorMessage(window, "_imp__Direct3DCreate8@4 FAILED");
        SendDestroyMessage(window);
        return;
    }
    MakeDevice(run, window, previewFlag);
}

bool MoveRenderDevice(SaverRun& run, NativeWindow window, int32_t previewFlag)
{
    ReleaseSceneResources(run);
    if (!MakeDevice(run, window, previewFlag)) return false;
    SetupScene(run);
    return true;
}

bool HasRenderDevice(const SaverRun& run)
{
    return RendererHasDevice(run.renderer);
}

void ReleaseSceneResources(SaverRun& run)
{
    if (run.renderer != nullptr) ReleaseSceneResources(run.renderer);
}

void ShutDownRenderer(SaverRun& run)
{
    FreeSurfaceFields(run.surface);
    CloseRenderer(run.renderer);
}

void SuspendRenderer(SaverRun& run, NativeWindow window)
{
    ReleaseSceneResources(run);
    if (run.renderer != nullptr) ReleaseRendererDevice(run.renderer);
    ShowWindowRestoredThenMaximized(window);
}

void ResumeRenderer(SaverRun& run, NativeWindow window)
{
    if (run.renderer == nullptr || !RecreateRendererDevice(run.renderer)) {
        ShowErrorMessage(window, "CreateDevice FAILED");
        PostDestroyMessage(window);
        return;
    }
    LoadSettings(run.StoredSettings);
    run.Settings = run.StoredSettings;
    SetupScene(run);
}
