// The renderer on Direct3D 8: a full-screen (or, in the preview, windowed) device with a
// perspective camera over the world rectangle, each spot a textured quad of two triangles, the
// overlay pretransformed quads from an A4R4G4B4 font texture. d3d8.dll is loaded at run time,
// there being no import library for it.
#include <windows.h>

#include <d3d8.h>

#include <cstring>
#include <new>

#include "render/renderer.h"
#include "support/vecmath.h"

static_assert(sizeof(Matrix4) == sizeof(D3DMATRIX));

namespace {

constexpr UINT SdkVersion = 220;
constexpr UINT HighestRefreshRate = 100;

// One vertex of a spot's quad (XYZ|TEX1); a quad is six of them, two triangles.
struct ScreenQuad {
    float x;
    float y;
    float z;
    float u;
    float v;  // 0 at texture row 0, the quad's top edge
};
static_assert(sizeof(ScreenQuad) == 20, "the vertex buffer stride");
constexpr DWORD ScreenQuadFormat = D3DFVF_XYZ | D3DFVF_TEX1;
constexpr UINT ScreenQuadBytes = 6 * sizeof(ScreenQuad);

// A pretransformed, textured vertex (XYZRHW|TEX1): pixels, y down.
struct TextVertex {
    float x;
    float y;
    float z;
    float rhw;
    float u;
    float v;
};
static_assert(sizeof(TextVertex) == 24, "the vertex buffer stride");
constexpr DWORD TextVertexFormat = D3DFVF_XYZRHW | D3DFVF_TEX1;
constexpr UINT TextVertexBufferBytes = MaxLineGlyphs * 6 * sizeof(TextVertex);  // 9216

constexpr Vec3 CameraEye{2.0f, 1.5f, -3.6f};
constexpr Vec3 CameraTarget{2.0f, 1.5f, 0.0f};
constexpr Vec3 CameraUp{0.0f, 1.0f, 0.0f};
constexpr float FieldOfView = 0.785398185f;  // pi / 4
constexpr float NearPlane = 1.0f;
constexpr float FarPlane = 100.0f;

template <typename T>
void ReleaseCom(T*& holder)
{
    if (holder != nullptr) {
        holder->Release();
        holder = nullptr;
    }
}

IDirect3D8* CreateSystem()
{
    using CreateFunction = IDirect3D8*(WINAPI*)(UINT);
    // Stays loaded for the process: its objects may outlive any one caller.
    static HMODULE library = LoadLibraryA("d3d8.dll");
    if (library == nullptr) return nullptr;
    const auto create = reinterpret_cast<CreateFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "Direct3DCreate8")));
    return create != nullptr ? create(SdkVersion) : nullptr;
}

// The highest refresh rate of at most 100 Hz among the adapter's modes of exactly this size
// and format, or 0 (the adapter's default) when there is none.
UINT ChooseRefreshRate(IDirect3D8* system, UINT width, UINT height, D3DFORMAT format)
{
    UINT best = 0;
    for (UINT index = system->GetAdapterModeCount(D3DADAPTER_DEFAULT); index-- > 0;) {
        D3DDISPLAYMODE mode{};
        system->EnumAdapterModes(D3DADAPTER_DEFAULT, index, &mode);
        if (mode.Width == width && mode.Height == height && mode.Format == format &&
            best <= mode.RefreshRate && mode.RefreshRate <= HighestRefreshRate) {
            best = mode.RefreshRate;
        }
    }
    return best;
}

int32_t DisplayFormatBits(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2B10G10R10: return 32;
    case D3DFMT_R8G8B8: return 24;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4: return 16;
    default: return 8;
    }
}

}  // namespace

struct Renderer {
    IDirect3D8* system = nullptr;
    IDirect3DDevice8* device = nullptr;
    HWND window = nullptr;
    DWORD behaviorFlags = 0;
    // Kept as made, so that a rebuild makes the same device; Direct3D gets a copy each time,
    // as it may write into the record.
    D3DPRESENT_PARAMETERS params{};
    IDirect3DVertexBuffer8* spotQuads[LightSpotCount] = {};
    IDirect3DTexture8* spotTextures[LightSpotCount] = {};
    IDirect3DTexture8* font = nullptr;
    IDirect3DVertexBuffer8* text = nullptr;
    // The template every spot's quad is copied from; each placement rewrites x and y.
    ScreenQuad quad[6] = {
        {0.0f, 0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 3.0f, 0.0f, 0.0f, 0.0f},
        {4.0f, 3.0f, 0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 0.0f, 1.0f},
        {4.0f, 3.0f, 0.0f, 1.0f, 0.0f}, {4.0f, 0.0f, 0.0f, 1.0f, 1.0f},
    };
};

namespace {

bool MakeDevice(Renderer* renderer)
{
    D3DPRESENT_PARAMETERS params = renderer->params;
    IDirect3DDevice8* device = nullptr;
    const HRESULT result =
        renderer->system->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, renderer->window,
                                       renderer->behaviorFlags, &params, &device);
    if (FAILED(result)) {
        ReleaseCom(device);
        return false;
    }
    renderer->device = device;
    return true;
}

void DrawTextLine(Renderer* renderer, const OverlayLine& line)
{
    IDirect3DDevice8* device = renderer->device;
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetStreamSource(0, renderer->text, sizeof(TextVertex));
    device->SetVertexShader(TextVertexFormat);
    device->SetPixelShader(0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    BYTE* data = nullptr;
    if (renderer->text->Lock(0, TextVertexBufferBytes, &data, 0) != D3D_OK) return;
    if (data == nullptr) {
        renderer->text->Unlock();
        return;
    }
    const uint32_t glyphs = line.glyphCount < MaxLineGlyphs ? line.glyphCount : MaxLineGlyphs;
    for (uint32_t g = 0; g < glyphs; ++g) {
        const GlyphQuad& q = line.glyphs[g];
        // Two triangles; the sheet's top row lands on the upper edge y0.
        const TextVertex quad[6] = {
            {q.x0, q.y1, 0.0f, 1.0f, q.u0, q.v1}, {q.x0, q.y0, 0.0f, 1.0f, q.u0, q.v0},
            {q.x1, q.y1, 0.0f, 1.0f, q.u1, q.v1}, {q.x1, q.y0, 0.0f, 1.0f, q.u1, q.v0},
            {q.x1, q.y1, 0.0f, 1.0f, q.u1, q.v1}, {q.x0, q.y0, 0.0f, 1.0f, q.u0, q.v0},
        };
        std::memcpy(data + g * sizeof quad, quad, sizeof quad);
    }
    renderer->text->Unlock();
    // Direct3D refuses a draw of no primitives.
    if (glyphs > 0) device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2 * glyphs);
}

}  // namespace

Renderer* OpenRenderer()
{
    IDirect3D8* system = CreateSystem();
    if (system == nullptr) return nullptr;
    auto* renderer = new (std::nothrow) Renderer;
    if (renderer == nullptr) {
        system->Release();
        return nullptr;
    }
    renderer->system = system;
    return renderer;
}

bool CreateRendererDevice(Renderer* renderer, NativeWindow window, int32_t width, int32_t height,
                          const RendererOptions& options)
{
    if (renderer == nullptr) return false;
    ReleaseCom(renderer->device);
    D3DDISPLAYMODE mode{};
    renderer->system->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);

    D3DPRESENT_PARAMETERS& params = renderer->params;
    params = D3DPRESENT_PARAMETERS{};
    params.Windowed = options.windowed ? TRUE : FALSE;
    params.BackBufferFormat = mode.Format;
    params.BackBufferWidth = static_cast<UINT>(width > 0 ? width : 0);
    params.BackBufferHeight = static_cast<UINT>(height > 0 ? height : 0);
    params.BackBufferCount = 2;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    params.SwapEffect = D3DSWAPEFFECT_FLIP;
    params.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    if (!options.windowed) {
        params.FullScreen_RefreshRateInHz =
            ChooseRefreshRate(renderer->system, params.BackBufferWidth, params.BackBufferHeight,
                              params.BackBufferFormat);
    }
    renderer->window = reinterpret_cast<HWND>(window);
    renderer->behaviorFlags = options.hardwareVertexProcessing
                                  ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                  : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    return MakeDevice(renderer);
}

bool RecreateRendererDevice(Renderer* renderer)
{
    if (renderer == nullptr) return false;
    ReleaseCom(renderer->device);
    return MakeDevice(renderer);
}

void ReleaseRendererDevice(Renderer* renderer)
{
    if (renderer != nullptr) ReleaseCom(renderer->device);
}

bool RendererHasDevice(const Renderer* renderer)
{
    return renderer != nullptr && renderer->device != nullptr;
}

void CloseRenderer(Renderer*& renderer)
{
    if (renderer == nullptr) return;
    ReleaseSceneResources(renderer);
    ReleaseCom(renderer->device);
    ReleaseCom(renderer->system);
    delete renderer;
    renderer = nullptr;
}

bool CreateSpotResources(Renderer* renderer, int32_t spot)
{
    if (!RendererHasDevice(renderer) || spot < 0 || spot >= LightSpotCount) return false;
    // Nothing should be left over, but a second setup must not leak.
    ReleaseCom(renderer->spotQuads[spot]);
    ReleaseCom(renderer->spotTextures[spot]);
    IDirect3DDevice8* device = renderer->device;
    if (FAILED(device->CreateVertexBuffer(ScreenQuadBytes, D3DUSAGE_WRITEONLY, ScreenQuadFormat,
                                          D3DPOOL_MANAGED, &renderer->spotQuads[spot]))) {
        renderer->spotQuads[spot] = nullptr;
    }
    if (FAILED(device->CreateTexture(SpotSize, SpotSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                     &renderer->spotTextures[spot]))) {
        renderer->spotTextures[spot] = nullptr;
    }
    return renderer->spotQuads[spot] != nullptr && renderer->spotTextures[spot] != nullptr;
}

void ApplySceneStates(Renderer* renderer)
{
    if (!RendererHasDevice(renderer)) return;
    Matrix4 world{};
    Matrix4 view{};
    Matrix4 projection{};
    IdentityMatrix(world);
    const float aspect = static_cast<float>(renderer->params.BackBufferWidth) /
                         static_cast<float>(renderer->params.BackBufferHeight);
    PerspectiveMatrix(projection, FieldOfView, aspect, NearPlane, FarPlane);
    LookAtMatrix(view, CameraEye, CameraTarget, CameraUp);
    D3DMATERIAL8 material{};
    material.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};

    IDirect3DDevice8* device = renderer->device;
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&world));
    device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(&view));
    device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(&projection));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

bool LoadFontSheet(Renderer* renderer, const uint32_t* sheet)
{
    if (renderer == nullptr) return false;
    // A texture left over from an earlier setup would be lost under the new one.
    ReleaseCom(renderer->font);
    if (renderer->device == nullptr) return false;
    IDirect3DDevice8* device = renderer->device;
    if (sheet != nullptr &&
        FAILED(device->CreateTexture(FontSheetSide, FontSheetSide, 1, 0, D3DFMT_A4R4G4B4,
                                     D3DPOOL_MANAGED, &renderer->font))) {
        ReleaseCom(renderer->font);
    }
    if (renderer->font != nullptr) {
        D3DLOCKED_RECT locked{};
        const bool isLocked = SUCCEEDED(renderer->font->LockRect(0, &locked, nullptr, 0));
        // Rows shorter than the sheet's would be written over each other.
        if (!isLocked || locked.pBits == nullptr || locked.Pitch < FontSheetSide * 2) {
            if (isLocked) renderer->font->UnlockRect(0);
            ReleaseCom(renderer->font);
        } else {
            for (int32_t row = 0; row < FontSheetSide; ++row) {
                auto* out = static_cast<uint8_t*>(locked.pBits) + row * locked.Pitch;
                for (int32_t column = 0; column < FontSheetSide; ++column) {
                    const uint32_t p = sheet[row * FontSheetSide + column];
                    // Each channel keeps its top four bits.
                    const auto texel =
                        static_cast<uint16_t>((p >> 28) << 12 | (p >> 20 & 0xF) << 8 |
                                              (p >> 12 & 0xF) << 4 | (p >> 4 & 0xF));
                    std::memcpy(out + 2 * column, &texel, 2);
                }
            }
            renderer->font->UnlockRect(0);
        }
    }
    if (renderer->text == nullptr &&
        FAILED(device->CreateVertexBuffer(TextVertexBufferBytes, 0, TextVertexFormat,
                                          D3DPOOL_MANAGED, &renderer->text))) {
        renderer->text = nullptr;
    }
    return renderer->font != nullptr;
}

void ReleaseSceneResources(Renderer* renderer)
{
    if (renderer == nullptr) return;
    ReleaseCom(renderer->text);
    ReleaseCom(renderer->font);
    for (int32_t k = 0; k < LightSpotCount; ++k) {
        ReleaseCom(renderer->spotQuads[k]);
        ReleaseCom(renderer->spotTextures[k]);
    }
}

void GetFrameSize(Renderer* renderer, int32_t& width, int32_t& height)
{
    width = 0;
    height = 0;
    if (!RendererHasDevice(renderer)) return;
    D3DVIEWPORT8 viewport{};
    if (SUCCEEDED(renderer->device->GetViewport(&viewport))) {
        width = static_cast<int32_t>(viewport.Width);
        height = static_cast<int32_t>(viewport.Height);
    }
}

void PlaceSpot(Renderer* renderer, int32_t spot, const SpotPlacement& place, float spotExtent)
{
    if (renderer == nullptr || spot < 0 || spot >= LightSpotCount) return;
    const float left = place.posX;
    const float bottom = place.posY;
    const float right = left + spotExtent;
    const float top = bottom + spotExtent;
    const float corners[6][2] = {{left, bottom}, {left, top},  {right, top},
                                 {left, bottom}, {right, top}, {right, bottom}};
    for (int i = 0; i < 6; ++i) {
        renderer->quad[i].x = corners[i][0];
        renderer->quad[i].y = corners[i][1];
    }
    IDirect3DVertexBuffer8* buffer = renderer->spotQuads[spot];
    if (buffer == nullptr) return;
    BYTE* data = nullptr;
    if (FAILED(buffer->Lock(0, 0, &data, 0)) || data == nullptr) return;
    std::memcpy(data, renderer->quad, ScreenQuadBytes);
    buffer->Unlock();
}

bool LockSpotTexels(Renderer* renderer, int32_t spot, uint8_t*& texels, int32_t& pitch)
{
    texels = nullptr;
    pitch = 0;
    if (renderer == nullptr || spot < 0 || spot >= LightSpotCount) return false;
    IDirect3DTexture8* texture = renderer->spotTextures[spot];
    if (texture == nullptr) return false;
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD))) return false;
    texels = static_cast<uint8_t*>(locked.pBits);
    pitch = locked.Pitch;
    return true;
}

void UnlockSpotTexels(Renderer* renderer, int32_t spot)
{
    if (renderer == nullptr || spot < 0 || spot >= LightSpotCount) return;
    if (renderer->spotTextures[spot] != nullptr) renderer->spotTextures[spot]->UnlockRect(0);
}

void PresentFrame(Renderer* renderer, const OverlayFrame& overlay)
{
    if (!RendererHasDevice(renderer)) return;
    IDirect3DDevice8* device = renderer->device;
    if (device->TestCooperativeLevel() == D3DERR_DEVICELOST) return;
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 0.0f, 0);
    device->BeginScene();
    device->SetVertexShader(ScreenQuadFormat);
    for (int32_t k = 0; k < LightSpotCount; ++k) {
        // Spots beyond the count have no resources; a spot whose creation failed is left out
        // rather than drawn untextured.
        if (renderer->spotQuads[k] == nullptr || renderer->spotTextures[k] == nullptr) continue;
        device->SetStreamSource(0, renderer->spotQuads[k], sizeof(ScreenQuad));
        device->SetTexture(0, renderer->spotTextures[k]);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
    }
    if (renderer->font != nullptr && renderer->text != nullptr) {
        device->SetTexture(0, renderer->font);
        const uint32_t lines =
            overlay.lineCount < MaxOverlayLines ? overlay.lineCount : MaxOverlayLines;
        for (uint32_t l = 0; l < lines; ++l) DrawTextLine(renderer, overlay.lines[l]);
    }
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

bool ResizeRenderer(Renderer* /*renderer*/, int32_t /*width*/, int32_t /*height*/)
{
    // The Windows saver's window never changes size.
    return false;
}

bool ReadRendererFrame(Renderer* /*renderer*/, uint8_t* /*pixels*/, int32_t /*pitch*/)
{
    return false;
}

bool DescribeDisplay(DisplayDescription& display)
{
    IDirect3D8* system = CreateSystem();
    if (system == nullptr) return false;
    D3DDISPLAYMODE mode{};
    system->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    D3DCAPS8 caps{};
    system->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);
    display.width = mode.Width;
    display.height = mode.Height;
    display.bitsPerPixel = DisplayFormatBits(mode.Format);
    display.hardwareTransformLighting = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
    system->Release();
    return true;
}
