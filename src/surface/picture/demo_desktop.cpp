#include "surface/picture/demo_desktop.h"

#include <algorithm>
#include <cstring>
#include <iterator>

// A small font made of one-pixel strokes; it builds text out of axis-aligned quads.
#include <stb_easy_font.h>

namespace {

struct Rgb {
    uint8_t r;
    uint8_t g;
    uint8_t b;
};

struct Rect {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

// Drawing happens in screen coordinates, y down from the top row; everything is clipped to
// `clip`, which never reaches past the picture.
struct Canvas {
    uint8_t* pixels;
    int32_t width;
    int32_t height;
    size_t stride;
    Rect clip;
};

Rgb Mix(Rgb a, Rgb b, int32_t num, int32_t den)
{
    if (den <= 0) return a;
    const auto lerp = [&](uint8_t p, uint8_t q) {
        return static_cast<uint8_t>(p + (static_cast<int32_t>(q) - p) * num / den);
    };
    return Rgb{lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

void SetClip(Canvas& canvas, Rect r)
{
    const int32_t x0 = std::max(r.x, 0);
    const int32_t y0 = std::max(r.y, 0);
    const int32_t x1 = std::min(r.x + r.w, canvas.width);
    const int32_t y1 = std::min(r.y + r.h, canvas.height);
    canvas.clip = Rect{x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
}

void ClipToScreen(Canvas& canvas)
{
    SetClip(canvas, Rect{0, 0, canvas.width, canvas.height});
}

uint8_t* PixelAt(Canvas& canvas, int32_t x, int32_t y)
{
    // Bottom row first, as in a capture.
    const size_t row = static_cast<size_t>(canvas.height - 1 - y);
    return canvas.pixels + row * canvas.stride + 3 * static_cast<size_t>(x);
}

// Calls paint(pixel) for every pixel of r inside the canvas's clip rectangle.
template <typename Paint>
void PaintRect(Canvas& canvas, Rect r, Paint paint)
{
    const Rect& c = canvas.clip;
    const int32_t x0 = std::max(r.x, c.x);
    const int32_t y0 = std::max(r.y, c.y);
    const int32_t x1 = std::min(r.x + r.w, c.x + c.w);
    const int32_t y1 = std::min(r.y + r.h, c.y + c.h);
    for (int32_t y = y0; y < y1; ++y) {
        uint8_t* p = PixelAt(canvas, x0, y);
        for (int32_t x = x0; x < x1; ++x, p += 3) paint(p);
    }
}

void FillRect(Canvas& canvas, Rect r, Rgb color)
{
    PaintRect(canvas, r, [color](uint8_t* p) {
        p[0] = color.b;
        p[1] = color.g;
        p[2] = color.r;
    });
}

void FrameRect(Canvas& canvas, Rect r, Rgb color)
{
    FillRect(canvas, Rect{r.x, r.y, r.w, 1}, color);
    FillRect(canvas, Rect{r.x, r.y + r.h - 1, r.w, 1}, color);
    FillRect(canvas, Rect{r.x, r.y, 1, r.h}, color);
    FillRect(canvas, Rect{r.x + r.w - 1, r.y, 1, r.h}, color);
}

// Darkens what lies below by a quarter: a window's shadow.
void ShadeRect(Canvas& canvas, Rect r)
{
    PaintRect(canvas, r, [](uint8_t* p) {
        for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(p[i] * 3 / 4);
    });
}

// Top colour to bottom colour.
void FillGradient(Canvas& canvas, Rect r, Rgb top, Rgb bottom)
{
    for (int32_t y = 0; y < r.h; ++y) {
        FillRect(canvas, Rect{r.x, r.y + y, r.w, 1}, Mix(top, bottom, y, std::max(r.h - 1, 1)));
    }
}

void FillCircle(Canvas& canvas, int32_t cx, int32_t cy, int32_t radius, Rgb color)
{
    const int64_t r2 = static_cast<int64_t>(radius) * radius;
    for (int32_t dy = -radius; dy <= radius; ++dy) {
        int32_t half = 0;
        while (static_cast<int64_t>(half + 1) * (half + 1) + static_cast<int64_t>(dy) * dy <= r2) {
            ++half;
        }
        FillRect(canvas, Rect{cx - half, cy + dy, 2 * half + 1, 1}, color);
    }
}

// One-pixel diagonal from (x, y), `length` pixels long, going right and down (dir 1) or right
// and up (dir -1).
void Diagonal(Canvas& canvas, int32_t x, int32_t y, int32_t length, int32_t dir, Rgb color)
{
    for (int32_t i = 0; i < length; ++i) FillRect(canvas, Rect{x + i, y + dir * i, 1, 1}, color);
}

// Text with its top-left corner at (x, y); each stroke of the font is `scale` pixels wide.
// Printable ASCII only. Returns the width drawn.
int32_t DrawText(Canvas& canvas, int32_t x, int32_t y, const char* text, Rgb color,
                 int32_t scale = 1)
{
    char line[128];
    size_t length = 0;
    for (; text[length] != 0 && length + 1 < sizeof line; ++length) {
        const char ch = text[length];
        line[length] = (ch >= 32 && ch < 127) ? ch : '?';
    }
    line[length] = 0;

    // Four vertices of 16 bytes per quad, under 300 bytes per character.
    alignas(16) static char quads[128 * 320];
    const int count = stb_easy_font_print(0.0f, 0.0f, line, nullptr, quads, sizeof quads);
    for (int q = 0; q < count; ++q) {
        float corner[2][2];
        std::memcpy(corner[0], quads + 64 * q, sizeof corner[0]);
        std::memcpy(corner[1], quads + 64 * q + 32, sizeof corner[1]);
        // The font's coordinates are whole numbers.
        const auto x0 = static_cast<int32_t>(corner[0][0]);
        const auto y0 = static_cast<int32_t>(corner[0][1]);
        const auto x1 = static_cast<int32_t>(corner[1][0]);
        const auto y1 = static_cast<int32_t>(corner[1][1]);
        FillRect(canvas, Rect{x + x0 * scale, y + y0 * scale, (x1 - x0) * scale, (y1 - y0) * scale},
                 color);
    }
    return stb_easy_font_width(line) * scale;
}

// --- wallpaper -------------------------------------------------------------------------------

// A night-blue sky, a low sun and two ranges of hills.
void DrawWallpaper(Canvas& canvas)
{
    const int32_t w = canvas.width;
    const int32_t h = canvas.height;
    FillGradient(canvas, Rect{0, 0, w, h}, Rgb{22, 38, 82}, Rgb{196, 120, 88});

    const int32_t radius = std::max(std::min(w, h) / 11, 1);
    FillCircle(canvas, w * 72 / 100, h * 52 / 100, radius + radius / 3, Rgb{222, 150, 96});
    FillCircle(canvas, w * 72 / 100, h * 52 / 100, radius, Rgb{250, 214, 140});

    struct Hill {
        int32_t centre;  // per mille of the width
        int32_t top;     // per mille of the height
        Rgb color;
    };
    const Hill hills[] = {{300, 560, Rgb{58, 64, 104}},
                          {820, 640, Rgb{40, 46, 78}},
                          {520, 760, Rgb{26, 30, 52}}};
    for (const Hill& hill : hills) {
        const int64_t cx = static_cast<int64_t>(w) * hill.centre / 1000;
        const int64_t top = static_cast<int64_t>(h) * hill.top / 1000;
        const int64_t halfWidth = std::max<int64_t>(w / 2, 1);
        for (int32_t x = 0; x < w; ++x) {
            // A parabola that falls by 30 % of the height over half the width.
            const int64_t dx = x - cx;
            const int64_t y =
                top + dx * dx * (3 * static_cast<int64_t>(h)) / (10 * halfWidth * halfWidth);
            if (y < h) {
                FillRect(canvas, Rect{x, static_cast<int32_t>(y), 1, static_cast<int32_t>(h - y)},
                         hill.color);
            }
        }
    }
}

// --- icons ---------------------------------------------------------------------------------

enum class IconKind { Folder, Document, Terminal, Picture, Trash };

// A 40 x 36 icon with its top-left corner at (x, y).
void DrawIcon(Canvas& canvas, int32_t x, int32_t y, IconKind kind)
{
    const Rgb outline{40, 40, 48};
    switch (kind) {
    case IconKind::Folder:
        FillRect(canvas, Rect{x + 2, y + 4, 16, 6}, Rgb{214, 160, 44});
        FillRect(canvas, Rect{x + 2, y + 8, 36, 26}, Rgb{240, 190, 70});
        FillRect(canvas, Rect{x + 2, y + 14, 36, 2}, Rgb{200, 150, 40});
        FrameRect(canvas, Rect{x + 2, y + 8, 36, 26}, Rgb{150, 110, 30});
        break;
    case IconKind::Document:
        FillRect(canvas, Rect{x + 8, y, 24, 34}, Rgb{248, 248, 244});
        FrameRect(canvas, Rect{x + 8, y, 24, 34}, outline);
        FillRect(canvas, Rect{x + 24, y, 8, 8}, Rgb{200, 200, 196});
        for (int32_t line = 0; line < 5; ++line) {
            FillRect(canvas, Rect{x + 12, y + 12 + 4 * line, line == 4 ? 9 : 16, 2},
                     Rgb{90, 110, 160});
        }
        break;
    case IconKind::Terminal:
        FillRect(canvas, Rect{x + 2, y + 2, 36, 30}, Rgb{24, 24, 28});
        FrameRect(canvas, Rect{x + 2, y + 2, 36, 30}, Rgb{150, 150, 160});
        FillRect(canvas, Rect{x + 3, y + 3, 34, 5}, Rgb{120, 120, 130});
        DrawText(canvas, x + 7, y + 13, ">_", Rgb{120, 230, 120});
        break;
    case IconKind::Picture:
        FillRect(canvas, Rect{x + 2, y + 4, 36, 28}, Rgb{120, 180, 230});
        FrameRect(canvas, Rect{x + 2, y + 4, 36, 28}, Rgb{230, 230, 230});
        FillCircle(canvas, x + 28, y + 12, 4, Rgb{250, 230, 120});
        for (int32_t i = 0; i < 14; ++i) {
            FillRect(canvas, Rect{x + 6 + i, y + 30 - i, 28 - 2 * i, 1}, Rgb{60, 130, 70});
        }
        break;
    case IconKind::Trash:
        FillRect(canvas, Rect{x + 8, y + 4, 24, 4}, Rgb{170, 170, 176});
        FillRect(canvas, Rect{x + 16, y + 1, 8, 3}, Rgb{170, 170, 176});
        FillRect(canvas, Rect{x + 10, y + 9, 20, 25}, Rgb{200, 200, 206});
        FrameRect(canvas, Rect{x + 10, y + 9, 20, 25}, outline);
        for (int32_t i = 0; i < 3; ++i) {
            FillRect(canvas, Rect{x + 14 + 5 * i, y + 13, 2, 17}, Rgb{130, 130, 138});
        }
        break;
    }
}

void DrawDesktopIcons(Canvas& canvas)
{
    struct Entry {
        IconKind kind;
        const char* label;
    };
    const Entry entries[] = {{IconKind::Folder, "Home"},       {IconKind::Document, "notes.txt"},
                             {IconKind::Terminal, "Terminal"}, {IconKind::Picture, "beach.jpg"},
                             {IconKind::Folder, "Projects"},   {IconKind::Trash, "Trash"}};
    int32_t y = 18;
    for (const Entry& entry : entries) {
        DrawIcon(canvas, 24, y, entry.kind);
        // A darker copy behind the label keeps it readable on any wallpaper.
        DrawText(canvas, 15, y + 43, entry.label, Rgb{10, 10, 20});
        DrawText(canvas, 14, y + 42, entry.label, Rgb{250, 250, 250});
        y += 76;
    }
}

// --- windows -------------------------------------------------------------------------------

constexpr int32_t TitleHeight = 26;

// Frame, shadow, title bar with its three buttons; returns the client area.
Rect DrawWindowFrame(Canvas& canvas, Rect r, const char* title, bool active)
{
    ClipToScreen(canvas);
    ShadeRect(canvas, Rect{r.x + 6, r.y + 6, r.w, r.h});
    FillRect(canvas, r, Rgb{236, 236, 232});
    FrameRect(canvas, r, Rgb{60, 62, 70});

    const Rect bar{r.x + 1, r.y + 1, r.w - 2, TitleHeight};
    if (active) {
        FillGradient(canvas, bar, Rgb{70, 120, 200}, Rgb{36, 76, 150});
    } else {
        FillGradient(canvas, bar, Rgb{170, 172, 178}, Rgb{140, 142, 150});
    }
    SetClip(canvas, Rect{bar.x, bar.y, bar.w - 3 * 24 - 4, bar.h});
    DrawText(canvas, bar.x + 10, bar.y + 6, title, active ? Rgb{255, 255, 255} : Rgb{40, 40, 48},
             2);
    ClipToScreen(canvas);

    // Minimise, maximise, close, from the left.
    for (int32_t i = 0; i < 3; ++i) {
        const Rect button{bar.x + bar.w - 3 * 24 - 2 + 24 * i, bar.y + 4, 20, 18};
        const bool close = i == 2;
        FillRect(canvas, button, close ? Rgb{210, 60, 50} : Rgb{220, 222, 228});
        FrameRect(canvas, button, Rgb{40, 42, 50});
        const Rgb mark = close ? Rgb{255, 255, 255} : Rgb{30, 30, 36};
        if (i == 0) {
            FillRect(canvas, Rect{button.x + 5, button.y + 12, 10, 2}, mark);
        } else if (i == 1) {
            FrameRect(canvas, Rect{button.x + 5, button.y + 4, 10, 10}, mark);
            FillRect(canvas, Rect{button.x + 5, button.y + 5, 10, 1}, mark);
        } else {
            Diagonal(canvas, button.x + 5, button.y + 4, 10, 1, mark);
            Diagonal(canvas, button.x + 6, button.y + 4, 10, 1, mark);
            Diagonal(canvas, button.x + 5, button.y + 13, 10, -1, mark);
            Diagonal(canvas, button.x + 6, button.y + 13, 10, -1, mark);
        }
    }
    const Rect client{r.x + 1, r.y + 1 + TitleHeight, r.w - 2, r.h - 2 - TitleHeight};
    SetClip(canvas, client);
    return client;
}

void DrawMenuBar(Canvas& canvas, Rect& client, const char* const* items, int32_t count)
{
    FillRect(canvas, Rect{client.x, client.y, client.w, 20}, Rgb{246, 246, 244});
    FillRect(canvas, Rect{client.x, client.y + 19, client.w, 1}, Rgb{200, 200, 196});
    int32_t x = client.x + 8;
    for (int32_t i = 0; i < count; ++i) {
        x += DrawText(canvas, x, client.y + 6, items[i], Rgb{30, 30, 36}) + 14;
    }
    client.y += 20;
    client.h -= 20;
}

const char* const EditorText[] = {
    "Shopping list for the weekend:",
    "",
    "  - bread, butter, two dozen eggs",
    "  - coffee (the dark roast again)",
    "  - batteries for the kitchen clock",
    "",
    "Call the garage about the brakes before Friday.",
    "Meeting notes, 14 March:",
    "  1. The new office opens in May; desks arrive in April.",
    "  2. Everyone moves their files to the shared drive.",
    "  3. Lunch on the terrace when the weather allows.",
    "",
    "Ideas for the garden: tomatoes along the south wall,",
    "herbs in the old wooden boxes, a bench under the apple tree.",
    "",
    "Remember: the quick brown fox jumps over the lazy dog.",
    "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789",
    "",
    "Books to read: three novels, a history of clocks, a cookbook.",
    "Letters to answer: aunt Maria, the landlord, the library.",
};

void DrawEditor(Canvas& canvas, Rect r, bool active)
{
    Rect client = DrawWindowFrame(canvas, r, "notes.txt - Editor", active);
    const char* const menu[] = {"File", "Edit", "Search", "View", "Help"};
    DrawMenuBar(canvas, client, menu, 5);
    FillRect(canvas, client, Rgb{255, 255, 255});
    FillRect(canvas, Rect{client.x, client.y, 34, client.h}, Rgb{232, 234, 238});
    char number[8];
    for (int32_t line = 0; line * 14 + 8 < client.h; ++line) {
        const int32_t y = client.y + 6 + line * 14;
        const int32_t n = line + 1;
        number[0] = static_cast<char>(n >= 10 ? '0' + n / 10 % 10 : ' ');
        number[1] = static_cast<char>('0' + n % 10);
        number[2] = 0;
        DrawText(canvas, client.x + 10, y, number, Rgb{140, 140, 150});
        DrawText(canvas, client.x + 44, y,
                 EditorText[static_cast<size_t>(line) % std::size(EditorText)], Rgb{20, 20, 30});
    }
    // The text cursor.
    FillRect(canvas, Rect{client.x + 44, client.y + 6 + 3 * 14 - 2, 1, 12}, Rgb{0, 0, 0});
}

void DrawFileManager(Canvas& canvas, Rect r, bool active)
{
    Rect client = DrawWindowFrame(canvas, r, "Documents", active);
    // Tool bar with back, forward and a path field.
    FillRect(canvas, Rect{client.x, client.y, client.w, 30}, Rgb{240, 240, 238});
    for (int32_t i = 0; i < 2; ++i) {
        const Rect button{client.x + 6 + 28 * i, client.y + 5, 22, 20};
        FillRect(canvas, button, Rgb{226, 226, 230});
        FrameRect(canvas, button, Rgb{150, 150, 160});
        DrawText(canvas, button.x + 7, button.y + 6, i == 0 ? "<" : ">", Rgb{30, 30, 36});
    }
    const Rect path{client.x + 66, client.y + 5, client.w - 76, 20};
    FillRect(canvas, path, Rgb{255, 255, 255});
    FrameRect(canvas, path, Rgb{150, 150, 160});
    DrawText(canvas, path.x + 6, path.y + 6, "/home/user/Documents", Rgb{30, 30, 36});
    client.y += 30;
    client.h -= 30;

    // Side bar of places.
    const int32_t side = std::min(130, client.w / 3);
    FillRect(canvas, Rect{client.x, client.y, side, client.h}, Rgb{226, 230, 236});
    const char* const places[] = {"Home",  "Desktop",  "Documents", "Downloads",
                                  "Music", "Pictures", "Videos",    "Trash"};
    for (int32_t i = 0; i < 8; ++i) {
        const int32_t y = client.y + 10 + 22 * i;
        if (i == 2) FillRect(canvas, Rect{client.x, y - 5, side, 20}, Rgb{70, 120, 200});
        FillRect(canvas, Rect{client.x + 10, y - 1, 10, 9}, Rgb{200, 150, 40});
        DrawText(canvas, client.x + 28, y, places[i],
                 i == 2 ? Rgb{255, 255, 255} : Rgb{30, 30, 36});
    }

    // A grid of files.
    struct File {
        IconKind kind;
        const char* name;
    };
    const File files[] = {{IconKind::Folder, "Letters"},    {IconKind::Folder, "Taxes"},
                          {IconKind::Document, "plan.txt"}, {IconKind::Picture, "cat.png"},
                          {IconKind::Document, "cv.txt"},   {IconKind::Folder, "Recipes"},
                          {IconKind::Picture, "map.png"},   {IconKind::Document, "todo.txt"},
                          {IconKind::Folder, "Old"},        {IconKind::Document, "budget.csv"},
                          {IconKind::Picture, "sky.jpg"},   {IconKind::Document, "draft.txt"}};
    const int32_t left = client.x + side + 14;
    const int32_t columns = std::max((client.x + client.w - left) / 88, 1);
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(files)); ++i) {
        const int32_t x = left + 88 * (i % columns);
        const int32_t y = client.y + 12 + 70 * (i / columns);
        DrawIcon(canvas, x + 16, y, files[i].kind);
        DrawText(canvas, x + 8, y + 42, files[i].name, Rgb{30, 30, 36});
    }
}

const char* const TerminalText[] = {
    "user@host:~$ ls -l",
    "total 24",
    "drwxr-xr-x 2 user user 4096 Mar 14 09:12 Documents",
    "drwxr-xr-x 5 user user 4096 Mar 12 17:40 Projects",
    "-rw-r--r-- 1 user user  812 Mar 14 10:02 notes.txt",
    "-rw-r--r-- 1 user user 5120 Mar 10 08:55 beach.jpg",
    "user@host:~$ make -j2",
    "[ 25%] Building the support library",
    "[ 50%] Building the surface fields",
    "[ 75%] Linking the program",
    "[100%] Built target",
    "user@host:~$ df -h /",
    "Filesystem  Size  Used Avail Use% Mounted on",
    "/dev/sda1    80G   31G   45G  41% /",
    "user@host:~$ ",
};

void DrawTerminal(Canvas& canvas, Rect r, bool active)
{
    const Rect client = DrawWindowFrame(canvas, r, "user@host: ~", active);
    FillRect(canvas, client, Rgb{18, 20, 26});
    const int32_t lines = static_cast<int32_t>(std::size(TerminalText));
    // Like a terminal, the latest lines stay at the bottom.
    const int32_t fit = std::max((client.h - 8) / 13, 0);
    const int32_t first = std::max(lines - fit, 0);
    for (int32_t i = first; i < lines; ++i) {
        const int32_t y = client.y + 6 + 13 * (i - first);
        const char* text = TerminalText[i];
        const bool prompt = std::strncmp(text, "user@host", 9) == 0;
        int32_t x = client.x + 8;
        if (prompt) {
            x += DrawText(canvas, x, y, "user@host", Rgb{110, 220, 110});
            text += 9;
        }
        x += DrawText(canvas, x, y, text, Rgb{210, 210, 216});
        if (i == lines - 1) FillRect(canvas, Rect{x, y - 1, 6, 10}, Rgb{220, 220, 226});
    }
}

void DrawCalculator(Canvas& canvas, Rect r, bool active)
{
    const Rect client = DrawWindowFrame(canvas, r, "Calculator", active);
    FillRect(canvas, client, Rgb{228, 228, 232});
    const Rect display{client.x + 8, client.y + 8, client.w - 16, 34};
    FillRect(canvas, display, Rgb{250, 252, 246});
    FrameRect(canvas, display, Rgb{120, 120, 130});
    const char* const value = "1234.56";
    DrawText(canvas, display.x + display.w - 7 * 12 - 8, display.y + 9, value, Rgb{20, 20, 30}, 2);

    const char* const keys[] = {"7", "8", "9", "/", "4", "5", "6", "*",
                                "1", "2", "3", "-", "0", ".", "=", "+"};
    const int32_t top = display.y + display.h + 8;
    const int32_t keyW = std::max((client.w - 16 - 3 * 6) / 4, 8);
    const int32_t keyH = std::max((client.y + client.h - top - 8 - 3 * 6) / 4, 8);
    for (int32_t i = 0; i < 16; ++i) {
        const Rect key{client.x + 8 + (keyW + 6) * (i % 4), top + (keyH + 6) * (i / 4), keyW, keyH};
        const bool operation = i % 4 == 3 || i == 14;
        FillRect(canvas, key, operation ? Rgb{250, 160, 60} : Rgb{250, 250, 250});
        FrameRect(canvas, key, Rgb{130, 130, 140});
        DrawText(canvas, key.x + keyW / 2 - 5, key.y + keyH / 2 - 7, keys[i], Rgb{20, 20, 30}, 2);
    }
}

// --- panel ---------------------------------------------------------------------------------

constexpr int32_t PanelHeight = 36;

void DrawPanel(Canvas& canvas)
{
    ClipToScreen(canvas);
    const int32_t y = canvas.height - PanelHeight;
    FillGradient(canvas, Rect{0, y, canvas.width, PanelHeight}, Rgb{52, 54, 62}, Rgb{28, 30, 36});
    FillRect(canvas, Rect{0, y, canvas.width, 1}, Rgb{96, 98, 110});

    // The menu button: a ring of four coloured squares.
    FillCircle(canvas, 22, y + 18, 13, Rgb{70, 120, 200});
    const Rgb squares[] = {Rgb{240, 90, 60}, Rgb{120, 200, 80}, Rgb{60, 160, 240},
                           Rgb{250, 200, 50}};
    for (int32_t i = 0; i < 4; ++i) {
        FillRect(canvas, Rect{15 + 8 * (i % 2), y + 11 + 8 * (i / 2), 6, 6}, squares[i]);
    }

    const char* const tasks[] = {"Calculator", "notes.txt - Editor", "Documents", "user@host: ~"};
    // Status icons and the clock take the last 210 pixels; task buttons stop short of them.
    const int32_t right = canvas.width - 12;
    int32_t x = 48;
    for (int32_t i = 0; i < 4 && x + 150 < right - 210; ++i) {
        const Rect button{x, y + 5, 150, 26};
        const bool active = i == 3;
        FillRect(canvas, button, active ? Rgb{80, 84, 98} : Rgb{44, 46, 54});
        FrameRect(canvas, button, Rgb{90, 92, 104});
        FillRect(canvas, Rect{button.x + 8, button.y + 8, 10, 10}, squares[i]);
        SetClip(canvas, Rect{button.x, button.y, button.w - 4, button.h});
        DrawText(canvas, button.x + 26, button.y + 10, tasks[i], Rgb{230, 230, 236});
        ClipToScreen(canvas);
        x += 156;
    }

    DrawText(canvas, right - 62, y + 6, "10:24", Rgb{240, 240, 244}, 2);
    DrawText(canvas, right - 138, y + 14, "2026-03-14", Rgb{200, 200, 210});
    for (int32_t i = 0; i < 4; ++i) {
        // Signal bars.
        FillRect(canvas, Rect{right - 170 + 5 * i, y + 24 - 4 * i, 3, 4 + 4 * i},
                 Rgb{220, 220, 228});
    }
    FrameRect(canvas, Rect{right - 200, y + 12, 18, 12}, Rgb{220, 220, 228});
    FillRect(canvas, Rect{right - 182, y + 15, 2, 6}, Rgb{220, 220, 228});
    FillRect(canvas, Rect{right - 198, y + 14, 11, 8}, Rgb{120, 210, 110});
}

Rect Place(const Canvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h)
{
    // Per mille of the screen, but never smaller than a window can be drawn in.
    return Rect{canvas.width * x / 1000, canvas.height * y / 1000,
                std::max(canvas.width * w / 1000, 120), std::max(canvas.height * h / 1000, 90)};
}

}  // namespace

void DrawDemoDesktop(int32_t width, int32_t height, uint8_t* snapshot)
{
    if (snapshot == nullptr || width <= 0 || height <= 0) return;
    Canvas canvas{snapshot, width, height, SnapshotStride(width), Rect{}};
    // The row fill belongs to no pixel; keep it defined.
    std::memset(snapshot, 0, canvas.stride * static_cast<size_t>(height));
    ClipToScreen(canvas);

    DrawWallpaper(canvas);
    DrawDesktopIcons(canvas);
    // Back to front; the terminal has the focus.
    DrawCalculator(canvas, Place(canvas, 700, 60, 220, 380), false);
    DrawEditor(canvas, Place(canvas, 150, 70, 440, 540), false);
    DrawFileManager(canvas, Place(canvas, 460, 250, 420, 460), false);
    DrawTerminal(canvas, Place(canvas, 270, 520, 400, 330), true);
    DrawPanel(canvas);
}
