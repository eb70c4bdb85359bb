#include "render/cpu/cpu_raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace cpu {

namespace {

constexpr int64_t SubPixels = 256;
// How far past the viewport (in half viewports) a vertex may lie before triangles are cut:
// with back buffers of at most 16384 pixels that keeps every point within Reach, and the
// products of the edge functions (of snapped coordinates) well inside 64 bits.
constexpr double Guard = 64.0;
constexpr double Reach = 2097152.0;

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b)
{
    return -FloorDiv(-a, b);
}

int32_t Wrap(int64_t index, int32_t size)
{
    const int64_t r = index % size;
    return static_cast<int32_t>(r < 0 ? r + size : r);
}

// Where texture coordinate t samples along a side of `size` texels: the first texel of the
// pair and the weight (256ths, to nearest) of the second. Bilinear sampling has its texel
// centres at half-texel places; point sampling takes the texel t falls in.
void TexelStep(double t, int32_t size, bool linear, int32_t& index, uint32_t& weight)
{
    if (!std::isfinite(t)) {
        index = 0;
        weight = 0;
        return;
    }
    // Far out, only the place within the texture matters (it repeats).
    if (std::fabs(t) > 1048576.0) t -= std::floor(t);
    // In 256ths of a texel from the first centre, rounded to nearest; or whole texels.
    const double place = linear ? t * size * SubPixels + 0.5 : t * size;
    auto whole = static_cast<int64_t>(place);
    if (static_cast<double>(whole) > place) --whole;  // floor
    if (linear) {
        whole -= SubPixels / 2;
        weight = static_cast<uint32_t>(whole & (SubPixels - 1));
        whole >>= 8;
    } else {
        weight = 0;
    }
    index = whole >= 0 && whole < size ? static_cast<int32_t>(whole) : Wrap(whole, size);
}

// A vertex on the screen: pixel coordinates, snapped ones (1/256 pixel), and what is
// interpolated: q = 1/w, and the texture coordinates.
struct ScreenVertex {
    double x;
    double y;
    int64_t fx;
    int64_t fy;
    double q;
    double u;
    double v;
};

// A vertex in clip space (x, y, z, w) with its texture coordinates.
struct ClipVertex {
    double x;
    double y;
    double z;
    double w;
    double u;
    double v;
};

void Touch(DrawContext& context, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    if (!context.drewAny) {
        context.bounds = PixelRect{left, top, right, bottom};
        context.drewAny = true;
        return;
    }
    PixelRect& b = context.bounds;
    b.left = std::min(b.left, left);
    b.top = std::min(b.top, top);
    b.right = std::max(b.right, right);
    b.bottom = std::max(b.bottom, bottom);
}

// Snaps, or false when the point is not a finite one within reach of the fixed-point maths.
bool Snap(ScreenVertex& s)
{
    if (!(std::fabs(s.x) < Reach) || !(std::fabs(s.y) < Reach) || !std::isfinite(s.q) ||
        !std::isfinite(s.u) || !std::isfinite(s.v)) {
        return false;
    }
    s.fx = std::llrint(s.x * SubPixels);
    s.fy = std::llrint(s.y * SubPixels);
    return true;
}

ScreenVertex Project(const DrawContext& context, const ClipVertex& c)
{
    const double q = 1.0 / c.w;
    ScreenVertex s{};
    s.x = (1.0 + c.x * q) * context.halfWidth;
    s.y = (1.0 - c.y * q) * context.halfHeight;
    s.q = q;
    s.u = c.u;
    s.v = c.v;
    return s;
}

ClipVertex FetchClip(const DrawContext& context, const uint8_t* data)
{
    // x y z u v, or x y z rhw u v.
    float f[6] = {};
    std::memcpy(f, data, context.pretransformed ? 6 * sizeof(float) : 5 * sizeof(float));
    ClipVertex c{};
    if (context.pretransformed) {
        // Back from pixels, so that both kinds of vertex clip alike; rhw is 1/w.
        const double w = 1.0 / static_cast<double>(f[3]);
        c.x = (f[0] / context.halfWidth - 1.0) * w;
        c.y = (1.0 - f[1] / context.halfHeight) * w;
        c.z = static_cast<double>(f[2]) * w;
        c.w = w;
        c.u = f[4];
        c.v = f[5];
        return c;
    }
    const Matrix4& m = context.transform;
    const double x = f[0];
    const double y = f[1];
    const double z = f[2];
    c.x = x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0];
    c.y = x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1];
    c.z = x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2];
    c.w = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    c.u = f[3];
    c.v = f[4];
    return c;
}

// The screen place of a vertex that needs no clipping: pretransformed ones as they are.
ScreenVertex ScreenOf(const DrawContext& context, const uint8_t* data, const ClipVertex& c)
{
    if (!context.pretransformed) return Project(context, c);
    float f[6];
    std::memcpy(f, data, sizeof f);
    return ScreenVertex{f[0], f[1], 0, 0, f[3], f[4], f[5]};
}

// Inside every plane the clipper would cut with.
bool NeedsNoClipping(const DrawContext& context, const ClipVertex& c)
{
    const bool depthInside = context.pretransformed || (c.z >= 0.0 && c.z <= c.w);
    return c.w > 0.0 && depthInside && std::fabs(c.x) <= Guard * c.w &&
           std::fabs(c.y) <= Guard * c.w;
}

// ---- rectangles -------------------------------------------------------------------------

struct Rectangle {
    int64_t left, top, right, bottom;  // snapped, left < right, top < bottom: what is covered
    double x0, y0, x1, y1;             // the same edges unsnapped: what is interpolated
    double uLeft, uRight, vTop, vBottom;
};

int Corner(const ScreenVertex& s, const Rectangle& r)
{
    return (s.fx == r.right ? 1 : 0) + (s.fy == r.bottom ? 2 : 0);
}

double SignedArea(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c)
{
    return static_cast<double>(b.fx - a.fx) * static_cast<double>(c.fy - a.fy) -
           static_cast<double>(b.fy - a.fy) * static_cast<double>(c.fx - a.fx);
}

bool Culled(uint32_t cullMode, double area)
{
    // With y down, a positive area is a clockwise triangle on the screen.
    return (cullMode == CullClockwise && area > 0.0) ||
           (cullMode == CullCounterClockwise && area < 0.0);
}

// True when the six vertices are two triangles that exactly cover a screen-aligned rectangle
// once, with u following x and v following y alone at one depth.
bool AsRectangle(const ScreenVertex (&s)[6], uint32_t cullMode, Rectangle& r)
{
    for (const ScreenVertex& p : s) {
        if (p.q != s[0].q) return false;
    }
    r.left = r.right = s[0].fx;
    r.top = r.bottom = s[0].fy;
    for (const ScreenVertex& p : s) {
        r.left = std::min(r.left, p.fx);
        r.right = std::max(r.right, p.fx);
        r.top = std::min(r.top, p.fy);
        r.bottom = std::max(r.bottom, p.fy);
    }
    if (r.left == r.right || r.top == r.bottom) return false;
    bool uSet[2] = {false, false};
    bool vSet[2] = {false, false};
    double u[2] = {0, 0};
    double v[2] = {0, 0};
    for (const ScreenVertex& p : s) {
        if (p.fx != r.left && p.fx != r.right) return false;
        if (p.fy != r.top && p.fy != r.bottom) return false;
        const int ux = p.fx == r.right ? 1 : 0;
        const int vy = p.fy == r.bottom ? 1 : 0;
        if (uSet[ux] && u[ux] != p.u) return false;
        if (vSet[vy] && v[vy] != p.v) return false;
        uSet[ux] = vSet[vy] = true;
        u[ux] = p.u;
        v[vy] = p.v;
        (ux ? r.x1 : r.x0) = p.x;
        (vy ? r.y1 : r.y0) = p.y;
    }
    int missing[2];
    for (int t = 0; t < 2; ++t) {
        const int a = Corner(s[3 * t], r);
        const int b = Corner(s[3 * t + 1], r);
        const int c = Corner(s[3 * t + 2], r);
        if (a == b || b == c || a == c) return false;
        missing[t] = 6 - a - b - c;
        if (Culled(cullMode, SignedArea(s[3 * t], s[3 * t + 1], s[3 * t + 2]))) return false;
    }
    // Each triangle lacks one corner; lacking opposite ones, they share the diagonal.
    if (missing[0] != 3 - missing[1]) return false;
    r.uLeft = u[0];
    r.uRight = u[1];
    r.vTop = v[0];
    r.vBottom = v[1];
    return true;
}

// The magnification filter for a texture drawn as large as it is or larger, the minification
// filter for one drawn smaller.
bool LinearFor(const DrawContext& context, double texelsPerPixel)
{
    return texelsPerPixel > 1.0 ? context.minLinear : context.magLinear;
}

void DrawRectangle(DrawContext& context, const Rectangle& r)
{
    Device* device = context.device;
    // The first pixel centre at or after each edge, within the back buffer.
    auto firstAfter = [](int64_t edge, int32_t limit) {
        return static_cast<int32_t>(std::clamp<int64_t>(CeilDiv(edge, SubPixels), 0, limit));
    };
    const int32_t left = firstAfter(r.left, device->width);
    const int32_t right = firstAfter(r.right, device->width);
    const int32_t top = firstAfter(r.top, device->height);
    const int32_t bottom = firstAfter(r.bottom, device->height);
    if (left >= right || top >= bottom) return;

    const double width = r.x1 - r.x0;
    const double height = r.y1 - r.y0;
    const double scaleX = std::fabs((r.uRight - r.uLeft) * context.textureWidth / width);
    const double scaleY = std::fabs((r.vBottom - r.vTop) * context.textureHeight / height);
    const bool linear = LinearFor(context, std::max(scaleX, scaleY));

    for (int32_t x = left; x < right; ++x) {
        const double t = (x - r.x0) / width;
        const double u = r.uLeft + t * (r.uRight - r.uLeft);
        int32_t index = 0;
        uint32_t weight = 0;
        TexelStep(u, context.textureWidth, linear, index, weight);
        const int32_t i = x - left;
        device->columnIndex[i] = index;
        std::fill_n(device->columnWeight + 4 * i, 4, static_cast<uint16_t>(weight));
    }
    const int32_t count = right - left;
    GroupColumns(count, device->columnIndex, device->columnWeight, device->columnOffset,
                 device->columnGroupBase);
    const Columns columns{count, device->columnIndex, device->columnWeight, device->columnOffset,
                          device->columnGroupBase};

    // Each texture row is resampled across once while the rows that need it are drawn; two
    // are kept, the pair the current row mixes.
    int32_t kept[2] = {-1, -1};
    auto resampled = [&](int32_t row, int32_t spare) -> const uint32_t* {
        for (int k = 0; k < 2; ++k) {
            if (kept[k] == row) return device->resampledRows[k];
        }
        const int k = kept[0] == spare ? 1 : 0;
        context.functions.resample(context.texels + static_cast<size_t>(row) * context.texelPitch,
                                   columns, device->resampledRows[k]);
        kept[k] = row;
        return device->resampledRows[k];
    };
    Span span{};
    span.count = count;
    span.modulate = context.modulate;
    span.source = context.source;
    span.destination = context.destination;
    for (int32_t y = top; y < bottom; ++y) {
        const double t = (y - r.y0) / height;
        const double v = r.vTop + t * (r.vBottom - r.vTop);
        int32_t row = 0;
        uint32_t weight = 0;
        TexelStep(v, context.textureHeight, linear, row, weight);
        const int32_t next = row + 1 == context.textureHeight ? 0 : row + 1;
        span.target = device->pixels + static_cast<size_t>(y) * device->width + left;
        span.upper = resampled(row, next);
        span.lower = weight == 0 ? span.upper : resampled(next, row);
        span.rowWeight = weight;
        context.functions.blend(span);
    }
    Touch(context, left, top, right, bottom);
}

// ---- triangles --------------------------------------------------------------------------

bool TopLeft(const ScreenVertex& from, const ScreenVertex& to)
{
    const int64_t dx = to.fx - from.fx;
    const int64_t dy = to.fy - from.fy;
    return dy < 0 || (dy == 0 && dx > 0);
}

void DrawTriangle(DrawContext& context, ScreenVertex a, ScreenVertex b, ScreenVertex c)
{
    Device* device = context.device;
    const double signedArea = SignedArea(a, b, c);
    if (signedArea == 0.0 || Culled(device->cullMode, signedArea)) return;
    if (signedArea < 0.0) std::swap(b, c);

    const int64_t minX = std::min({a.fx, b.fx, c.fx});
    const int64_t maxX = std::max({a.fx, b.fx, c.fx});
    const int64_t minY = std::min({a.fy, b.fy, c.fy});
    const int64_t maxY = std::max({a.fy, b.fy, c.fy});
    const auto left = static_cast<int32_t>(std::max<int64_t>(CeilDiv(minX, SubPixels), 0));
    const auto right =
        static_cast<int32_t>(std::min<int64_t>(FloorDiv(maxX, SubPixels) + 1, device->width));
    const auto top = static_cast<int32_t>(std::max<int64_t>(CeilDiv(minY, SubPixels), 0));
    const auto bottom =
        static_cast<int32_t>(std::min<int64_t>(FloorDiv(maxY, SubPixels) + 1, device->height));
    if (left >= right || top >= bottom) return;

    // Edge p->q at pixel centre P: (q - p) x (P - p); the inside is where all three are >= 0,
    // a zero counting only on a top or left edge.
    const ScreenVertex* from[3] = {&b, &c, &a};
    const ScreenVertex* to[3] = {&c, &a, &b};
    int64_t bias[3];
    for (int k = 0; k < 3; ++k) bias[k] = TopLeft(*from[k], *to[k]) ? 0 : -1;

    // Interpolation follows the unsnapped corners, as the rectangles' does. la and lb weigh a
    // and b (lc = 1 - la - lb) as planes over the screen.
    const double bx = b.x - a.x, by = b.y - a.y;
    const double cx = c.x - a.x, cy = c.y - a.y;
    const double exactArea = bx * cy - by * cx;
    if (exactArea == 0.0) return;
    const double laX = (b.y - c.y) / exactArea, laY = (c.x - b.x) / exactArea;
    const double lbX = cy / exactArea, lbY = -cx / exactArea;
    const double laAt = (b.x * c.y - b.y * c.x) / exactArea;
    const double lbAt = (cx * a.y - cy * a.x) / exactArea;

    // How many texels a pixel step covers, for the choice of filter (exact for affine
    // triangles, near enough for the others).
    const double dudx = ((b.u - a.u) * cy - (c.u - a.u) * by) / exactArea * context.textureWidth;
    const double dudy = ((c.u - a.u) * bx - (b.u - a.u) * cx) / exactArea * context.textureWidth;
    const double dvdx = ((b.v - a.v) * cy - (c.v - a.v) * by) / exactArea * context.textureHeight;
    const double dvdy = ((c.v - a.v) * bx - (b.v - a.v) * cx) / exactArea * context.textureHeight;
    const bool linear =
        LinearFor(context, std::max(std::hypot(dudx, dvdx), std::hypot(dudy, dvdy)));
    const double ua = a.u * a.q, ub = b.u * b.q, uc = c.u * c.q;
    const double va = a.v * a.q, vb = b.v * b.q, vc = c.v * c.q;

    bool drew = false;
    for (int32_t y = top; y < bottom; ++y) {
        const int64_t py = y * SubPixels;
        uint32_t* row = device->pixels + static_cast<size_t>(y) * device->width;
        for (int32_t x = left; x < right; ++x) {
            const int64_t px = x * SubPixels;
            bool inside = true;
            for (int k = 0; k < 3; ++k) {
                const ScreenVertex& p = *from[k];
                const ScreenVertex& q = *to[k];
                const int64_t e = (q.fx - p.fx) * (py - p.fy) - (q.fy - p.fy) * (px - p.fx);
                inside = inside && e + bias[k] >= 0;
            }
            if (!inside) continue;
            const double la = laAt + laX * x + laY * y;
            const double lb = lbAt + lbX * x + lbY * y;
            const double lc = 1.0 - la - lb;
            const double q = la * a.q + lb * b.q + lc * c.q;
            const double u = (la * ua + lb * ub + lc * uc) / q;
            const double v = (la * va + lb * vb + lc * vc) / q;
            int32_t column = 0, line = 0;
            uint32_t fu = 0, fv = 0;
            TexelStep(u, context.textureWidth, linear, column, fu);
            TexelStep(v, context.textureHeight, linear, line, fv);
            const int32_t next = line + 1 == context.textureHeight ? 0 : line + 1;
            const uint32_t* row0 = context.texels + static_cast<size_t>(line) * context.texelPitch;
            const uint32_t* row1 = context.texels + static_cast<size_t>(next) * context.texelPitch;
            row[x] =
                DrawPixel(row[x], row0[column], row0[column + 1], row1[column], row1[column + 1],
                          fu, fv, context.modulate, context.source, context.destination);
            drew = true;
        }
    }
    if (drew) Touch(context, left, top, right, bottom);
}

// Cuts the polygon with one plane (inside where the distance is >= 0); returns the new count.
template <typename Distance>
int ClipPolygon(const ClipVertex* in, int count, ClipVertex* out, Distance distance)
{
    int made = 0;
    for (int i = 0; i < count; ++i) {
        const ClipVertex& p = in[i];
        const ClipVertex& q = in[(i + 1) % count];
        const double dp = distance(p);
        const double dq = distance(q);
        if (dp >= 0.0) out[made++] = p;
        if ((dp >= 0.0) != (dq >= 0.0)) {
            const double t = dp / (dp - dq);
            out[made++] =
                ClipVertex{p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, p.z + (q.z - p.z) * t,
                           p.w + (q.w - p.w) * t, p.u + (q.u - p.u) * t, p.v + (q.v - p.v) * t};
        }
    }
    return made;
}

// Draws a triangle given in clip space; `screen` holds the same three on the screen, used as
// they are when nothing needs cutting.
void DrawClippedTriangle(DrawContext& context, const ClipVertex (&clip)[3],
                         ScreenVertex (&screen)[3])
{
    const ClipVertex& a = clip[0];
    const ClipVertex& b = clip[1];
    const ClipVertex& c = clip[2];
    if (NeedsNoClipping(context, a) && NeedsNoClipping(context, b) && NeedsNoClipping(context, c)) {
        if (Snap(screen[0]) && Snap(screen[1]) && Snap(screen[2])) {
            DrawTriangle(context, screen[0], screen[1], screen[2]);
        }
        return;
    }
    // Each of the seven planes adds one vertex at most.
    constexpr double NearestW = 1e-9;
    ClipVertex first[12] = {a, b, c};
    ClipVertex second[12];
    int count = 3;
    count = ClipPolygon(first, count, second, [](const ClipVertex& v) { return v.w - NearestW; });
    using V = const ClipVertex&;
    count = ClipPolygon(second, count, first, [](V v) { return Guard * v.w - v.x; });
    count = ClipPolygon(first, count, second, [](V v) { return Guard * v.w + v.x; });
    count = ClipPolygon(second, count, first, [](V v) { return Guard * v.w - v.y; });
    count = ClipPolygon(first, count, second, [](V v) { return Guard * v.w + v.y; });
    ClipVertex* polygon = second;
    if (!context.pretransformed) {
        count = ClipPolygon(second, count, first, [](const ClipVertex& v) { return v.z; });
        count = ClipPolygon(first, count, second, [](const ClipVertex& v) { return v.w - v.z; });
    }
    if (count < 3) return;
    ScreenVertex s[12];
    for (int i = 0; i < count; ++i) {
        s[i] = Project(context, polygon[i]);
        if (!Snap(s[i])) return;
    }
    for (int i = 1; i + 1 < count; ++i) DrawTriangle(context, s[0], s[i], s[i + 1]);
}

}  // namespace

void DrawTriangleList(DrawContext& context, const uint8_t* data, uint32_t stride,
                      uint32_t primitiveCount)
{
    const uint32_t cullMode = context.device->cullMode;
    // Two triangles at a time, as the saver's quads come.
    for (uint32_t first = 0; first < primitiveCount; first += 2) {
        const uint32_t triangles = std::min(2u, primitiveCount - first);
        ClipVertex clip[6];
        ScreenVertex screen[6];
        bool rectangular = triangles == 2;
        for (uint32_t k = 0; k < 3 * triangles; ++k) {
            const uint8_t* at = data + (3ull * first + k) * stride;
            clip[k] = FetchClip(context, at);
            screen[k] = ScreenOf(context, at, clip[k]);
            rectangular = rectangular && NeedsNoClipping(context, clip[k]) && Snap(screen[k]);
        }
        Rectangle rectangle{};
        if (rectangular && AsRectangle(screen, cullMode, rectangle)) {
            DrawRectangle(context, rectangle);
            continue;
        }
        for (uint32_t t = 0; t < triangles; ++t) {
            const ClipVertex triangleClip[3] = {clip[3 * t], clip[3 * t + 1], clip[3 * t + 2]};
            ScreenVertex triangleScreen[3] = {screen[3 * t], screen[3 * t + 1], screen[3 * t + 2]};
            DrawClippedTriangle(context, triangleClip, triangleScreen);
        }
    }
}

}  // namespace cpu
