// The shared libraries of the process, kept loaded to its end.
#pragma once

// The OpenGL driver is unloaded when the render system ends its display, and whatever the
// driver still held then would show up as leaks of an unknown module under the leak checker,
// hiding real ones. The process ends soon after, so the libraries may as well stay. Call once
// the driver is loaded (after the first device was made).
void KeepLoadedLibraries();
