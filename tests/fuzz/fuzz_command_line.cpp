// The command-line scan on any bytes: it stays inside the text and always chooses a mode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "host/win32/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A zero-terminated copy exactly as long as the text, so that a read past the end is seen.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    const CommandLineChoice choice = ScanCommandLine(text.data());
    if (static_cast<uint32_t>(choice.mode) > 3) std::abort();
    if ((choice.previewFlag == 1) != (choice.mode == SaverMode::Preview)) std::abort();
    if (choice.previewFlag > 1) std::abort();
    ParseDecimal(text.data());
    return 0;
}
