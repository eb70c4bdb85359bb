#!/usr/bin/python3
"""Draws the program's pictures: the font sheet, the logo and the icon.

    /usr/bin/python3 tools/make_resources.py            rewrite the files in resources/
    /usr/bin/python3 tools/make_resources.py --check    compare them with fresh drawings
    /usr/bin/python3 tools/make_resources.py --preview DIR
                                                        also write PNG views for a person to look at

Needs Debian's python3-pil and fonts-dejavu-core, nothing else. The output is the same bytes on
every run: the file formats are written here rather than by PIL, so only the glyph rasteriser
(FreeType through PIL) and the resampler come from the libraries. --check exits with 77 when
those packages are missing, so a test runner can report a skip.
"""

import argparse
import math
import os
import re
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GLYPH_TABLE_SOURCE = os.path.join(ROOT, "src", "render", "glyph_table.cpp")
RESOURCE_DIR = os.path.join(ROOT, "resources")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SANS = os.path.join(FONT_DIR, "DejaVuSans.ttf")
SANS_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")

SKIP = 77

# --------------------------------------------------------------------------------------------
# File formats

def encode_gif87a(width, height, grey_pixels):
    """One-frame GIF87a with a palette of the 256 greys, so index = grey level."""
    out = bytearray(b"GIF87a")
    out += struct.pack("<HHBBB", width, height, 0xF7, 0, 0)  # global table of 256 entries
    for level in range(256):
        out += bytes((level, level, level))
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    out.append(8)  # minimum code size
    data = lzw_compress(grey_pixels)
    for start in range(0, len(data), 255):
        chunk = data[start:start + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00\x3b"
    return bytes(out)


def lzw_compress(pixels):
    clear, end = 256, 257
    codes = bytearray()
    bit_buffer = 0
    bit_count = 0

    def emit(code, size):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            codes.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    size = 9
    table = {}
    next_code = end + 1
    emit(clear, size)
    current = pixels[0]
    for value in pixels[1:]:
        key = (current, value)
        found = table.get(key)
        if found is not None:
            current = found
            continue
        emit(current, size)
        table[key] = next_code
        # The decoder adds this entry one code later, so both widen after the same code.
        if next_code >= (1 << size) and size < 12:
            size += 1
        next_code += 1
        if next_code == 4096:
            emit(clear, size)
            table = {}
            size = 9
            next_code = end + 1
        current = value
    emit(current, size)
    emit(end, size)
    if bit_count:
        codes.append(bit_buffer & 0xFF)
    return bytes(codes)


def encode_bmp24(width, height, rgb_rows):
    """Uncompressed 24-bit BMP; rgb_rows are top row first, as (r, g, b) tuples."""
    stride = (width * 3 + 3) & ~3
    pixel_bytes = bytearray()
    for row in reversed(rgb_rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixel_bytes += line
    header_size = 14 + 40
    out = bytearray(b"BM")
    out += struct.pack("<IHHI", header_size + len(pixel_bytes), 0, 0, header_size)
    out += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixel_bytes),
                       3780, 3780, 0, 0)  # 96 dots per inch
    out += pixel_bytes
    return bytes(out)


def encode_png_rgba(size, rgba):
    raw = bytearray()
    for y in range(size):
        raw.append(0)  # no filter
        raw += rgba[y * size * 4:(y + 1) * size * 4]

    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def encode_icon_dib(size, rgba):
    """32-bit icon image: BGRA rows bottom-up, then the 1-bit mask for systems without alpha."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            colour += bytes((b, g, r, a))
            if a < 128:
                bits[x >> 3] |= 0x80 >> (x & 7)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def encode_ico(images):
    """images: list of (size, rgba bytes). 256 is stored as PNG, smaller sizes as DIBs."""
    blobs = [encode_png_rgba(s, px) if s >= 256 else encode_icon_dib(s, px) for s, px in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (size, _), blob in zip(images, blobs):
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)

# --------------------------------------------------------------------------------------------
# Glyph table

SHEET_SIZE = 256
GLYPH_HEIGHT = 29
FIRST_CODE = 32
SIGN_GLYPHS = {127: "\u00a9", 128: "\u00ae", 129: "\u2122"}


def read_glyph_table(path=GLYPH_TABLE_SOURCE):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    start = text.index("GlyphTable[GlyphCount] = {")
    body = re.sub(r"//[^\n]*", "", text[start:text.index("};", start)])
    body = body[body.index("{") + 1:]
    entries = [tuple(int(v) for v in m)
               for m in re.findall(r"\{\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*\}", body)]
    if len(entries) != 98:
        raise SystemExit(f"{path}: expected 98 glyph entries, found {len(entries)}")
    for top, left, right in entries:
        if not (left < right <= SHEET_SIZE and top + GLYPH_HEIGHT <= SHEET_SIZE):
            raise SystemExit(f"{path}: cell {top, left, right} does not fit the sheet")
    return entries


def blank_cells(entries):
    """Cells in the strip left of the first row's first drawn glyph: they draw nothing."""
    first_top = min(top for top, _, _ in entries)
    strip_end = min(left for top, left, _ in entries if top == first_top and left > 0)
    return {i for i, (top, _, right) in enumerate(entries)
            if top == first_top and right <= strip_end}

# --------------------------------------------------------------------------------------------
# Font sheet

SUPERSAMPLE = 16
EM = 439 / SUPERSAMPLE   # cap height 20 px and x-height 15 px, both on whole pixels
BASELINE = 22            # rows from the cell's top; every cell shares it
INK_TOP, INK_BOTTOM = 1, 28  # keep the cells' first and last rows blank: rows of cells abut
SQUEEZE = 0.72           # horizontal scale of most glyphs: the overlay stretches them back
SQUEEZE_MAX = 0.86


def glyph_char(code):
    return SIGN_GLYPHS.get(code, chr(code))


def draw_font_sheet(entries):
    from PIL import Image, ImageDraw, ImageFont

    font = ImageFont.truetype(SANS, round(EM * SUPERSAMPLE), layout_engine=ImageFont.Layout.BASIC)
    size = round(EM * SUPERSAMPLE)
    canvas_w, canvas_h = 6 * size, 3 * size
    origin_x, base_hi = 3 * size, 2 * size
    sheet = Image.new("L", (SHEET_SIZE, SHEET_SIZE), 0)
    blanks = blank_cells(entries)
    check_cells_apart(entries, blanks)

    for index, (top, left, right) in enumerate(entries):
        if index in blanks:
            continue
        hi = Image.new("L", (canvas_w, canvas_h), 0)
        ImageDraw.Draw(hi).text((origin_x, base_hi), glyph_char(FIRST_CODE + index), fill=255,
                                font=font, anchor="ls")
        ink = hi.getbbox()
        ink_w = (ink[2] - ink[0]) / SUPERSAMPLE
        ink_centre_hi = (ink[0] + ink[2]) / 2

        # The overlay samples u = column / 255, so on screen a cell shows the columns
        # left * 256/255 to right * 256/255: the ink stays inside that window and inside the
        # cell, about a column clear of either edge, which leaves two between neighbours.
        width = right - left
        shown_left, shown_right = left * 256 / 255, right * 256 / 255
        margin = min(1.0, 0.25 * width)
        lo = shown_left + margin
        hi_edge = shown_right - max(margin, shown_right - right)
        room = hi_edge - lo
        fit = room / ink_w
        # Glyphs with room to spare take half of it, so that spacing stays even without
        # fattening them much; the others are narrowed just enough to fit.
        squeeze = fit if fit <= SQUEEZE else min(SQUEEZE_MAX, 0.5 * (SQUEEZE + fit))
        # What is left over goes to the sides leaning the way the face's own side bearings do,
        # so that a J does not float in the middle of its wide cell.
        advance = font.getlength(glyph_char(FIRST_CODE + index))
        bearing_left = max(0.0, ink[0] - origin_x)
        bearing_right = max(0.0, origin_x + advance - ink[2])
        share = 0.5 if bearing_left + bearing_right <= 0 else \
            0.25 + 0.5 * bearing_left / (bearing_left + bearing_right)
        spare = room - ink_w * squeeze
        ink_left = lo + spare * share
        # Like hinting: a lone stem centred on a column, anything wider starting on a column
        # edge, so that stems come out crisp; unless that would leave the cell.
        drawn_w = ink_w * squeeze
        snapped = (math.floor(ink_left + drawn_w / 2) + 0.5 - drawn_w / 2 if drawn_w < 2
                   else float(round(ink_left)))
        if left <= snapped and snapped + drawn_w <= right:
            ink_left = snapped
        centre = ink_left + drawn_w / 2

        ink_top = BASELINE + (ink[1] - base_hi) / SUPERSAMPLE
        ink_bottom = BASELINE + (ink[3] - base_hi) / SUPERSAMPLE
        shift = max(0.0, INK_TOP - ink_top) - max(0.0, ink_bottom - INK_BOTTOM)

        scale_x = SUPERSAMPLE / squeeze
        box = (ink_centre_hi + (left - centre) * scale_x,
               base_hi - (BASELINE + shift) * SUPERSAMPLE,
               ink_centre_hi + (right - centre) * scale_x,
               base_hi + (GLYPH_HEIGHT - BASELINE - shift) * SUPERSAMPLE)
        cell = hi.resize((width, GLYPH_HEIGHT), Image.Resampling.BOX, box=box)
        sheet.paste(cell, (left, top))
    return sheet


def check_cells_apart(entries, blanks):
    """No drawn cell may reach into another's black border columns."""
    drawn = [e for i, e in enumerate(entries) if i not in blanks]
    for i, (t1, l1, r1) in enumerate(drawn):
        for t2, l2, r2 in drawn[i + 1:]:
            if t1 < t2 + GLYPH_HEIGHT and t2 < t1 + GLYPH_HEIGHT and l1 <= r2 and l2 <= r1:
                raise SystemExit(f"glyph cells {t1, l1, r1} and {t2, l2, r2} touch")

# --------------------------------------------------------------------------------------------
# Shading shared by the logo and the icon: a raised relief under coloured light spots, the way
# the saver itself lights the desktop.

def box_blur(values, width, height, radius, passes=3):
    values = list(values)
    for _ in range(passes):
        values = _blur_rows(values, width, height, radius)
        values = _transpose(_blur_rows(_transpose(values, width, height), height, width, radius),
                            height, width)
    return values


def _blur_rows(values, width, height, radius):
    out = [0.0] * (width * height)
    span = 2 * radius + 1
    for y in range(height):
        row = values[y * width:(y + 1) * width]
        padded = [row[0]] * radius + row + [row[-1]] * radius
        total = sum(padded[:span])
        base = y * width
        for x in range(width):
            out[base + x] = total / span
            if x + 1 < width:
                total += padded[x + span] - padded[x]
    return out


def _transpose(values, width, height):
    return [values[y * width + x] for x in range(width) for y in range(height)]


def coverage(image):
    return [v / 255.0 for v in image.getdata()]


def text_mask(width, height, font_path, size_px, text, position, anchor, tracking=0.0):
    from PIL import Image, ImageDraw, ImageFont

    font = ImageFont.truetype(font_path, size_px, layout_engine=ImageFont.Layout.BASIC)
    mask = Image.new("L", (width, height), 0)
    draw = ImageDraw.Draw(mask)
    if not tracking:
        draw.text(position, text, fill=255, font=font, anchor=anchor)
        return mask
    total = sum(font.getlength(ch) for ch in text) + tracking * (len(text) - 1)
    x, y = position
    if anchor[0] == "r":
        x -= total
    elif anchor[0] == "m":
        x -= total / 2
    for ch in text:
        draw.text((x, y), ch, fill=255, font=font, anchor="l" + anchor[1])
        x += font.getlength(ch) + tracking
    return mask


def shade_relief(width, height, relief, albedo, spots, key, ambient):
    """Lights a relief: a white key light plus coloured spots that fall off with a cosine.

    relief: heights in pixels; albedo: (r, g, b) per pixel; spots: (x, y, radius, strength,
    (r, g, b)) in pixels; key: unit direction towards the key light and its strength.
    A spot lights |n . l| like the saver's spots do, so it catches slopes facing either way.
    Returns (r, g, b) floats, about 0..1.
    """
    (kx, ky, kz), key_strength = key
    out = [None] * (width * height)
    for y in range(height):
        for x in range(width):
            i = y * width + x
            xl = relief[i - 1] if x > 0 else relief[i]
            xr = relief[i + 1] if x + 1 < width else relief[i]
            yu = relief[i - width] if y > 0 else relief[i]
            yd = relief[i + width] if y + 1 < height else relief[i]
            nx, ny, nz = (xl - xr) * 0.5, (yu - yd) * 0.5, 1.0
            inv = 1.0 / math.sqrt(nx * nx + ny * ny + nz * nz)
            nx, ny, nz = nx * inv, ny * inv, nz * inv
            diffuse = ambient + key_strength * max(0.0, nx * kx + ny * ky + nz * kz)
            ar, ag, ab = albedo[i]
            r, g, b = ar * diffuse, ag * diffuse, ab * diffuse
            for sx, sy, radius, strength, (cr, cg, cb) in spots:
                dx, dy = (x - sx) / radius, (y - sy) / radius
                d2 = dx * dx + dy * dy
                if d2 >= 1.0:
                    continue
                lx, ly, lz = -dx, -dy, 0.8
                ll = 1.0 / math.sqrt(lx * lx + ly * ly + lz * lz)
                falloff = math.cos(math.sqrt(d2) * math.pi / 2)
                lit = abs(nx * lx + ny * ly + nz * lz) * ll * falloff * falloff * strength
                r += lit * cr * (0.35 + ar)
                g += lit * cg * (0.35 + ag)
                b += lit * cb * (0.35 + ab)
            out[i] = (r, g, b)
    return out


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def normalised(x, y, z):
    n = math.sqrt(x * x + y * y + z * z)
    return (x / n, y / n, z / n)


def to_bytes(value):
    return max(0, min(255, int(round(value * 255.0))))


def downsample(pixels, width, height, factor, channels):
    """Mean over factor x factor blocks of float tuples."""
    out_w, out_h = width // factor, height // factor
    area = factor * factor
    out = []
    for oy in range(out_h):
        for ox in range(out_w):
            sums = [0.0] * channels
            for y in range(oy * factor, oy * factor + factor):
                row = y * width
                for x in range(ox * factor, ox * factor + factor):
                    p = pixels[row + x]
                    for c in range(channels):
                        sums[c] += p[c]
            out.append(tuple(s / area for s in sums))
    return out

# --------------------------------------------------------------------------------------------
# Logo

LOGO_W, LOGO_H = 226, 79
LOGO_SS = 3


def draw_logo():
    w, h, k = LOGO_W * LOGO_SS, LOGO_H * LOGO_SS, LOGO_SS
    name = coverage(text_mask(w, h, SANS_BOLD, 50 * k, "Tavrel", (113 * k, 49 * k), "ms"))
    caption = coverage(text_mask(w, h, SANS, 11 * k, "SCREENSAVER", (113 * k, 69 * k), "ms",
                                 tracking=2.6 * k))
    bevel = box_blur(name, w, h, k)
    relief = [v * 3.0 * k for v in bevel]
    # A soft shadow down and to the right of the name, on the surface only.
    offset = 2 * k
    shadow = box_blur([name[(y - offset) * w + x - offset] if y >= offset and x >= offset else 0.0
                       for y in range(h) for x in range(w)], w, h, 2 * k)
    surface_top, surface_bottom = (0.16, 0.17, 0.22), (0.07, 0.075, 0.10)
    face = (0.66, 0.69, 0.74)
    albedo = []
    for i in range(w * h):
        y = i // w
        ground = mix(surface_top, surface_bottom, y / h)
        ground = tuple(c * (1 - 0.65 * shadow[i]) for c in ground)
        albedo.append(mix(ground, face, name[i]))
    spots = [(30 * k, 18 * k, 95 * k, 0.9, (0.20, 0.90, 1.00)),
             (185 * k, 62 * k, 100 * k, 0.85, (1.00, 0.30, 0.80))]
    key = (normalised(-0.6, -0.8, 1.0), 0.55)
    lit = shade_relief(w, h, relief, albedo, spots, key, 0.55)
    caption_colour = (0.80, 0.84, 0.90)
    pixels = [mix(p, caption_colour, c) for p, c in zip(lit, caption)]
    small = downsample(pixels, w, h, k, 3)
    return [[tuple(to_bytes(v) for v in small[y * LOGO_W + x]) for x in range(LOGO_W)]
            for y in range(LOGO_H)]

# --------------------------------------------------------------------------------------------
# Icon

ICON_SIZES = (16, 32, 48, 256)


def draw_icon_master(size):
    """RGBA floats (premultiplied) at size x size: a raised T on a dark tile under a cyan spot."""
    letter = coverage(text_mask(size, size, SANS_BOLD, round(size * 0.80), "T",
                                (size / 2, size * 0.81), "ms"))
    relief = [v * size * 0.03 for v in box_blur(letter, size, size, max(1, size // 80))]
    tile_top, tile_bottom = (0.14, 0.16, 0.22), (0.05, 0.06, 0.09)
    face = (0.82, 0.86, 0.90)
    albedo = [mix(mix(tile_top, tile_bottom, (i // size) / size), face, letter[i])
              for i in range(size * size)]
    spots = [(size * 0.30, size * 0.26, size * 0.95, 1.0, (0.20, 0.90, 1.00)),
             (size * 0.85, size * 0.90, size * 0.60, 0.8, (1.00, 0.30, 0.80))]
    key = (normalised(-0.6, -0.8, 1.0), 0.5)
    lit = shade_relief(size, size, relief, albedo, spots, key, 0.6)
    radius = size * 0.19
    pixels = []
    for y in range(size):
        for x in range(size):
            # Rounded square, cut at the master's resolution; the reduction smooths its edge.
            cx = max(radius - (x + 0.5), 0.0, (x + 0.5) - (size - radius))
            cy = max(radius - (y + 0.5), 0.0, (y + 0.5) - (size - radius))
            alpha = 1.0 if cx * cx + cy * cy <= radius * radius else 0.0
            r, g, b = lit[y * size + x]
            pixels.append((r * alpha, g * alpha, b * alpha, alpha))
    return pixels


def draw_icon():
    master_size = 768  # a multiple of every size, so each is a plain block average
    master = draw_icon_master(master_size)
    images = []
    for size in ICON_SIZES:
        factor = master_size // size
        small = downsample(master, master_size, master_size, factor, 4)
        rgba = bytearray()
        for r, g, b, a in small:
            if a > 0:
                r, g, b = r / a, g / a, b / a
            rgba += bytes((to_bytes(r), to_bytes(g), to_bytes(b), to_bytes(a)))
        images.append((size, bytes(rgba)))
    return images

# --------------------------------------------------------------------------------------------

def build_all():
    entries = read_glyph_table()
    sheet = draw_font_sheet(entries)
    logo_rows = draw_logo()
    icon_images = draw_icon()
    files = {
        "font_sheet.gif": encode_gif87a(SHEET_SIZE, SHEET_SIZE, list(sheet.getdata())),
        "logo.bmp": encode_bmp24(LOGO_W, LOGO_H, logo_rows),
        "tavrel.ico": encode_ico(icon_images),
    }
    return files, (entries, sheet, logo_rows, icon_images)


def write_previews(directory, entries, sheet, logo_rows, icon_images):
    from PIL import Image

    os.makedirs(directory, exist_ok=True)
    sheet.resize((SHEET_SIZE * 3, SHEET_SIZE * 3), Image.Resampling.NEAREST).save(
        os.path.join(directory, "font_sheet.png"))
    logo = Image.new("RGB", (LOGO_W, LOGO_H))
    logo.putdata([p for row in logo_rows for p in row])
    logo.save(os.path.join(directory, "logo.png"))
    logo.resize((LOGO_W * 3, LOGO_H * 3), Image.Resampling.NEAREST).save(
        os.path.join(directory, "logo_x3.png"))
    strip = Image.new("RGBA", (sum(s for s, _ in icon_images) + 10 * len(icon_images), 256),
                      (128, 128, 128, 255))
    x = 0
    for size, rgba in icon_images:
        im = Image.frombytes("RGBA", (size, size), rgba)
        strip.alpha_composite(im, (x, 0))
        x += size + 10
    strip.save(os.path.join(directory, "icon.png"))
    overlay_preview(entries, sheet).save(os.path.join(directory, "overlay_text.png"))


def overlay_preview(entries, sheet, viewport_h=768):
    """The overlay's lines as the renderer draws them: stretched cells, bilinear, tinted."""
    from PIL import Image

    lines = [(0.0, 0.045, 0.02, "12 : 34"), (0.027, 0.037, 0.017, "Sep 30, 2026"),
             (0.054, 0.037, 0.017, "Fps 60"),
             (0.09, 0.04, 0.02, "Tavrel Screensaver \x7f 2026 www.example.net"),
             (0.13, 0.04, 0.02, "The quick brown fox jumps over the lazy dog."),
             (0.17, 0.04, 0.02, "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789"),
             (0.21, 0.04, 0.02, "abcdefghijklmnopqrstuvwxyz \x7f\x80\x81"),
             (0.25, 0.04, 0.02, "!\"#$%&'()*+,-./:;<=>?@[\\]_`{}~ ^|")]
    s = viewport_h / 29.0
    out = Image.new("RGB", (1024, round(viewport_h * 0.3)), (24, 24, 30))
    tint = Image.new("RGB", (1, 1), (0xC0, 0x20, 0x20))
    for y, scale_x, scale_y, text in lines:
        pen_x, pen_y = 0.0, y * viewport_h
        for ch in text:
            top, left, right = entries[ord(ch) - FIRST_CODE]
            gw = scale_x * s * (right - left)
            gh = scale_y * s * 39
            size = (max(1, round(gw)), max(1, round(gh)))
            glyph = sheet.transform(size, Image.Transform.EXTENT,
                                    (left * 256 / 255, top, right * 256 / 255, top + 29),
                                    Image.Resampling.BILINEAR)
            out.paste(tint.resize(size), (round(pen_x), round(pen_y)), glyph)
            pen_x += gw
    return out.resize((out.width * 2, out.height * 2), Image.Resampling.NEAREST)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare fresh drawings with resources/ instead of writing")
    parser.add_argument("--out", default=RESOURCE_DIR, help="where to write the files")
    parser.add_argument("--preview", metavar="DIR", help="also write PNG views into DIR")
    args = parser.parse_args()

    missing = [p for p in (SANS, SANS_BOLD) if not os.path.exists(p)]
    try:
        import PIL  # noqa: F401
    except ImportError:
        missing.append("python3-pil")
    if missing:
        print("make_resources: missing " + ", ".join(missing)
              + " (apt-get install python3-pil fonts-dejavu-core)", file=sys.stderr)
        return SKIP if args.check else 1

    files, parts = build_all()
    if args.preview:
        write_previews(args.preview, *parts)
    if args.check:
        stale = []
        for name, data in files.items():
            path = os.path.join(RESOURCE_DIR, name)
            if not os.path.exists(path) or open(path, "rb").read() != data:
                stale.append(name)
        if stale:
            print("make_resources: differs from a fresh drawing: " + ", ".join(stale),
                  file=sys.stderr)
            return 1
        print("make_resources: " + ", ".join(files) + " match their generator")
        return 0
    os.makedirs(args.out, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
