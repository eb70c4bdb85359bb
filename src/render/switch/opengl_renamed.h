// Compiled ahead of the OpenGL back end's files when they go into the renderer switch: their
// device.h functions come out prefixed with OpenGl, so that the switch can define the plain
// names and hand each call to this back end or to the processor one. Nothing in those files
// changes. The headers they use come first, so that the names below touch only our own code.
#pragma once

#define EGL_NO_X11
#define GL_GLEXT_PROTOTYPES
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glcorearb.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#define CreateRenderSystem OpenGlCreateRenderSystem
#define GetAdapterDisplayMode OpenGlGetAdapterDisplayMode
#define GetAdapterModeCount OpenGlGetAdapterModeCount
#define EnumAdapterModes OpenGlEnumAdapterModes
#define GetDeviceCaps OpenGlGetDeviceCaps
#define CreateDevice OpenGlCreateDevice
#define Release OpenGlRelease
#define ReleaseHandle OpenGlReleaseHandle
#define TestCooperativeLevel OpenGlTestCooperativeLevel
#define Clear OpenGlClear
#define BeginScene OpenGlBeginScene
#define EndScene OpenGlEndScene
#define Present OpenGlPresent
#define SetTransform OpenGlSetTransform
#define SetMaterial OpenGlSetMaterial
#define SetRenderState OpenGlSetRenderState
#define SetTextureStageState OpenGlSetTextureStageState
#define CreateVertexBuffer OpenGlCreateVertexBuffer
#define LockVertexBuffer OpenGlLockVertexBuffer
#define UnlockVertexBuffer OpenGlUnlockVertexBuffer
#define CreateTexture OpenGlCreateTexture
#define LockRect OpenGlLockRect
#define UnlockRect OpenGlUnlockRect
#define SetVertexShader OpenGlSetVertexShader
#define SetPixelShader OpenGlSetPixelShader
#define SetStreamSource OpenGlSetStreamSource
#define SetTexture OpenGlSetTexture
#define DrawPrimitive OpenGlDrawPrimitive
#define GetViewport OpenGlGetViewport
#define SetGlAdapterDisplayMode OpenGlSetAdapterDisplayMode
#define SetGlNativeDisplay OpenGlSetNativeDisplay
#define ReadPresentedFrame OpenGlReadPresentedFrame
