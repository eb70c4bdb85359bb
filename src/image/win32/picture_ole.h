// The OLE picture loader's last step, for a caller that already holds a picture.
#pragma once

#include <cstdint>

#include "image/bitmap.h"

struct IPicture;

// Renders the picture upright into a new 32-bit bottom-up DIB section at its HIMETRIC size in
// screen pixels (each side fitted by FitToPowerOfTwo with limit). Null for no picture, or when
// a device context, the DIB section or the drawing fails; nothing made on the way is left over.
ImageBitmap* RenderPictureToBitmap(IPicture* picture, int32_t limit);
