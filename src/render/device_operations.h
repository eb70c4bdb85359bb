// The operations of render/device.h, one list for every back end: device.h includes it at file
// scope for the names the core calls, and a back end that shares a program with another
// (render/gl, render/cpu) includes it inside its own namespace. It is meant to be included
// more than once, and only after render/device.h's types.

// The Direct3D object (Direct3DCreate8); null when the platform has none.
RenderSystem* CreateRenderSystem(uint32_t sdkVersion);
RenderResult GetAdapterDisplayMode(RenderSystem* system, uint32_t adapter, DisplayMode& mode);
uint32_t GetAdapterModeCount(RenderSystem* system, uint32_t adapter);
RenderResult EnumAdapterModes(RenderSystem* system, uint32_t adapter, uint32_t index,
                              DisplayMode& mode);
// Only the DevCaps word of D3DCAPS8 is reported.
RenderResult GetDeviceCaps(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                           uint32_t& devCaps);
// On failure `device` is null. The device keeps its own copy of the parameters.
RenderResult CreateDevice(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                          NativeWindow focusWindow, uint32_t behaviorFlags,
                          const PresentParameters& params, RenderDevice*& device);

// Gives the object up. Callers clear their holder at once (see ReleaseHandle).
void Release(RenderSystem* system);
void Release(RenderDevice* device);
void Release(RenderTexture* texture);
void Release(RenderVertexBuffer* buffer);

RenderResult TestCooperativeLevel(RenderDevice* device);
// rects: rectCount D3DRECTs (left, top, right, bottom as int32), or null for the whole target.
RenderResult Clear(RenderDevice* device, uint32_t rectCount, const int32_t* rects, uint32_t flags,
                   uint32_t color, float z, uint32_t stencil);
RenderResult BeginScene(RenderDevice* device);
RenderResult EndScene(RenderDevice* device);
// The whole back buffer to the device's window: no rectangles, override or dirty region.
RenderResult Present(RenderDevice* device);

RenderResult SetTransform(RenderDevice* device, TransformType type, const Matrix4& matrix);
RenderResult SetMaterial(RenderDevice* device, const Material& material);
RenderResult SetRenderState(RenderDevice* device, RenderStateType state, uint32_t value);
RenderResult SetTextureStageState(RenderDevice* device, uint32_t stage, TextureStageStateType type,
                                  uint32_t value);

RenderResult CreateVertexBuffer(RenderDevice* device, uint32_t length, uint32_t usage,
                                uint32_t vertexFormat, uint32_t pool, RenderVertexBuffer*& buffer);
// size 0 locks from offset to the end.
RenderResult LockVertexBuffer(RenderVertexBuffer* buffer, uint32_t offset, uint32_t size,
                              uint8_t*& data, uint32_t flags);
RenderResult UnlockVertexBuffer(RenderVertexBuffer* buffer);

RenderResult CreateTexture(RenderDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                           uint32_t usage, uint32_t format, uint32_t pool, RenderTexture*& texture);
// rect null: the whole level.
RenderResult LockRect(RenderTexture* texture, uint32_t level, LockedRect& locked,
                      const int32_t* rect, uint32_t flags);
RenderResult UnlockRect(RenderTexture* texture, uint32_t level);

// Selects a fixed-function vertex format (an FVF code).
RenderResult SetVertexShader(RenderDevice* device, uint32_t vertexFormat);
RenderResult SetPixelShader(RenderDevice* device, uint32_t handle);
RenderResult SetStreamSource(RenderDevice* device, uint32_t stream, RenderVertexBuffer* buffer,
                             uint32_t stride);
RenderResult SetTexture(RenderDevice* device, uint32_t stage, RenderTexture* texture);
RenderResult DrawPrimitive(RenderDevice* device, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount);
RenderResult GetViewport(RenderDevice* device, Viewport& viewport);
