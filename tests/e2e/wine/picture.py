#!/usr/bin/python3
"""Pictures for the wine tests: the known desktop, and measurements of screenshots.

  picture.py make-desktop OUT.png WxH
  picture.py pixel FILE X Y                      -> "R G B"
  picture.py count FILE --min R,G,B --max R,G,B [--rect X,Y,W,H]
                                                 -> pixels with every channel inside the bounds
  picture.py dark FILE [--level N] [--rect ...]  -> the fraction of pixels with no channel above N
  picture.py lit FILE [--level N] [--rect ...]   -> the pixels with some channel above N (24)
  picture.py diff A B [--level N] [--rect ...]   -> pixels where some channel differs by more than N
  picture.py blobs FILE --min R,G,B --max R,G,B [--rect ...] [--cell N] [--min-cells K]
                                                 -> groups of touching N x N cells holding such
                                                    pixels: a count, then "X,Y,W,H cells" each
  picture.py emboss SHOT DESKTOP [--level N]     -> how strongly the lit parts of SHOT follow the
                                                    edges of DESKTOP (see below)

Debian's python3-pil only (tools/setup installs it), run by /usr/bin/python3 on purpose.
"""

import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter


def fail(message):
    print(f"picture.py: {message}", file=sys.stderr)
    sys.exit(2)


def triple(text):
    parts = [int(p) for p in text.split(",")]
    if len(parts) != 3:
        fail(f"expected R,G,B, got {text}")
    return parts


def options(args, **defaults):
    values = dict(defaults)
    positional = []
    i = 0
    while i < len(args):
        if args[i].startswith("--"):
            if i + 1 >= len(args):
                fail(f"{args[i]} needs a value")
            values[args[i][2:].replace("-", "_")] = args[i + 1]
            i += 2
        else:
            positional.append(args[i])
            i += 1
    return positional, values


def load(path, rect=None):
    image = Image.open(path).convert("RGB")
    if rect:
        x, y, w, h = (int(v) for v in rect.split(","))
        image = image.crop((x, y, x + w, y + h))
    return image


def mask_between(image, low, high):
    """An L mask: 255 where every channel lies in [low, high]."""
    bands = []
    for band, lo, hi in zip(image.split(), low, high):
        bands.append(band.point(lambda v, lo=lo, hi=hi: 255 if lo <= v <= hi else 0))
    mask = bands[0]
    for b in bands[1:]:
        mask = ImageChops.multiply(mask, b)
    return mask


def count_set(mask):
    return mask.histogram()[255]


def brightest_channel(image):
    r, g, b = image.split()
    return ImageChops.lighter(ImageChops.lighter(r, g), b)


def make_desktop(out, size):
    """A desktop with plenty of edges for the height field: rows of light and dark tiles and
    lines of 'text' on a mid-grey ground, the same bytes on every run."""
    w, h = (int(v) for v in size.split("x"))
    image = Image.new("RGB", (w, h), (96, 104, 112))
    draw = ImageDraw.Draw(image)
    for row, y in enumerate(range(16, h - 48, 64)):
        for col, x in enumerate(range(16, w - 48, 64)):
            light = (row + col) % 2 == 0
            draw.rectangle((x, y, x + 39, y + 27), fill=(230, 226, 214) if light else (28, 30, 40))
            for line in range(3):
                ly = y + 34 + line * 6
                draw.rectangle((x, ly, x + 14 + (row * 7 + col * 5 + line * 11) % 26, ly + 2),
                               fill=(240, 240, 240) if line % 2 else (10, 10, 10))
    image.save(out, optimize=True)


def emboss(shot_path, desktop_path, level):
    """The saver shows the desktop's relief where a spot shines: where the desktop has an edge,
    the lit brightness jumps from pixel to pixel; on flat ground it changes smoothly. Among lit
    pixels, compare the local brightness steps on the desktop's edges with those on flat ground.
    Prints the means, the counts and their ratio."""
    shot = brightest_channel(load(shot_path))
    desktop = load(desktop_path).convert("L")
    if shot.size != desktop.size:
        fail(f"{shot_path} is {shot.size}, {desktop_path} is {desktop.size}")
    # Brightness steps of the shot, and the desktop's edges (grown by a pixel either way, since
    # the normal of an edge tilts the pixels on both of its sides).
    steps = ImageChops.subtract(shot.filter(ImageFilter.MaxFilter(3)),
                                shot.filter(ImageFilter.MinFilter(3)))
    edges = ImageChops.subtract(desktop.filter(ImageFilter.MaxFilter(3)),
                                desktop.filter(ImageFilter.MinFilter(3)))
    edges = edges.point(lambda v: 255 if v > 24 else 0).filter(ImageFilter.MaxFilter(3))
    flat = edges.filter(ImageFilter.MaxFilter(5)).point(lambda v: 0 if v else 255)
    # Lit: the pixel and its neighbours, so that the rim of a spot does not count as a step.
    lit = shot.filter(ImageFilter.MinFilter(5)).point(lambda v: 255 if v > level else 0)
    out = {}
    for name, where in (("edge", edges), ("flat", flat)):
        sel = ImageChops.multiply(where, lit)
        n = count_set(sel)
        total = sum(i * c for i, c in enumerate(steps.histogram(sel)))
        out[name] = (total / n if n else 0.0, n)
    edge, flat = out["edge"][0], out["flat"][0]
    ratio = edge / flat if flat > 0 else (99.0 if edge > 0 else 0.0)
    print(f"edge_mean={out['edge'][0]:.2f} edge_pixels={out['edge'][1]} "
          f"flat_mean={out['flat'][0]:.2f} flat_pixels={out['flat'][1]} ratio={ratio:.2f}")


def blobs(image, low, high, cell, min_cells):
    mask = mask_between(image, low, high)
    w, h = mask.size
    cw, ch = (w + cell - 1) // cell, (h + cell - 1) // cell
    # A cell counts when a quarter of its pixels are set.
    small = mask.resize((cw, ch), Image.BOX)
    occupied = [[small.getpixel((x, y)) >= 64 for x in range(cw)] for y in range(ch)]
    seen = [[False] * cw for _ in range(ch)]
    found = []
    for y0 in range(ch):
        for x0 in range(cw):
            if not occupied[y0][x0] or seen[y0][x0]:
                continue
            stack = [(x0, y0)]
            seen[y0][x0] = True
            cells, xs, ys = 0, [], []
            while stack:
                x, y = stack.pop()
                cells += 1
                xs.append(x)
                ys.append(y)
                for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                    if 0 <= nx < cw and 0 <= ny < ch and occupied[ny][nx] and not seen[ny][nx]:
                        seen[ny][nx] = True
                        stack.append((nx, ny))
            if cells >= min_cells:
                found.append((min(xs) * cell, min(ys) * cell, (max(xs) - min(xs) + 1) * cell,
                              (max(ys) - min(ys) + 1) * cell, cells))
    return found


def main(argv):
    if len(argv) < 2:
        fail("usage: see the head of this file")
    command, args = argv[1], argv[2:]
    positional, o = options(args, rect=None, level=None, cell="8", min_cells="16")
    if command == "make-desktop" and len(positional) == 2:
        make_desktop(*positional)
    elif command == "pixel" and len(positional) == 3:
        print(*load(positional[0]).getpixel((int(positional[1]), int(positional[2]))))
    elif command == "count" and len(positional) == 1 and "min" in o and "max" in o:
        image = load(positional[0], o["rect"])
        print(count_set(mask_between(image, triple(o["min"]), triple(o["max"]))))
    elif command == "dark" and len(positional) == 1:
        image = brightest_channel(load(positional[0], o["rect"]))
        hist = image.histogram()
        level = int(o["level"] or 8)
        print(f"{sum(hist[:level + 1]) / (image.size[0] * image.size[1]):.4f}")
    elif command == "lit" and len(positional) == 1:
        hist = brightest_channel(load(positional[0], o["rect"])).histogram()
        print(sum(hist[int(o["level"] or 24) + 1:]))
    elif command == "diff" and len(positional) == 2:
        a, b = (load(p, o["rect"]) for p in positional)
        if a.size != b.size:
            fail("the pictures differ in size")
        d = brightest_channel(ImageChops.difference(a, b))
        print(sum(d.histogram()[int(o["level"] or 8) + 1:]))
    elif command == "blobs" and len(positional) == 1 and "min" in o and "max" in o:
        found = blobs(load(positional[0], o["rect"]), triple(o["min"]), triple(o["max"]),
                      int(o["cell"]), int(o["min_cells"]))
        print(len(found))
        for x, y, w, h, cells in found:
            print(f"{x},{y},{w},{h} {cells}")
    elif command == "emboss" and len(positional) == 2:
        emboss(positional[0], positional[1], int(o["level"] or 24))
    else:
        fail(f"cannot do: {' '.join(argv[1:])}")


if __name__ == "__main__":
    main(sys.argv)
