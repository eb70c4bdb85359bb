// PNG files of the headless runs.
#pragma once

#include <cstdint>
#include <string>

// Writes a picture of width x height pixels, rows top first and stride bytes apart, each
// pixel `channels` bytes (3: red, green, blue; 4: red, green, blue, alpha). The same pixels
// always give the same bytes. False, with a one-line reason naming the file, when it cannot be
// written; no partial file is left behind.
bool WritePngFile(const char* path, int32_t width, int32_t height, int32_t channels,
                  const uint8_t* pixels, int32_t stride, std::string& reason);
