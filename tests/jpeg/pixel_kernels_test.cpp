// The pixel kernels, both sets: the transforms against their definitions, colour against known answers, and
// the SSE2 stores against the scalar ones.
#include <cmath>
#include <random>

#include "jpeg_test_support.h"

namespace {

const JpegPixelKernels* const kKernelSets[] = {&kScalarPixelKernels, &FastPixelKernels()};

// Samples from regimes that take every shortcut and fallback of the vector code (16-bit sums, zero rows).
int16_t Sample(std::mt19937& random, int regime) {
    static const int16_t extremes[] = {-32768, -4097, -4096, -1025, -1024, -1, 0, 1, 16, 256, 1023, 1024, 4095, 32767};
    static const int ranges[][2] = {{-32768, 32767}, {-300, 600}, {-1100, 1100}, {-1000, 1800}, {-1800, 1000}};
    if (regime == 5) return extremes[random() % 14];
    if (regime == 6) return static_cast<int16_t>(random() % 8 ? 0 : static_cast<int>(random() % 4096) - 2048);
    return static_cast<int16_t>(std::uniform_int_distribution<int>(ranges[regime][0], ranges[regime][1])(random));
}

TEST(PixelKernels, TheTransformsFollowTheirDefinitions) {
    // Full: rows then columns by 32·√2·cos((2n + 1)kπ/16) rounded (32 for k = 0), >> 5 then >> 8, kept to 16 bits.
    // Reduced: each sample the mean of those it covers in the transform in doubles, rounded either way; the SSE2
    // kernel gives the scalar samples on any input, even far outside a picture's range.
    double cosines[8][8];  // C(k) cos((2n + 1)kπ/16) / 2, C(0) = 1/√2; the full basis is 64√2 times it
    for (int i = 0; i < 64; ++i)  // n = i / 8, k = i % 8
        cosines[i / 8][i % 8] = (i % 8 ? 0.5 : std::sqrt(0.125)) * std::cos((i / 8 * 2 + 1) * (i % 8) * std::atan(1.0) / 4);
    const int shapes[][2] = {{4, 4}, {8, 8}, {2, 2}, {1, 1}, {8, 4}, {4, 8}, {4, 2}, {2, 4}, {2, 1}, {1, 2}};
    std::mt19937 random(1);
    for (int trial = 0; trial < 20000; ++trial) {
        const int regime = trial / 8 % 7;  // 1-3 a picture's range, the rest any 16-bit value
        // Nonzero: all, the top rows, the left columns, a third at random, or the DC alone.
        int16_t block[64], expected[64];
        for (int i = 0; i < 64; ++i) {
            const bool zero = ((trial & 1) && i >= 32) || ((trial & 2) && i % 8 >= 4) || ((trial & 4) && random() % 3) ||
                              (trial % 29 == 0 && i);
            expected[i] = block[i] = zero ? 0 : Sample(random, regime);
        }
        double full[8][8] = {};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                for (int i = 0; i < 64; ++i) full[y][x] += cosines[x][i % 8] * cosines[y][i / 8] * block[i];
        for (const auto& [columns, rows] : shapes) {
            int16_t samples[64] = {}, fast[64] = {};
            kScalarPixelKernels.inverseDctReduced(block, columns, rows, samples, 8);
            FastPixelKernels().inverseDctReduced(block, columns, rows, fast, 8);
            ASSERT_EQ(memcmp(samples, fast, sizeof fast), 0) << columns << "x" << rows << " " << trial;
            for (int r = 0, kx = 8 / columns, ky = 8 / rows; r < rows && regime >= 1 && regime <= 3; ++r)
                for (int c = 0; c < columns; ++c) {
                    double mean = 0;
                    for (int y = ky * r; y < ky * r + ky; ++y)
                        for (int x = kx * c; x < kx * c + kx; ++x) mean += full[y][x] / (kx * ky);
                    ASSERT_LE(std::abs(samples[8 * r + c] - std::floor(mean)), 1) << columns << "x" << rows << " " << trial;
                }
        }
        for (int pass = 0, step = 1; pass < 2; ++pass, step = 8)
            for (int16_t* x = expected; x < expected + (pass ? 8 : 64); x += pass ? 1 : 8) {
                int32_t y[8] = {};
                for (int n = 0; n < 8; ++n)
                    for (int k = 0; k < 8; ++k) y[n] += std::lround(std::sqrt(8192.0) * cosines[n][k]) * x[k * step];
                for (int n = 0; n < 8; ++n) x[n * step] = static_cast<int16_t>(y[n] >> (pass ? 8 : 5));
            }
        for (const JpegPixelKernels* kernels : kKernelSets) {
            int16_t out[64];
            kernels->inverseDct8x8(static_cast<int16_t*>(memcpy(out, block, sizeof out)));
            ASSERT_EQ(memcmp(out, expected, sizeof out), 0) << trial;
        }
    }
}

TEST(PixelKernels, ColourConversionAtTheEdgesOfFix) {
    const int cases[][6] = {  // Y, Cb, Cr, then B, G, R; green t = 4095, 4096, -1, 15, 16, 4079
        {128, 0, 0, 128, 128, 128}, {255, 0, 100, 255, 180, 255}, {0, -10, 0, 0, 5, 0}, {252, -7, 0, 241, 255, 252},
        {256, 0, 0, 255, 255, 255}, {-4, -7, 0, 0, 0, 0}, {-3, -7, 0, 0, 0, 0}, {1, 0, 0, 1, 1, 1},
        {251, -7, 0, 240, 254, 251}, {32767, 32767, 32767, 255, 0, 255}, {-32768, -32768, -32768, 0, 255, 0}};
    for (const JpegPixelKernels* kernels : kKernelSets)
        for (const auto& c : cases) {
            int16_t planes[384];
            for (int i = 0; i < 384; ++i) planes[i] = static_cast<int16_t>(c[i < 256 ? 0 : i < 320 ? 1 : 2]);
            uint8_t bgr[3];
            kernels->storeColourMcu(bgr, 3, planes, planes + 256, planes + 320, MODE_H1V1, 1, 1);
            EXPECT_EQ(std::vector<int>(bgr, bgr + 3), std::vector<int>(c + 3, c + 6)) << c[0] << " " << c[1];
        }
}

TEST(PixelKernels, FastStoresWriteTheScalarBytesForEveryShapeClipAndRange) {
    const struct { SamplingMode mode; int width, height; } shapes[] = {
        {MODE_GREY, 8, 8}, {MODE_H1V1, 8, 8}, {MODE_H2V1, 16, 8}, {MODE_H1V2, 8, 16}, {MODE_H2V2, 16, 16}};
    std::mt19937 random(5);
    int16_t planes[384];  // luminance slots 0-3, then Cb and Cr; a grey block is the first 64
    for (const auto& s : shapes)
        for (int columns = 0; columns <= s.width + 2; ++columns)
            for (int rows = 0; rows <= s.height + 2; ++rows)
                for (int regime = 0; regime < 16; ++regime) {
                    for (int16_t& v : planes) v = Sample(random, regime % 8 == 7 ? 1 : regime % 8);
                    // One sample out of the 16-bit colour path's range in an otherwise small MCU.
                    if (regime % 8 == 7) planes[random() % 384] = random() % 2 ? 1024 : -1025;
                    // Random bytes round a bottom-up area; margin 0 puts the next row right after a row's pixels.
                    const int margin = regime < 8 ? 0 : 5, stride = 3 * columns + 2 * margin;
                    Bytes canvas[2] = {Bytes(stride * rows + 128)};
                    for (uint8_t& b : canvas[0]) b = U8(random());
                    canvas[1] = canvas[0];
                    for (int k = 0; k < 2; ++k) {
                        uint8_t* topLeft = &canvas[k][64 + (rows - 1) * stride + margin];
                        if (!s.mode) kKernelSets[k]->storeGreyBlock(topLeft, stride, planes, columns, rows);
                        else kKernelSets[k]->storeColourMcu(topLeft, stride, planes, planes + 256, planes + 320, s.mode,
                                                            columns, rows);
                    }
                    ASSERT_TRUE(canvas[0] == canvas[1]) << s.mode << " " << columns << "x" << rows << " " << regime;
                }
}

}  // namespace
