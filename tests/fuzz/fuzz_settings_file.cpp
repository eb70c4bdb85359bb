// The settings file reader on any bytes: it must never crash, and whatever it was given, the
// values the saver writes into it must read back exactly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "settings/registry_file.h"

namespace {

const char* const Key = "Control Panel\\Desktop\\3D Tavrel Screensaver";
const char* const Names[] = {"[bTnL]",        "[bTime]",      "[bFps]",        "[Prominent]",
                             "[Light Speed]", "[Num Lights]", "[Color Light]", "[Version]"};

void Check(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RegFile file = ParseSettingsFile(text);
    for (const char* name : Names) {
        if (const RegFileLine* line = FindRegFileValue(file, Key, name)) {
            Check(line->kind == RegLineKind::Value && line->readable && !line->deletesValue);
        }
    }
    // Unparseable text yields nothing at all.
    if (file.status != RegFileStatus::Parsed) Check(file.lines.empty());

    // Every value gets bytes derived from the input, so that both the dword and the hex forms
    // are written.
    uint8_t bytes[8][4];
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) bytes[i][j] = size > 0 ? data[(i * 4 + j) % size] : 0;
        const uint32_t type = i == 7 ? 1 : 4;
        const uint32_t length = i == 7 ? 3 : 4;
        SetRegFileValue(file, Key, Names[i], type, bytes[i], length);
    }
    const std::string written = SerializeSettingsFile(file);
    const RegFile reread = ParseSettingsFile(written);
    Check(reread.status == RegFileStatus::Parsed);
    for (int i = 0; i < 8; ++i) {
        const RegFileLine* line = FindRegFileValue(reread, Key, Names[i]);
        Check(line != nullptr);
        Check(line->type == (i == 7 ? 1u : 4u));
        Check(line->data.size() == (i == 7 ? 3u : 4u));
        Check(std::memcmp(line->data.data(), bytes[i], line->data.size()) == 0);
    }
    // Writing what was read back changes nothing more.
    Check(SerializeSettingsFile(reread) == written);
    return 0;
}
