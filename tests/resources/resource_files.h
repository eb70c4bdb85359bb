// The committed resource files, read whole.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<uint8_t> ReadResourceFile(const std::string& name)
{
    std::ifstream in(std::string(TAVREL_RESOURCE_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

inline uint32_t ReadLe16(const std::vector<uint8_t>& b, size_t at)
{
    return b.at(at) | b.at(at + 1) << 8;
}

inline uint32_t ReadLe32(const std::vector<uint8_t>& b, size_t at)
{
    return ReadLe16(b, at) | ReadLe16(b, at + 2) << 16;
}
