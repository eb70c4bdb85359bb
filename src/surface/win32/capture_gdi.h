// The Windows desktop, read through GDI.
#pragma once

#include "surface/height_field.h"

// Takes the snapshot of the screen and fills the surface's height field and size. False when the
// screen could not be read (update lock refused, no device context, bitmap or memory, failed
// copy, empty screen); then nothing is allocated, nothing is held and the surface is unchanged.
bool CaptureDesktop(SurfaceFields& surface);
