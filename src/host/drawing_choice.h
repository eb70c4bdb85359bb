// Who draws the frames on a display server (X11 or Wayland): OpenGL, or the processor itself
// where OpenGL would only be a software rasteriser (virtual machines, remote desktops, Xvfb,
// compositors without a GPU), which pays for every blended pixel many times over.
#pragma once

#include "host/linux/hack_options.h"

enum class DrawingPath { OpenGl, Cpu };

// True for the driver names of Mesa's software rasterisers (llvmpipe and softpipe).
bool IsSoftwareRasterizer(const char* driverName);

// True when the folder (/dev/dri) holds a GPU's render node.
bool HasRenderNode(const char* folder);

enum class EglPlatform { X11, Wayland };

// The path EGL suggests for a native display (Display*, wl_display*): Cpu when it cannot be had
// or its driver is a software rasteriser.
DrawingPath AskEgl(EglPlatform platform, void* nativeDisplay);

// Runs in a child process, which must open a connection of its own to the display server (the
// parent's must not be shared); AskEgl is what it usually returns.
using DrawingProbe = DrawingPath (*)(const void* context);

// The path the option forces, or for Auto: without a render node in renderNodes the processor;
// with one, the probe's answer in a child process, so that a run that then draws on the
// processor never loads the OpenGL driver itself. A probe that does not answer gives Cpu.
DrawingPath ChooseDrawingPath(RendererChoice choice, const char* renderNodes, DrawingProbe probe,
                              const void* context);
