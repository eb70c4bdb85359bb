// The Linux programs' renderer: OpenGL (render/gl) or the processor (render/cpu), chosen at
// start. render/renderer.h's operations go to the chosen back end's table.
//
// A host:
//   UseRendererBackEnd(RendererBackEndKind::Cpu);   // the hosts ask host/drawing_choice.h
//   SetRendererNativeDisplay({NativeDisplayKind::X11, display});   // none when headless
//   ... CreateRenderDevice (the core) ...
//   on a resize of the window: ResizeSaver (the session), which resizes the renderer.
#pragma once

#include "render/switch/renderer_back_end.h"

enum class RendererBackEndKind { OpenGl, Cpu };

// Choose while no renderer is open: one back end's renderers mean nothing to the other.
void UseRendererBackEnd(RendererBackEndKind kind);

// The display whose windows renderers opened from now on draw into. For X11 the processor back
// end shows its frames through X11 presenters (render/cpu/x11); a Wayland host registers its
// own presenter opener with the processor back end.
void SetRendererNativeDisplay(const NativeDisplay& display);
