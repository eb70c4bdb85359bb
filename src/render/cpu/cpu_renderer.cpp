// The renderer on the processor. A frame is black but for what the last frame drew; so each
// frame clears only last frame's squares (not where a spot lands this frame, as the first spot
// over a pixel is written over black), writes or blends the spots row by row, blends the
// overlay's lines, and hands on the squares that changed.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "render/cpu/cpu_blend.h"
#include "render/cpu/cpu_device.h"
#include "render/switch/renderer_back_end.h"

namespace cpu {

namespace {

constexpr int32_t MaxFrameSide = 16384;
constexpr uint32_t MaxRects = 16;
constexpr size_t SpotTexels = size_t{SpotSize} * SpotSize;
constexpr size_t SheetTexels = size_t{FontSheetSide} * FontSheetSide;

PresenterOpener Opener = nullptr;
void* OpenerUser = nullptr;

struct RectList {
    uint32_t count = 0;
    PixelRect rects[MaxRects];
};

// One overlay line, drawn once into its own pixels (colour and alpha, unblended) and blended
// from there every frame until its glyphs change.
struct LineLayer {
    OverlayLine line{};
    bool valid = false;
    PixelRect rect{};
    uint32_t* pixels = nullptr;
    size_t capacity = 0;
};

struct Interval {
    int32_t left;
    int32_t right;
};

}  // namespace

}  // namespace cpu

struct Renderer {
    bool device = false;
    NativeWindow window = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool hasPresenter = false;
    cpu::Presenter presenter{};
    uint32_t* pixels = nullptr;  // width words a row
    bool borrowed = false;       // the presenter's memory
    uint32_t* spotTexels[LightSpotCount] = {};
    int32_t originX[LightSpotCount] = {};         // where texel (0, 0) lands: col0
    int32_t originY[LightSpotCount] = {};         // and row0
    cpu::PixelRect squares[LightSpotCount] = {};  // clipped to the frame; empty when off it
    uint32_t* font = nullptr;
    cpu::LineLayer layers[MaxOverlayLines];
    cpu::RectList drawn;  // what the last frame drew over black
    bool wholeNext = true;
    bool framePresented = false;
};

namespace cpu {

namespace {

int64_t Area(const PixelRect& r)
{
    return static_cast<int64_t>(r.right - r.left) * (r.bottom - r.top);
}

bool IsEmpty(const PixelRect& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

PixelRect Bounds(const PixelRect& a, const PixelRect& b)
{
    return PixelRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                     std::max(a.bottom, b.bottom)};
}

PixelRect Clip(int64_t left, int64_t top, int64_t right, int64_t bottom, int32_t width,
               int32_t height)
{
    const auto clamp = [](int64_t v, int32_t high) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, 0, high));
    };
    PixelRect r{clamp(left, width), clamp(top, height), clamp(right, width), clamp(bottom, height)};
    if (IsEmpty(r)) r = PixelRect{};
    return r;
}

// Two rectangles become their bounds when those cost no more to clear and to send than the two
// apart (a spot that moved a little); the bounds may now meet another, so look again.
void AddRect(RectList& list, const PixelRect& r)
{
    if (IsEmpty(r)) return;
    PixelRect merged = r;
    for (bool joined = true; joined;) {
        joined = false;
        for (uint32_t i = 0; i < list.count; ++i) {
            const PixelRect bounds = Bounds(merged, list.rects[i]);
            if (Area(bounds) <= Area(merged) + Area(list.rects[i])) {
                merged = bounds;
                list.rects[i] = list.rects[--list.count];
                joined = true;
                break;
            }
        }
    }
    if (list.count == MaxRects) {
        for (uint32_t i = 0; i < list.count; ++i) merged = Bounds(merged, list.rects[i]);
        list.count = 0;
    }
    list.rects[list.count++] = merged;
}

// The parts of [left, right) that none of the covers reach, and those they do.
template <typename Uncovered, typename Covered>
void SplitSpan(int32_t left, int32_t right, Interval* covers, int32_t coverCount,
               Uncovered uncovered, Covered covered)
{
    // At most five: an insertion sort.
    for (int32_t i = 1; i < coverCount; ++i) {
        for (int32_t j = i; j > 0 && covers[j].left < covers[j - 1].left; --j) {
            std::swap(covers[j], covers[j - 1]);
        }
    }
    int32_t x = left;
    for (int32_t i = 0; i < coverCount && x < right; ++i) {
        const int32_t start = std::max(covers[i].left, x);
        const int32_t end = std::min(covers[i].right, right);
        if (start >= end) continue;
        if (start > x) uncovered(x, start);
        covered(start, end);
        x = end;
    }
    if (x < right) uncovered(x, right);
}

// The spans of the squares in [first, last) that cross row y.
int32_t CoversOfRow(const Renderer* r, int32_t first, int32_t last, int32_t y, Interval* covers)
{
    int32_t count = 0;
    for (int32_t k = first; k < last; ++k) {
        const PixelRect& s = r->squares[k];
        if (r->spotTexels[k] != nullptr && s.top <= y && y < s.bottom) {
            covers[count++] = Interval{s.left, s.right};
        }
    }
    return count;
}

void FreeFrame(Renderer* r)
{
    if (!r->borrowed) std::free(r->pixels);
    r->pixels = nullptr;
    r->borrowed = false;
}

// Fresh memory is black; calloc's pages fault in only where something is drawn.
bool MakeFrame(Renderer* r, int32_t width, int32_t height)
{
    FreeFrame(r);
    r->width = width;
    r->height = height;
    r->drawn.count = 0;
    r->wholeNext = true;
    r->framePresented = false;
    for (PixelRect& s : r->squares) s = PixelRect{};
    for (LineLayer& layer : r->layers) layer.valid = false;
    if (width == 0 || height == 0) return true;
    if (r->hasPresenter && r->presenter.frameMemory != nullptr) {
        r->pixels = r->presenter.frameMemory(r->presenter.context);
        r->borrowed = r->pixels != nullptr;
    }
    if (r->pixels == nullptr) {
        r->pixels = static_cast<uint32_t*>(
            std::calloc(static_cast<size_t>(width) * static_cast<size_t>(height), 4));
    }
    return r->pixels != nullptr;
}

void ClosePresenter(Renderer* r)
{
    FreeFrame(r);
    if (r->hasPresenter && r->presenter.close != nullptr) r->presenter.close(r->presenter.context);
    r->hasPresenter = false;
    r->presenter = Presenter{};
}

bool ValidSize(int32_t width, int32_t height)
{
    return width >= 0 && height >= 0 && width <= MaxFrameSide && height <= MaxFrameSide;
}

Renderer* Open()
{
    return new (std::nothrow) Renderer;
}

void ReleaseDevice(Renderer* r)
{
    if (r == nullptr) return;
    ClosePresenter(r);
    r->device = false;
}

bool MakeDevice(Renderer* r)
{
    ReleaseDevice(r);
    if (!ValidSize(r->width, r->height)) return false;
    if (r->window != 0) {
        if (Opener == nullptr ||
            !Opener(OpenerUser, r->window, r->width, r->height, r->presenter)) {
            r->presenter = Presenter{};
            return false;
        }
        r->hasPresenter = true;
    }
    if (!MakeFrame(r, r->width, r->height)) {
        ClosePresenter(r);
        return false;
    }
    r->device = true;
    return true;
}

bool CreateDevice(Renderer* r, NativeWindow window, int32_t width, int32_t height,
                  const RendererOptions& /*options*/)
{
    if (r == nullptr) return false;
    r->window = window;
    r->width = width;
    r->height = height;
    return MakeDevice(r);
}

bool RecreateDevice(Renderer* r)
{
    return r != nullptr && MakeDevice(r);
}

bool HasDevice(const Renderer* r)
{
    return r != nullptr && r->device;
}

void ReleaseScene(Renderer* r)
{
    if (r == nullptr) return;
    std::free(r->font);
    r->font = nullptr;
    for (LineLayer& layer : r->layers) {
        std::free(layer.pixels);
        layer = LineLayer{};
    }
    for (uint32_t*& texels : r->spotTexels) {
        std::free(texels);
        texels = nullptr;
    }
}

void Close(Renderer* r)
{
    if (r == nullptr) return;
    ReleaseScene(r);
    ReleaseDevice(r);
    delete r;
}

bool CreateSpot(Renderer* r, int32_t spot)
{
    if (!HasDevice(r) || spot < 0 || spot >= LightSpotCount) return false;
    if (r->spotTexels[spot] == nullptr) {
        r->spotTexels[spot] = static_cast<uint32_t*>(std::calloc(SpotTexels, 4));
    }
    r->squares[spot] = PixelRect{};
    return r->spotTexels[spot] != nullptr;
}

bool LoadFont(Renderer* r, const uint32_t* sheet)
{
    if (r == nullptr) return false;
    std::free(r->font);
    r->font = nullptr;
    for (LineLayer& layer : r->layers) layer.valid = false;
    if (!r->device || sheet == nullptr) return false;
    r->font = static_cast<uint32_t*>(std::malloc(SheetTexels * 4));
    if (r->font == nullptr) return false;
    std::memcpy(r->font, sheet, SheetTexels * 4);
    return true;
}

void FrameSize(Renderer* r, int32_t& width, int32_t& height)
{
    width = HasDevice(r) ? r->width : 0;
    height = HasDevice(r) ? r->height : 0;
}

void Place(Renderer* r, int32_t spot, const SpotPlacement& place)
{
    if (r == nullptr || spot < 0 || spot >= LightSpotCount) return;
    // Texel (t, c) lies over the pixel whose normal shaded it: row0 + t, col0 + c.
    r->originX[spot] = place.col0;
    r->originY[spot] = place.row0;
    r->squares[spot] = Clip(place.col0, place.row0, int64_t{place.col0} + SpotSize,
                            int64_t{place.row0} + SpotSize, r->width, r->height);
}

bool LockTexels(Renderer* r, int32_t spot, uint8_t*& texels, int32_t& pitch)
{
    texels = nullptr;
    pitch = 0;
    if (!HasDevice(r) || spot < 0 || spot >= LightSpotCount || r->spotTexels[spot] == nullptr) {
        return false;
    }
    texels = reinterpret_cast<uint8_t*>(r->spotTexels[spot]);
    pitch = SpotSize * 4;
    return true;
}

void UnlockTexels(Renderer* /*r*/, int32_t /*spot*/) {}

// The sheet's texel at (x, y), wrapping as texture addressing does by default.
uint32_t SheetTexel(const uint32_t* sheet, int32_t x, int32_t y)
{
    return sheet[(y & (FontSheetSide - 1)) * FontSheetSide + (x & (FontSheetSide - 1))];
}

// Bilinear between four texels, weights in 1/256ths.
uint32_t Bilinear(const uint32_t* sheet, float tx, float ty)
{
    const float fx = std::floor(tx);
    const float fy = std::floor(ty);
    const auto x = static_cast<int32_t>(fx);
    const auto y = static_cast<int32_t>(fy);
    const auto wx = static_cast<uint32_t>(std::lrint((tx - fx) * 256.0f));
    const auto wy = static_cast<uint32_t>(std::lrint((ty - fy) * 256.0f));
    const uint32_t t00 = SheetTexel(sheet, x, y);
    const uint32_t t10 = SheetTexel(sheet, x + 1, y);
    const uint32_t t01 = SheetTexel(sheet, x, y + 1);
    const uint32_t t11 = SheetTexel(sheet, x + 1, y + 1);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t top = (t00 >> shift & 0xFF) * (256 - wx) + (t10 >> shift & 0xFF) * wx;
        const uint32_t bottom = (t01 >> shift & 0xFF) * (256 - wx) + (t11 >> shift & 0xFF) * wx;
        const uint32_t value = (top * (256 - wy) + bottom * wy + 32768) >> 16;
        out |= std::min<uint32_t>(value, 255) << shift;
    }
    return out;
}

// Pixel centres lie on whole coordinates, as the Windows saver draws them: a pixel belongs to
// a quad when x0 <= px < x1 and y0 <= py < y1.
int64_t FirstPixel(float edge)
{
    return static_cast<int64_t>(std::ceil(static_cast<double>(edge)));
}

PixelRect LineBounds(const OverlayLine& line, int32_t width, int32_t height)
{
    PixelRect bounds{};
    bool any = false;
    for (uint32_t g = 0; g < line.glyphCount && g < MaxLineGlyphs; ++g) {
        const GlyphQuad& q = line.glyphs[g];
        if (!(q.x0 < q.x1 && q.y0 < q.y1)) continue;  // NaN or empty: nothing to cover
        const PixelRect r = Clip(FirstPixel(q.x0), FirstPixel(q.y0), FirstPixel(q.x1),
                                 FirstPixel(q.y1), width, height);
        if (IsEmpty(r)) continue;
        bounds = any ? Bounds(bounds, r) : r;
        any = true;
    }
    return bounds;
}

void DrawLineLayer(Renderer* r, LineLayer& layer, const OverlayLine& line)
{
    layer.line.glyphCount = std::min(line.glyphCount, MaxLineGlyphs);
    std::memcpy(layer.line.glyphs, line.glyphs, layer.line.glyphCount * sizeof(GlyphQuad));
    layer.valid = true;
    layer.rect = LineBounds(layer.line, r->width, r->height);
    const auto w = static_cast<size_t>(layer.rect.right - layer.rect.left);
    const auto h = static_cast<size_t>(layer.rect.bottom - layer.rect.top);
    if (w * h > layer.capacity) {
        // Room for the line to grow (the frame rate's digits): a text that changes every second
        // is drawn again in the same memory.
        std::free(layer.pixels);
        layer.pixels = static_cast<uint32_t*>(std::malloc(2 * w * h * 4));
        layer.capacity = layer.pixels != nullptr ? 2 * w * h : 0;
    }
    if (layer.pixels == nullptr || w * h == 0) {
        layer.rect = PixelRect{};
        return;
    }
    std::memset(layer.pixels, 0, w * h * 4);
    for (uint32_t g = 0; g < layer.line.glyphCount; ++g) {
        const GlyphQuad& q = layer.line.glyphs[g];
        if (!(q.x0 < q.x1 && q.y0 < q.y1)) continue;
        const PixelRect cover = Clip(FirstPixel(q.x0), FirstPixel(q.y0), FirstPixel(q.x1),
                                     FirstPixel(q.y1), r->width, r->height);
        const float du = (q.u1 - q.u0) / (q.x1 - q.x0);
        const float dv = (q.v1 - q.v0) / (q.y1 - q.y0);
        for (int32_t y = cover.top; y < cover.bottom; ++y) {
            const float v = q.v0 + (static_cast<float>(y) - q.y0) * dv;
            uint32_t* out = layer.pixels + static_cast<size_t>(y - layer.rect.top) * w;
            for (int32_t x = cover.left; x < cover.right; ++x) {
                const float u = q.u0 + (static_cast<float>(x) - q.x0) * du;
                // Texel centres at half-texel positions, as samplers place them.
                out[x - layer.rect.left] =
                    Bilinear(r->font, u * FontSheetSide - 0.5f, v * FontSheetSide - 0.5f);
            }
        }
    }
}

bool SameLine(const OverlayLine& a, const OverlayLine& b)
{
    return a.glyphCount == b.glyphCount &&
           std::memcmp(a.glyphs, b.glyphs, a.glyphCount * sizeof(GlyphQuad)) == 0;
}

void ClearSpan(Renderer* r, int32_t y, int32_t left, int32_t right)
{
    std::memset(r->pixels + static_cast<size_t>(y) * r->width + left, 0,
                static_cast<size_t>(right - left) * 4);
}

void DrawSpots(Renderer* r)
{
    Interval covers[LightSpotCount];
    for (int32_t k = 0; k < LightSpotCount; ++k) {
        const PixelRect& s = r->squares[k];
        if (r->spotTexels[k] == nullptr || IsEmpty(s)) continue;
        for (int32_t y = s.top; y < s.bottom; ++y) {
            uint32_t* row = r->pixels + static_cast<size_t>(y) * r->width;
            const uint32_t* texels =
                r->spotTexels[k] + static_cast<size_t>(y - r->originY[k]) * SpotSize;
            const int32_t originX = r->originX[k];
            SplitSpan(
                s.left, s.right, covers, CoversOfRow(r, 0, k, y, covers),
                [&](int32_t x0, int32_t x1) {
                    WriteOverBlack(texels + (x0 - originX), row + x0, x1 - x0);
                },
                [&](int32_t x0, int32_t x1) {
                    BlendOver(texels + (x0 - originX), row + x0, x1 - x0);
                });
        }
    }
}

// Clears the rectangle but where a spot lands now: the first spot over a pixel is written over
// whatever it held.
void ClearRect(Renderer* r, const PixelRect& rect)
{
    Interval covers[LightSpotCount];
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        SplitSpan(
            rect.left, rect.right, covers, CoversOfRow(r, 0, LightSpotCount, y, covers),
            [&](int32_t x0, int32_t x1) { ClearSpan(r, y, x0, x1); }, [](int32_t, int32_t) {});
    }
}

// Last frame's drawings go.
void ClearLastFrame(Renderer* r)
{
    for (uint32_t i = 0; i < r->drawn.count; ++i) ClearRect(r, r->drawn.rects[i]);
}

bool Meet(const PixelRect& a, const PixelRect& b)
{
    return !IsEmpty(a) && !IsEmpty(b) && a.left < b.right && b.left < a.right && a.top < b.bottom &&
           b.top < a.bottom;
}

// A line lies over what stays black as long as no spot comes near it: it is drawn again, and
// shown, only when its text changes or a spot is over it now or was in the last frame.
bool LineTouched(const Renderer* r, const PixelRect& rect)
{
    for (int32_t k = 0; k < LightSpotCount; ++k) {
        if (r->spotTexels[k] != nullptr && Meet(rect, r->squares[k])) return true;
    }
    for (uint32_t i = 0; i < r->drawn.count; ++i) {
        if (Meet(rect, r->drawn.rects[i])) return true;
    }
    return false;
}

// Before the spots: the lines' new pixels, and the frame under every line that must be drawn
// again cleared (where a line was and is no more, too), each such rectangle to be shown.
void PrepareOverlay(Renderer* r, const OverlayFrame& overlay, bool (&redraw)[MaxOverlayLines],
                    RectList& changed)
{
    const uint32_t lines = std::min(overlay.lineCount, MaxOverlayLines);
    for (uint32_t l = 0; l < MaxOverlayLines; ++l) {
        LineLayer& layer = r->layers[l];
        const bool shown = l < lines && r->font != nullptr;
        const bool was = layer.valid;
        const PixelRect before = layer.rect;
        bool changedText = false;
        if (!shown) {
            layer.valid = false;
        } else if (!layer.valid || !SameLine(layer.line, overlay.lines[l])) {
            DrawLineLayer(r, layer, overlay.lines[l]);
            changedText = true;
        }
        if (was && (changedText || !shown)) {
            ClearRect(r, before);
            AddRect(changed, before);
        }
        redraw[l] = shown && (changedText || LineTouched(r, layer.rect)) && !IsEmpty(layer.rect);
        if (redraw[l]) {
            ClearRect(r, layer.rect);
            AddRect(changed, layer.rect);
        }
    }
}

void DrawOverlay(Renderer* r, const bool (&redraw)[MaxOverlayLines])
{
    for (uint32_t l = 0; l < MaxOverlayLines; ++l) {
        if (!redraw[l]) continue;
        const LineLayer& layer = r->layers[l];
        const PixelRect& rect = layer.rect;
        const int32_t w = rect.right - rect.left;
        for (int32_t y = rect.top; y < rect.bottom; ++y) {
            BlendOver(layer.pixels + static_cast<size_t>(y - rect.top) * w,
                      r->pixels + static_cast<size_t>(y) * r->width + rect.left, w);
        }
    }
}

void PresentFrame(Renderer* r, const OverlayFrame& overlay)
{
    if (!HasDevice(r) || r->pixels == nullptr) return;
    RectList changed;
    bool redraw[MaxOverlayLines] = {};
    PrepareOverlay(r, overlay, redraw, changed);
    ClearLastFrame(r);
    DrawSpots(r);
    DrawOverlay(r, redraw);

    RectList now;
    for (int32_t k = 0; k < LightSpotCount; ++k) {
        if (r->spotTexels[k] != nullptr) AddRect(now, r->squares[k]);
    }
    for (uint32_t i = 0; i < now.count; ++i) AddRect(changed, now.rects[i]);
    for (uint32_t i = 0; i < r->drawn.count; ++i) AddRect(changed, r->drawn.rects[i]);
    if (r->wholeNext) {
        changed.count = 0;
        AddRect(changed, PixelRect{0, 0, r->width, r->height});
    }
    r->drawn = now;
    r->framePresented = true;
    if (r->hasPresenter && r->presenter.show(r->presenter.context, r->pixels, r->width, r->width,
                                             r->height, changed.rects, changed.count)) {
        r->wholeNext = false;
    } else if (!r->hasPresenter) {
        r->wholeNext = false;
    }
}

bool Resize(Renderer* r, int32_t width, int32_t height)
{
    if (!HasDevice(r) || width <= 0 || height <= 0 || !ValidSize(width, height)) return false;
    if (width == r->width && height == r->height) return true;
    FreeFrame(r);
    if (r->hasPresenter && r->presenter.resize != nullptr &&
        !r->presenter.resize(r->presenter.context, width, height)) {
        // Shows nothing until a resize succeeds.
        r->width = 0;
        r->height = 0;
        return false;
    }
    return MakeFrame(r, width, height);
}

bool ReadFrame(Renderer* r, uint8_t* pixels, int32_t pitch)
{
    if (!HasDevice(r) || r->pixels == nullptr || !r->framePresented || pixels == nullptr ||
        pitch < 4 * r->width) {
        return false;
    }
    for (int32_t y = 0; y < r->height; ++y) {
        const uint32_t* in = r->pixels + static_cast<size_t>(y) * r->width;
        uint8_t* out = pixels + static_cast<size_t>(y) * pitch;
        for (int32_t x = 0; x < r->width; ++x, out += 4) {
            out[0] = static_cast<uint8_t>(in[x] >> 16);
            out[1] = static_cast<uint8_t>(in[x] >> 8);
            out[2] = static_cast<uint8_t>(in[x]);
            out[3] = 255;
        }
    }
    return true;
}

}  // namespace

const RendererBackEnd BackEnd = {
    Open,         CreateDevice, RecreateDevice, ReleaseDevice, HasDevice, Close,
    CreateSpot,   LoadFont,     ReleaseScene,   FrameSize,     Place,     LockTexels,
    UnlockTexels, PresentFrame, Resize,         ReadFrame,
};

void SetPresenterOpener(PresenterOpener opener, void* user)
{
    Opener = opener;
    OpenerUser = user;
}

bool GetPresenter(const Renderer* renderer, Presenter& presenter)
{
    if (renderer == nullptr || !renderer->hasPresenter) return false;
    presenter = renderer->presenter;
    return true;
}

}  // namespace cpu
