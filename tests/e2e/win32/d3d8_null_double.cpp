// A d3d8.dll whose Direct3DCreate8 gives nothing, as on a system without Direct3D 8. Run the
// program under test with WINEDLLOVERRIDES="...;d3d8=n" and this file beside it (Wine's builtin
// library wins otherwise).
#include <windows.h>

extern "C" __declspec(dllexport) void* WINAPI Direct3DCreate8(UINT)
{
    return nullptr;
}
