// Pictures carried by the program (resource type "IMAGE": 1000 the logo, 2000 the font sheet),
// decoded into the bitmaps of image/bitmap.h, drawn upright at the picture's own size.
//
// Windows decodes through the OLE picture loader (image/win32); other builds through stb_image
// (image/stb), from the copies of the same files compiled into the program. The caller owns
// the bitmap and deletes it with DeleteBitmap.
#pragma once

#include <cstdint>

#include "image/bitmap.h"

// Resource `number` of `module` (ignored where the pictures are compiled in), or null when it
// does not exist, is empty or does not decode. limit: see FitToPowerOfTwo; both callers pass 0.
ImageBitmap* LoadImageResource(uintptr_t module, uint32_t number, int32_t limit);

// A picture file in memory (BMP or GIF, and on Windows whatever OLE reads), or null for bytes
// that are not a picture, are damaged or truncated.
ImageBitmap* DecodeImageBytes(const uint8_t* bytes, uint32_t size, int32_t limit);

// A side of the decoded picture: with limit 0 the picture's own v; otherwise v rounded up to a
// power of two (0 and powers of two stay), then at most limit.
int32_t FitToPowerOfTwo(int32_t v, int32_t limit);
