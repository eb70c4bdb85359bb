// The span versions (plain, SSE2, AVX2) must give the same bits for every input.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/cpu/cpu_spans.h"

TEST(CpuSpans, EveryVersionGivesThePlainVersionsBits)
{
    using cpu::BlendFactor;
    const BlendFactor factors[] = {BlendFactor::Zero, BlendFactor::One, BlendFactor::SourceAlpha,
                                   BlendFactor::InverseSourceAlpha};
    std::vector<cpu::SpanFunction> versions = {cpu::DrawSpanSse2};
    if (cpu::ProcessorHasAvx2()) versions.push_back(cpu::DrawSpanAvx2);
    versions.push_back(cpu::ChosenSpanFunction());

    std::mt19937 random(11);
    constexpr int32_t TextureWidth = 23;  // plus the repeated column
    std::vector<uint32_t> rows[2];
    for (auto& row : rows) {
        row.resize(TextureWidth + 1);
        for (uint32_t& texel : row) texel = random();
        // Extremes, where rounding and saturation show.
        row[3] = 0xFFFFFFFFu;
        row[4] = 0x00000000u;
        row[5] = 0x80FF00FFu;
    }
    for (int trial = 0; trial < 400; ++trial) {
        const int32_t count = trial % 41;
        std::vector<int32_t> columns(static_cast<size_t>(count));
        std::vector<uint16_t> weights(4 * static_cast<size_t>(count));
        std::vector<uint32_t> before(static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i) {
            columns[i] = static_cast<int32_t>(random() % TextureWidth);
            const auto weight = static_cast<uint16_t>(trial % 3 == 0 ? (i * 85) % 256 : random() % 256);
            std::fill_n(weights.begin() + 4 * i, 4, weight);
            before[i] = random();
        }
        cpu::Span span{};
        span.count = count;
        span.row0 = rows[0].data();
        span.row1 = rows[1].data();
        span.rowWeight = trial % 5 == 0 ? 0 : random() % 256;
        span.columns = columns.data();
        span.weights = weights.data();
        span.modulate = trial % 2 == 0 ? 0x00FFFFFFu : (random() & 0x00FFFFFFu);
        span.source = factors[trial % 4];
        span.destination = factors[(trial / 4) % 4];

        std::vector<uint32_t> expected = before;
        span.target = expected.data();
        cpu::DrawSpanPlain(span);
        for (size_t v = 0; v < versions.size(); ++v) {
            std::vector<uint32_t> got = before;
            span.target = got.data();
            versions[v](span);
            ASSERT_EQ(got, expected) << "version " << v << ", trial " << trial;
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
    EXPECT_EQ(cpu::DrawPixel(0xFFFFFFFFu, 0x80FFFFFFu, 0x80FFFFFFu, 0x80FFFFFFu, 0x80FFFFFFu, 0,
                             0, 0x00FFFFFFu, BlendFactor::SourceAlpha,
                             BlendFactor::InverseSourceAlpha),
              0xBFFFFFFFu);
    EXPECT_EQ(cpu::DrawPixel(0, 0x80FFFFFFu, 0, 0, 0, 0, 0, 0x00FFFFFFu,
                             BlendFactor::SourceAlpha, BlendFactor::InverseSourceAlpha),
              0x40808080u);
    // The vertex colour scales colour, not alpha.
    EXPECT_EQ(cpu::DrawPixel(0, 0xFFFFFFFFu, 0, 0, 0, 0, 0, 0x00804020u, BlendFactor::One,
                             BlendFactor::Zero),
              0xFF804020u);
}
