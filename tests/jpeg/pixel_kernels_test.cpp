// The pixel kernels: the scalar ones and their fast (SSE2) twins against the
// transform's definition and known answers, and the fast stores against the scalar ones.
#include <algorithm>
#include <cmath>
#include <random>

#include "jpeg_test_support.h"

namespace {

using jpegtest::U8;

const JpegPixelKernels* const kKernelSets[] = {&kScalarPixelKernels, &FastPixelKernels()};

// Samples from several regimes, so that the vector code's shortcuts and
// fallbacks (16-bit colour sums, zero rows and columns) are all taken.
int16_t Sample(std::mt19937& random, int regime) {
    static const int16_t extremes[] = {-32768, -4097, -4096, -1025, -1024, -1, 0, 1, 16, 256, 1023, 1024, 4095, 32767};
    static const int ranges[][2] = {{-32768, 32767}, {-300, 600}, {-1100, 1100}, {-1000, 1800}, {-1800, 1000}};
    if (regime == 5) return extremes[random() % 14];
    if (regime == 6) return static_cast<int16_t>(random() % 8 ? 0 : static_cast<int>(random() % 4096) - 2048);
    return static_cast<int16_t>(std::uniform_int_distribution<int>(ranges[regime][0], ranges[regime][1])(random));
}

// 32·√2·cos((2n + 1)kπ/16) rounded (32 for k = 0); rows >> 5, then columns >> 8, each kept to 16 bits.
void TransformByDefinition(int16_t* block) {
    const auto basis = [](int n, int k) {
        const double pi = std::acos(-1.0);
        return k ? static_cast<int>(std::lround(32 * std::sqrt(2.0) * std::cos((2 * n + 1) * k * pi / 16))) : 32;
    };
    for (int pass = 0, step = 1; pass < 2; ++pass, step = 8)
        for (int line = 0; line < 8; ++line) {
            int16_t* x = block + line * (pass ? 1 : 8);
            int32_t y[8] = {};
            for (int n = 0; n < 8; ++n)
                for (int k = 0; k < 8; ++k) y[n] += basis(n, k) * x[k * step];
            for (int n = 0; n < 8; ++n) x[n * step] = static_cast<int16_t>(y[n] >> (pass ? 8 : 5));
        }
}

TEST(PixelKernels, TheTransformFollowsItsDefinition) {
    std::mt19937 random(1);
    for (const JpegPixelKernels* kernels : kKernelSets)
        for (int trial = 0; trial < 20000; ++trial) {
            // Nonzero: all, the top rows, the left columns, the top-left quarter, or the DC alone.
            int16_t block[64], expected[64];
            for (int i = 0; i < 64; ++i) {
                const bool zero = ((trial & 1) && i >= 32) || ((trial & 2) && i % 8 >= 4) || (trial % 97 == 0 && i);
                block[i] = zero ? 0 : Sample(random, trial / 4 % 7);
            }
            memcpy(expected, block, sizeof block);
            TransformByDefinition(expected);
            kernels->inverseDct8x8(block);
            ASSERT_EQ(memcmp(block, expected, sizeof block), 0) << trial;
        }
}

TEST(PixelKernels, ColourConversionAtTheEdgesOfFix) {
    const int cases[][6] = {  // Y, Cb, Cr, then B, G, R; green t = 4095, 4096, -1, 15, 16, 4079
        {128, 0, 0, 128, 128, 128},  {255, 0, 100, 255, 180, 255},      {0, -10, 0, 0, 5, 0},
        {252, -7, 0, 241, 255, 252}, {256, 0, 0, 255, 255, 255},        {-4, -7, 0, 0, 0, 0},
        {-3, -7, 0, 0, 0, 0},        {1, 0, 0, 1, 1, 1},                {251, -7, 0, 240, 254, 251},
        {32767, 32767, 32767, 255, 0, 255}, {-32768, -32768, -32768, 0, 255, 0}};
    for (const JpegPixelKernels* kernels : kKernelSets)
        for (const auto& c : cases) {
            int16_t planes[384];
            for (int i = 0; i < 384; ++i) planes[i] = static_cast<int16_t>(c[i < 256 ? 0 : i < 320 ? 1 : 2]);
            uint8_t bgr[3];
            kernels->storeColourMcu(bgr, 3, planes, planes + 256, planes + 320, MODE_H1V1, 1, 1);
            EXPECT_EQ(std::vector<int>(bgr, bgr + 3), std::vector<int>(c + 3, c + 6)) << c[0] << " " << c[1];
        }
}

// A bottom-up area of random bytes; margin 0 puts the next row right after a row's pixels.
struct Canvas {
    int stride, height, margin;
    std::vector<uint8_t> bytes;
    Canvas(int w, int h, int margin, uint32_t seed) : stride(3 * w + 2 * margin), height(h), margin(margin) {
        std::mt19937 random(seed);
        for (int i = 0; i < stride * h + 128; ++i) bytes.push_back(U8(random()));
    }
    size_t At(int column, int row) const { return 64 + (height - 1 - row) * stride + margin + 3 * column; }
    // Luminance slots 0-3, then Cb and Cr; a grey block is the first 64.
    void Store(const JpegPixelKernels* k, SamplingMode mode, const int16_t* planes, int columns, int rows) {
        if (mode == MODE_GREY) return k->storeGreyBlock(&bytes[At(0, 0)], stride, planes, columns, rows);
        k->storeColourMcu(&bytes[At(0, 0)], stride, planes, planes + 256, planes + 320, mode, columns, rows);
    }
};

const struct { SamplingMode mode; int width, height, h0, v0; } kShapes[] = {
    {MODE_GREY, 8, 8, 1, 1}, {MODE_H1V1, 8, 8, 1, 1}, {MODE_H2V1, 16, 8, 2, 1}, {MODE_H1V2, 8, 16, 1, 2},
    {MODE_H2V2, 16, 16, 2, 2}};

TEST(PixelKernels, StoresPlaceReplicateClampAndClipAndTheFastOnesWriteTheScalarBytes) {
    // Luminance slot s holds 16 + 32s, chroma sample i is Cb i and Cr -2i; grey samples run past both clamps.
    int16_t tagged[384], grey[384] = {-32768, -1, 0, 1, 127, 254, 255, 256, 32767, -300, 300}, planes[384];
    for (int i = 0; i < 384; ++i)
        tagged[i] = static_cast<int16_t>(i < 256 ? 16 + 32 * (i / 64) : i < 320 ? i - 256 : 640 - 2 * i);
    const auto fix = [](int t) { return U8(t < 0 ? 0 : t >= 4096 ? 255 : t >> 4); };
    std::mt19937 random(5);
    for (const auto& s : kShapes)
        for (int columns = 0; columns <= s.width + 2; ++columns)
            for (int rows = 0; rows <= s.height + 2; ++rows) {
                const Canvas before(s.width, s.height, 48, 7);
                std::vector<uint8_t> expected = before.bytes;
                for (int r = 0; r < std::min(rows, s.height); ++r)
                    for (int c = 0; c < std::min(columns, s.width); ++c) {
                        const int y = 16 * tagged[64 * ((r / 8) * s.h0 + c / 8)], i = 8 * (r / s.v0) + c / s.h0;
                        const uint8_t g = U8(std::max(0, std::min(255, static_cast<int>(grey[8 * r + c]))));
                        const uint8_t bgr[3] = {fix(y + 24 * i), fix(y + 15 * i), fix(y - 40 * i)};
                        for (int b = 0; b < 3; ++b) expected[before.At(c, r) + b] = s.mode ? bgr[b] : g;
                    }
                for (const JpegPixelKernels* kernels : kKernelSets) {
                    Canvas canvas = before;
                    canvas.Store(kernels, s.mode, s.mode ? tagged : grey, columns, rows);
                    ASSERT_TRUE(canvas.bytes == expected) << "mode " << s.mode << " clip " << columns << "x" << rows;
                }
                for (int regime = 0; regime < 16; ++regime) {
                    for (int16_t& v : planes) v = Sample(random, regime % 8 == 7 ? 1 : regime % 8);
                    // One sample out of the 16-bit colour path's range in an otherwise small MCU.
                    if (regime % 8 == 7) planes[random() % 384] = random() % 2 ? 1024 : -1025;
                    Canvas scalar(columns, rows, regime < 8 ? 0 : 5, regime), vector = scalar;
                    scalar.Store(&kScalarPixelKernels, s.mode, planes, columns, rows);
                    vector.Store(&FastPixelKernels(), s.mode, planes, columns, rows);
                    ASSERT_TRUE(scalar.bytes == vector.bytes) << "mode " << s.mode << " clip " << columns << "x" << rows
                                                              << " regime " << regime;
                }
            }
}

}  // namespace
