// The versions of the inner loops (plain, SSE2, AVX2) must give the same bits for every input.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/cpu/cpu_spans.h"

namespace {

std::vector<cpu::SpanFunctions> Versions()
{
    std::vector<cpu::SpanFunctions> versions = {{cpu::ResampleSse2, cpu::BlendSse2}};
    if (cpu::ProcessorHasAvx2()) versions.push_back({cpu::ResampleAvx2, cpu::BlendAvx2});
    versions.push_back(cpu::ChosenSpanFunctions());
    return versions;
}

}  // namespace

TEST(CpuSpans, EveryResampleVersionGivesThePlainVersionsBits)
{
    std::mt19937 random(3);
    constexpr int32_t TextureWidth = 37;
    // The repeated column and the slack the permuting version reads.
    std::vector<uint32_t> row(TextureWidth + 9);
    for (uint32_t& texel : row) texel = random();
    row[TextureWidth] = row[0];
    row[5] = 0xFFFFFFFFu;
    row[6] = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t count = 1 + trial % 53;
        const auto padded = static_cast<size_t>(cpu::RoundUpTo8(count));
        std::vector<int32_t> index(padded);
        std::vector<uint16_t> weight(4 * padded);
        // Steps below one texel (groups close together), above it (spread, gathered), and
        // wrapping back to column 0 part way.
        const double step = (trial % 3 == 0) ? 0.37 : (trial % 3 == 1) ? 0.994 : 2.3;
        const double start = static_cast<double>(random() % TextureWidth);
        for (int32_t i = 0; i < count; ++i) {
            index[i] = static_cast<int32_t>(start + i * step) % TextureWidth;
            std::fill_n(weight.begin() + 4 * i, 4, static_cast<uint16_t>(random() % 256));
        }
        std::vector<int32_t> offset(padded);
        std::vector<int32_t> groupBase(padded / 8);
        cpu::GroupColumns(count, index.data(), weight.data(), offset.data(), groupBase.data());
        const cpu::Columns columns{count, index.data(), weight.data(), offset.data(),
                                   groupBase.data()};
        std::vector<uint32_t> expected(padded, 0xDEADBEEFu);
        cpu::ResamplePlain(row.data(), columns, expected.data());
        for (const cpu::SpanFunctions& version : Versions()) {
            std::vector<uint32_t> got(padded, 0xDEADBEEFu);
            version.resample(row.data(), columns, got.data());
            got.resize(static_cast<size_t>(count));  // what lies beyond is free to use
            ASSERT_EQ(got, std::vector<uint32_t>(expected.begin(), expected.begin() + count))
                << "trial " << trial;
        }
    }
}

TEST(CpuSpans, EveryBlendVersionGivesThePlainVersionsBits)
{
    using cpu::BlendFactor;
    const BlendFactor factors[] = {BlendFactor::Zero, BlendFactor::One, BlendFactor::SourceAlpha,
                                   BlendFactor::InverseSourceAlpha};
    std::mt19937 random(11);
    for (int trial = 0; trial < 400; ++trial) {
        const auto count = static_cast<size_t>(trial % 41);
        const auto padded = static_cast<size_t>(cpu::RoundUpTo8(static_cast<int32_t>(count)));
        // Past the row, the target holds words nobody may touch.
        std::vector<uint32_t> upper(padded), lower(padded), before(count + 8, 0x5A5A5A5Au);
        for (size_t i = 0; i < padded; ++i) {
            upper[i] = random();
            lower[i] = random();
        }
        for (size_t i = 0; i < count; ++i) {
            upper[i] = random();
            lower[i] = i % 7 == 0 ? 0xFFFFFFFFu : random();  // extremes show rounding
            before[i] = i % 5 == 0 ? 0xFFFFFFFFu : random();
        }
        cpu::Span span{};
        span.count = static_cast<int32_t>(count);
        span.upper = upper.data();
        span.lower = lower.data();
        span.rowWeight = trial % 5 == 0 ? 0 : random() % 256;
        span.modulate = trial % 2 == 0 ? 0x00FFFFFFu : (random() & 0x00FFFFFFu);
        span.source = factors[trial % 4];
        span.destination = factors[(trial / 4) % 4];
        std::vector<uint32_t> expected = before;
        span.target = expected.data();
        cpu::BlendPlain(span);
        for (const cpu::SpanFunctions& version : Versions()) {
            std::vector<uint32_t> got = before;
            span.target = got.data();
            version.blend(span);
            ASSERT_EQ(got, expected) << "trial " << trial;
        }
    }
}

TEST(CpuSpans, APixelFollowsTheStatedRule)
{
    using cpu::BlendFactor;
    // Half of a red and a blue texel, opaque, over black: each channel halves to nearest.
    EXPECT_EQ(cpu::DrawPixel(0, 0xFFFF0000u, 0xFF0000FFu, 0xFFFF0000u, 0xFF0000FFu, 128, 0,
                             0x00FFFFFFu, BlendFactor::One, BlendFactor::Zero),
              0xFF800080u);
    // White at alpha 0x80 over white stays white (alpha blends alike: 0x40 + 0x7F); over black
    // it is 0x80 * 0x80 / 255.
    EXPECT_EQ(cpu::DrawPixel(0xFFFFFFFFu, 0x80FFFFFFu, 0x80FFFFFFu, 0x80FFFFFFu, 0x80FFFFFFu, 0, 0,
                             0x00FFFFFFu, BlendFactor::SourceAlpha,
                             BlendFactor::InverseSourceAlpha),
              0xBFFFFFFFu);
    EXPECT_EQ(cpu::DrawPixel(0, 0x80FFFFFFu, 0, 0, 0, 0, 0, 0x00FFFFFFu, BlendFactor::SourceAlpha,
                             BlendFactor::InverseSourceAlpha),
              0x40808080u);
    // The vertex colour scales colour, not alpha.
    EXPECT_EQ(cpu::DrawPixel(0, 0xFFFFFFFFu, 0, 0, 0, 0, 0, 0x00804020u, BlendFactor::One,
                             BlendFactor::Zero),
              0xFF804020u);
}
