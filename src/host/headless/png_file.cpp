#include "host/headless/png_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <stb_image_write.h>

namespace {

struct PngOutput {
    std::FILE* file;
    int error;  // errno of the first failed write, 0 while none failed
};

void WriteChunk(void* context, void* data, int size)
{
    auto* out = static_cast<PngOutput*>(context);
    if (out->error != 0 || size <= 0) return;
    if (std::fwrite(data, 1, static_cast<size_t>(size), out->file) != static_cast<size_t>(size)) {
        out->error = errno != 0 ? errno : EIO;
    }
}

}  // namespace

bool WritePngFile(const char* path, int32_t width, int32_t height, int32_t channels,
                  const uint8_t* pixels, int32_t stride, std::string& reason)
{
    const auto fail = [&](int error) {
        reason = std::string("cannot write '") + path + "': " + std::strerror(error);
        return false;
    };
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return fail(errno);
    PngOutput out{file, 0};
    errno = 0;
    const int encoded =
        stbi_write_png_to_func(WriteChunk, &out, width, height, channels, pixels, stride);
    if (std::fclose(file) != 0 && out.error == 0) out.error = errno != 0 ? errno : EIO;
    if (encoded == 0 && out.error == 0) out.error = ENOMEM;
    if (out.error != 0) {
        std::remove(path);
        return fail(out.error);
    }
    return true;
}
