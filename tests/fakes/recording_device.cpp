#include "recording_device.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "call_log.h"

RecordingDeviceControl RecordingDevice;

struct FakeObject {
    std::string name;
    bool released = false;
    virtual ~FakeObject() = default;
};
struct RenderSystem : FakeObject {};
struct RenderDevice : FakeObject {};
struct RenderTexture : FakeObject {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t format = 0;
    int32_t pitch = 0;
    bool locked = false;
    std::vector<uint8_t> memory;
};
struct RenderVertexBuffer : FakeObject {
    bool locked = false;
    std::vector<uint8_t> memory;
};

namespace {

// Every object lives until the next reset, so a stale handle is caught, not a crash.
std::vector<std::unique_ptr<FakeObject>> Objects;
std::map<const void*, FakeObject*> ByAddress;
std::map<std::string, int> Serials;

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...)
{
    if (!RecordingDevice.logging) return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    CallLog.emplace_back(text);
}

const char* Name(const void* handle)
{
    if (handle == nullptr) return "none";
    const auto found = ByAddress.find(handle);
    return found == ByAddress.end() ? "unknown" : found->second->name.c_str();
}

template <typename T>
T* Make(const char* kind)
{
    auto object = std::make_unique<T>();
    object->name = kind + std::to_string(++Serials[kind]);
    T* raw = object.get();
    ByAddress[raw] = raw;
    Objects.push_back(std::move(object));
    ++RecordingDevice.liveObjects;
    return raw;
}

void Misuse(const std::string& what)
{
    ++RecordingDevice.misuses;
    CallLog.push_back("MISUSE " + what);
}

// False (and a MISUSE entry) for a missing or released object.
bool Usable(const FakeObject* object, const char* call)
{
    if (object != nullptr && !object->released) return true;
    Misuse(std::string(call) + " " + Name(object));
    return false;
}

bool Fails(const std::set<int>& script, int& counter)
{
    return script.count(counter++) != 0;
}

uint32_t BytesPerTexel(uint32_t format)
{
    switch (format) {
    case FormatA8R8G8B8:
    case FormatX8R8G8B8: return 4;
    case FormatR8G8B8: return 3;
    case FormatA8:
    case FormatR3G3B2:
    case FormatL8: return 1;
    default: return 2;
    }
}

void ReleaseObject(FakeObject* object)
{
    if (!Usable(object, "Release")) return;
    Log("Release %s", Name(object));
    object->released = true;
    --RecordingDevice.liveObjects;
}

}  // namespace

void ResetRecordingDevice()
{
    Objects.clear();
    ByAddress.clear();
    Serials.clear();
    RecordingDevice = RecordingDeviceControl{};
}

uint8_t* TextureMemory(RenderTexture* texture, int32_t& pitch)
{
    pitch = texture != nullptr ? texture->pitch : 0;
    return texture != nullptr ? texture->memory.data() : nullptr;
}

const uint8_t* VertexBufferMemory(RenderVertexBuffer* buffer, uint32_t& length)
{
    length = buffer != nullptr ? static_cast<uint32_t>(buffer->memory.size()) : 0;
    return buffer != nullptr ? buffer->memory.data() : nullptr;
}

std::string HandleName(const void* handle)
{
    return Name(handle);
}

RenderSystem* CreateRenderSystem(uint32_t sdkVersion)
{
    RenderSystem* system =
        RecordingDevice.failCreateRenderSystem ? nullptr : Make<RenderSystem>("system");
    Log("CreateRenderSystem %u -> %s", sdkVersion, Name(system));
    return system;
}

RenderResult GetAdapterDisplayMode(RenderSystem* system, uint32_t adapter, DisplayMode& mode)
{
    if (!Usable(system, "GetAdapterDisplayMode")) return RenderErrorInvalidCall;
    Log("GetAdapterDisplayMode %s %u", Name(system), adapter);
    if (RecordingDevice.failGetAdapterDisplayMode) return RenderErrorInvalidCall;
    mode = RecordingDevice.displayMode;
    return RenderOk;
}

uint32_t GetAdapterModeCount(RenderSystem* system, uint32_t adapter)
{
    if (!Usable(system, "GetAdapterModeCount")) return 0;
    Log("GetAdapterModeCount %s %u", Name(system), adapter);
    return static_cast<uint32_t>(RecordingDevice.modes.size());
}

RenderResult EnumAdapterModes(RenderSystem* system, uint32_t adapter, uint32_t index,
                              DisplayMode& mode)
{
    if (!Usable(system, "EnumAdapterModes")) return RenderErrorInvalidCall;
    Log("EnumAdapterModes %s %u %u", Name(system), adapter, index);
    if (index >= RecordingDevice.modes.size()) return RenderErrorInvalidCall;
    mode = RecordingDevice.modes[index];
    return RenderOk;
}

RenderResult GetDeviceCaps(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                           uint32_t& devCaps)
{
    if (!Usable(system, "GetDeviceCaps")) return RenderErrorInvalidCall;
    Log("GetDeviceCaps %s %u %u", Name(system), adapter, deviceType);
    devCaps = RecordingDevice.devCaps;
    if (RecordingDevice.withoutHardwareTnl) devCaps &= ~DevCapsHwTransformAndLight;
    return RenderOk;
}

RenderResult CreateDevice(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                          NativeWindow focusWindow, uint32_t behaviorFlags,
                          const PresentParameters& params, RenderDevice*& device)
{
    device = nullptr;
    if (!Usable(system, "CreateDevice")) return RenderErrorInvalidCall;
    RecordingDevice.lastBehaviorFlags = behaviorFlags;
    RecordingDevice.lastFocusWindow = focusWindow;
    RecordingDevice.lastPresentParameters = params;
    const bool refused =
        RecordingDevice.failCreateDevice || (RecordingDevice.withoutHardwareTnl &&
                                             (behaviorFlags & CreateHardwareVertexProcessing) != 0);
    if (!refused) device = Make<RenderDevice>("device");
    Log("CreateDevice %s %u %u %llu 0x%x -> %s", Name(system), adapter, deviceType,
        static_cast<unsigned long long>(focusWindow), behaviorFlags, Name(device));
    return device != nullptr ? RenderOk : RenderErrorNotAvailable;
}

void Release(RenderSystem* system)
{
    ReleaseObject(system);
}
void Release(RenderDevice* device)
{
    ReleaseObject(device);
}
void Release(RenderTexture* texture)
{
    ReleaseObject(texture);
}
void Release(RenderVertexBuffer* buffer)
{
    ReleaseObject(buffer);
}

RenderResult TestCooperativeLevel(RenderDevice* device)
{
    if (!Usable(device, "TestCooperativeLevel")) return RenderErrorInvalidCall;
    Log("TestCooperativeLevel %s", Name(device));
    return RecordingDevice.cooperativeLevel;
}

RenderResult Clear(RenderDevice* device, uint32_t rectCount, const int32_t* /*rects*/,
                   uint32_t flags, uint32_t color, float z, uint32_t stencil)
{
    if (!Usable(device, "Clear")) return RenderErrorInvalidCall;
    Log("Clear %s %u 0x%x 0x%08x %g %u", Name(device), rectCount, flags, color,
        static_cast<double>(z), stencil);
    return RenderOk;
}

RenderResult BeginScene(RenderDevice* device)
{
    if (!Usable(device, "BeginScene")) return RenderErrorInvalidCall;
    Log("BeginScene %s", Name(device));
    return RenderOk;
}

RenderResult EndScene(RenderDevice* device)
{
    if (!Usable(device, "EndScene")) return RenderErrorInvalidCall;
    Log("EndScene %s", Name(device));
    return RenderOk;
}

RenderResult Present(RenderDevice* device)
{
    if (!Usable(device, "Present")) return RenderErrorInvalidCall;
    Log("Present %s", Name(device));
    return RenderOk;
}

RenderResult SetTransform(RenderDevice* device, TransformType type, const Matrix4& matrix)
{
    if (!Usable(device, "SetTransform")) return RenderErrorInvalidCall;
    Log("SetTransform %s %u", Name(device), static_cast<uint32_t>(type));
    RecordingDevice.transforms[static_cast<uint32_t>(type)] = matrix;
    return RenderOk;
}

RenderResult SetMaterial(RenderDevice* device, const Material& material)
{
    if (!Usable(device, "SetMaterial")) return RenderErrorInvalidCall;
    Log("SetMaterial %s", Name(device));
    RecordingDevice.lastMaterial = material;
    return RenderOk;
}

RenderResult SetRenderState(RenderDevice* device, RenderStateType state, uint32_t value)
{
    if (!Usable(device, "SetRenderState")) return RenderErrorInvalidCall;
    Log("SetRenderState %s %u %u", Name(device), static_cast<uint32_t>(state), value);
    RecordingDevice.renderStates[static_cast<uint32_t>(state)] = value;
    return RenderOk;
}

RenderResult SetTextureStageState(RenderDevice* device, uint32_t stage, TextureStageStateType type,
                                  uint32_t value)
{
    if (!Usable(device, "SetTextureStageState")) return RenderErrorInvalidCall;
    Log("SetTextureStageState %s %u %u %u", Name(device), stage, static_cast<uint32_t>(type),
        value);
    return RenderOk;
}

RenderResult CreateVertexBuffer(RenderDevice* device, uint32_t length, uint32_t usage,
                                uint32_t vertexFormat, uint32_t pool, RenderVertexBuffer*& buffer)
{
    buffer = nullptr;
    if (!Usable(device, "CreateVertexBuffer")) return RenderErrorInvalidCall;
    if (!Fails(RecordingDevice.failCreateVertexBuffer, RecordingDevice.createVertexBufferCalls)) {
        buffer = Make<RenderVertexBuffer>("buffer");
        buffer->memory.assign(length, 0);
    }
    Log("CreateVertexBuffer %s %u 0x%x 0x%x %u -> %s", Name(device), length, usage, vertexFormat,
        pool, Name(buffer));
    return buffer != nullptr ? RenderOk : RenderErrorOutOfVideoMemory;
}

RenderResult LockVertexBuffer(RenderVertexBuffer* buffer, uint32_t offset, uint32_t size,
                              uint8_t*& data, uint32_t flags)
{
    data = nullptr;
    if (!Usable(buffer, "Lock")) return RenderErrorInvalidCall;
    Log("Lock %s %u %u 0x%x", Name(buffer), offset, size, flags);
    if (Fails(RecordingDevice.failLock, RecordingDevice.lockCalls)) return RenderErrorInvalidCall;
    if (buffer->locked || offset > buffer->memory.size() || size > buffer->memory.size() - offset) {
        Misuse("Lock " + buffer->name);
        return RenderErrorInvalidCall;
    }
    buffer->locked = true;
    data = buffer->memory.data() + offset;
    return RenderOk;
}

RenderResult UnlockVertexBuffer(RenderVertexBuffer* buffer)
{
    if (!Usable(buffer, "Unlock")) return RenderErrorInvalidCall;
    Log("Unlock %s", Name(buffer));
    if (!buffer->locked) Misuse("Unlock " + buffer->name);
    buffer->locked = false;
    return RenderOk;
}

RenderResult CreateTexture(RenderDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                           uint32_t usage, uint32_t format, uint32_t pool, RenderTexture*& texture)
{
    texture = nullptr;
    if (!Usable(device, "CreateTexture")) return RenderErrorInvalidCall;
    if (!Fails(RecordingDevice.failCreateTexture, RecordingDevice.createTextureCalls)) {
        texture = Make<RenderTexture>("texture");
        texture->width = width;
        texture->height = height;
        texture->format = format;
        texture->pitch = static_cast<int32_t>(width * BytesPerTexel(format)) +
                         RecordingDevice.texturePitchPadding;
        texture->memory.assign(static_cast<size_t>(texture->pitch) * height, 0);
    }
    Log("CreateTexture %s %u %u %u 0x%x %u %u -> %s", Name(device), width, height, levels, usage,
        format, pool, Name(texture));
    return texture != nullptr ? RenderOk : RenderErrorOutOfVideoMemory;
}

RenderResult LockRect(RenderTexture* texture, uint32_t level, LockedRect& locked,
                      const int32_t* rect, uint32_t flags)
{
    locked = LockedRect{0, nullptr};
    if (!Usable(texture, "LockRect")) return RenderErrorInvalidCall;
    if (rect != nullptr) {
        Log("LockRect %s %u 0x%x rect %d %d %d %d", Name(texture), level, flags, rect[0], rect[1],
            rect[2], rect[3]);
    } else {
        Log("LockRect %s %u 0x%x", Name(texture), level, flags);
    }
    if (Fails(RecordingDevice.failLockRect, RecordingDevice.lockRectCalls)) {
        return RenderErrorInvalidCall;
    }
    if (texture->locked || level != 0) {
        Misuse("LockRect " + texture->name);
        return RenderErrorInvalidCall;
    }
    texture->locked = true;
    if (RecordingDevice.fillOnLock) {
        std::memset(texture->memory.data(), RecordingDevice.lockFill, texture->memory.size());
    }
    locked = LockedRect{texture->pitch, texture->memory.data()};
    return RenderOk;
}

RenderResult UnlockRect(RenderTexture* texture, uint32_t level)
{
    if (!Usable(texture, "UnlockRect")) return RenderErrorInvalidCall;
    Log("UnlockRect %s %u", Name(texture), level);
    if (!texture->locked) Misuse("UnlockRect " + texture->name);
    texture->locked = false;
    return RenderOk;
}

RenderResult SetVertexShader(RenderDevice* device, uint32_t vertexFormat)
{
    if (!Usable(device, "SetVertexShader")) return RenderErrorInvalidCall;
    Log("SetVertexShader %s 0x%x", Name(device), vertexFormat);
    return RenderOk;
}

RenderResult SetPixelShader(RenderDevice* device, uint32_t handle)
{
    if (!Usable(device, "SetPixelShader")) return RenderErrorInvalidCall;
    Log("SetPixelShader %s %u", Name(device), handle);
    return RenderOk;
}

RenderResult SetStreamSource(RenderDevice* device, uint32_t stream, RenderVertexBuffer* buffer,
                             uint32_t stride)
{
    if (!Usable(device, "SetStreamSource")) return RenderErrorInvalidCall;
    if (buffer != nullptr && buffer->released) Usable(buffer, "SetStreamSource");
    Log("SetStreamSource %s %u %s %u", Name(device), stream, Name(buffer), stride);
    return RenderOk;
}

RenderResult SetTexture(RenderDevice* device, uint32_t stage, RenderTexture* texture)
{
    if (!Usable(device, "SetTexture")) return RenderErrorInvalidCall;
    if (texture != nullptr && texture->released) Usable(texture, "SetTexture");
    Log("SetTexture %s %u %s", Name(device), stage, Name(texture));
    return RenderOk;
}

RenderResult DrawPrimitive(RenderDevice* device, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount)
{
    if (!Usable(device, "DrawPrimitive")) return RenderErrorInvalidCall;
    Log("DrawPrimitive %s %u %u %u", Name(device), static_cast<uint32_t>(type), startVertex,
        primitiveCount);
    return RenderOk;
}

RenderResult GetViewport(RenderDevice* device, Viewport& viewport)
{
    if (!Usable(device, "GetViewport")) return RenderErrorInvalidCall;
    Log("GetViewport %s", Name(device));
    viewport = RecordingDevice.viewport;
    return RenderOk;
}
