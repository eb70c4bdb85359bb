// The desktop from a picture file or from the demo desktop, turned into the height field.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <stb_image.h>

#include "support/heap.h"
#include "surface/height_field.h"
#include "surface/picture/demo_desktop.h"
#include "surface/picture/desktop_source.h"

namespace {

// Far more than any picture of MaxDesktopSide squared needs; a bigger file is not read whole.
constexpr long MaxPictureFileBytes = 512L << 20;

bool StartsWith(const uint8_t* bytes, size_t size, const char* magic, size_t length)
{
    return size >= length && std::memcmp(bytes, magic, length) == 0;
}

// The decoder would also try formats without a signature (TGA among them) and could take a
// damaged file for one of those, so only the four named formats are let through.
bool KnownPictureFormat(const uint8_t* bytes, size_t size)
{
    return StartsWith(bytes, size, "\x89PNG\r\n\x1a\n", 8) ||
           StartsWith(bytes, size, "\xFF\xD8\xFF", 3) || StartsWith(bytes, size, "BM", 2) ||
           StartsWith(bytes, size, "GIF87a", 6) || StartsWith(bytes, size, "GIF89a", 6);
}

std::string Quoted(const char* path)
{
    return std::string("'") + path + "'";
}

// Makes the height field of a snapshot the process's desktop, replacing any earlier one.
bool InstallSnapshot(SurfaceFields& surface, const DesktopSnapshot& snapshot, std::string& reason)
{
    const size_t count = static_cast<size_t>(snapshot.width) * static_cast<size_t>(snapshot.height);
    auto* heights = static_cast<uint8_t*>(AllocateZeroed(count));
    if (heights == nullptr) {
        reason = "not enough memory for the height field";
        return false;
    }
    HeightFieldFromSnapshot(snapshot.pixels.data(), snapshot.width, snapshot.height, heights);
    InstallHeightField(surface, heights, snapshot.width, snapshot.height);
    return true;
}

}  // namespace

bool DecodeDesktopPicture(const uint8_t* bytes, size_t size, DesktopSnapshot& snapshot,
                          std::string& reason)
{
    snapshot = DesktopSnapshot{};
    if (bytes == nullptr || !KnownPictureFormat(bytes, size)) {
        reason = "not a PNG, JPEG, BMP or GIF picture";
        return false;
    }
    if (size > static_cast<size_t>(MaxPictureFileBytes)) {
        reason = "the file is too large";
        return false;
    }
    const int length = static_cast<int>(size);
    int width = 0;
    int height = 0;
    int channels = 0;
    // The size first, so that a huge picture is turned down before it is decoded.
    if (stbi_info_from_memory(bytes, length, &width, &height, &channels) == 0) {
        reason = std::string("damaged picture (") + stbi_failure_reason() + ")";
        return false;
    }
    if (width <= 0 || height <= 0 || width > MaxDesktopSide || height > MaxDesktopSide) {
        reason = "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels; at most " + std::to_string(MaxDesktopSide) +
                 " in either direction will do";
        return false;
    }
    // Three channels: grey and palette pictures come out as RGB, an alpha channel is dropped.
    stbi_uc* rgb = stbi_load_from_memory(bytes, length, &width, &height, &channels, 3);
    if (rgb == nullptr) {
        reason = std::string("damaged picture (") + stbi_failure_reason() + ")";
        return false;
    }

    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    const size_t stride = snapshot.Reset(width, height);
    // The picture's top row becomes the snapshot's last.
    for (size_t y = 0; y < h; ++y) {
        const stbi_uc* in = rgb + y * 3 * w;
        uint8_t* out = snapshot.pixels.data() + (h - 1 - y) * stride;
        for (size_t x = 0; x < w; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    stbi_image_free(rgb);
    return true;
}

bool LoadDesktopPicture(const char* path, DesktopSnapshot& snapshot, std::string& reason)
{
    snapshot = DesktopSnapshot{};
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        reason = "cannot open the picture " + Quoted(path) + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    bool failed = false;
    for (;;) {
        const size_t got = std::fread(block, 1, sizeof block, file);
        bytes.insert(bytes.end(), block, block + got);
        if (got < sizeof block) {
            failed = std::ferror(file) != 0;
            break;
        }
        // A device or a pipe may never end: what does not start like a picture is not read on.
        if (!KnownPictureFormat(bytes.data(), bytes.size())) break;
        if (bytes.size() > static_cast<size_t>(MaxPictureFileBytes)) break;
    }
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        reason = "cannot read the picture " + Quoted(path) + ": " + std::strerror(readError);
        return false;
    }
    std::string why;
    if (!DecodeDesktopPicture(bytes.data(), bytes.size(), snapshot, why)) {
        reason = "cannot use the picture " + Quoted(path) + ": " + why;
        return false;
    }
    return true;
}

bool UseDesktopSnapshot(SurfaceFields& surface, const DesktopSnapshot& snapshot,
                        std::string& reason)
{
    if (snapshot.width <= 0 || snapshot.height <= 0) {
        reason = "no screen snapshot was taken";
        return false;
    }
    return InstallSnapshot(surface, snapshot, reason);
}

bool UseDesktopPictureFile(SurfaceFields& surface, const std::string& path, std::string& reason)
{
    DesktopSnapshot snapshot;
    return LoadDesktopPicture(path.c_str(), snapshot, reason) &&
           InstallSnapshot(surface, snapshot, reason);
}

bool UseDemoDesktop(SurfaceFields& surface, int32_t width, int32_t height, std::string& reason)
{
    if (width <= 0 || height <= 0 || width > MaxDesktopSide || height > MaxDesktopSide) {
        reason = "no demo desktop of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels";
        return false;
    }
    DesktopSnapshot snapshot;
    snapshot.Reset(width, height);
    DrawDemoDesktop(width, height, snapshot.pixels.data());
    return InstallSnapshot(surface, snapshot, reason);
}
