// Who draws the frames for an X11 window: OpenGL, or the processor itself where OpenGL would
// only be a software rasteriser (virtual machines, remote desktops, Xvfb), which pays for every
// blended pixel many times over.
#pragma once

#include "host/x11/hack_options.h"

struct _XDisplay;

enum class DrawingPath { OpenGl, Cpu };

// True for the driver names of Mesa's software rasterisers (llvmpipe and softpipe).
bool IsSoftwareRasterizer(const char* driverName);

// The path the option forces, or for Auto: asks EGL which driver serves the display, without
// making a context; OpenGL missing, or a software rasteriser, gives Cpu. Unless the processor
// is forced, the EGL display is left initialised for the OpenGL back end, which would
// otherwise pay for the driver's start itself.
DrawingPath ChooseDrawingPath(_XDisplay* display, RendererChoice choice);
