// Who draws the frames for an X11 window: OpenGL, or the processor itself where OpenGL would
// only be a software rasteriser (virtual machines, remote desktops, Xvfb), which pays for every
// blended pixel many times over.
#pragma once

#include "host/x11/hack_options.h"

struct _XDisplay;

enum class DrawingPath { OpenGl, Cpu };

// True for the driver names of Mesa's software rasterisers (llvmpipe and softpipe).
bool IsSoftwareRasterizer(const char* driverName);

// The path the option forces, or for Auto: without a GPU's render node the processor; with
// one, a child process asks EGL which driver serves the display, so that a run that then draws
// on the processor never loads the OpenGL driver itself. OpenGL missing, a software
// rasteriser, or a probe that does not answer gives Cpu.
DrawingPath ChooseDrawingPath(_XDisplay* display, RendererChoice choice);
