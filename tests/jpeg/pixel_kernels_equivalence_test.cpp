// The SSE2 kernels against the scalar ones: the same bytes for random,
// realistic and extreme inputs, every mode and every clip size, and not one
// byte written beside the pixels asked for.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "jpeg/jpeg_pixels.h"

#if defined(__SSE2__)

namespace {

const int16_t kExtremes[] = {-32768, -32767, -4097, -4096, -1025, -1024, -1023, -256, -1, 0,
                             1,      15,     16,    255,   256,   1023,  1024,  4095, 32766, 32767};

class SampleSource {
public:
    explicit SampleSource(uint32_t seed) : random_(seed) {}

    // Draws from one of several regimes so that both the common and the odd
    // paths of the vector code are taken.
    int16_t Next(int regime) {
        switch (regime) {
            case 0: return static_cast<int16_t>(Uniform(-32768, 32767));
            case 1: return static_cast<int16_t>(Uniform(-300, 600));  // decoded samples of a real photo
            case 2: return kExtremes[Uniform(0, sizeof(kExtremes) / sizeof(kExtremes[0]) - 1)];
            case 3: return static_cast<int16_t>(Uniform(-1100, 1100));  // around the colour path's limits
            // Where 16-bit colour sums would overflow, on one side at a time.
            case 4: return static_cast<int16_t>(Uniform(-1000, 1800));
            case 5: return static_cast<int16_t>(Uniform(-1800, 1000));
            default: return Uniform(0, 7) == 0 ? static_cast<int16_t>(Uniform(-2048, 2047)) : 0;  // sparse
        }
    }
    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

private:
    std::mt19937 random_;
};

constexpr int kRegimes = 7;

TEST(PixelKernelsEquivalence, InverseTransformMatchesOnRandomAndExtremeBlocks) {
    SampleSource source(12345);
    for (int trial = 0; trial < 40000; ++trial) {
        const int regime = trial % kRegimes;
        // Shapes of the nonzero area: whole block, top four rows, left four
        // columns, top-left quarter (the vector code takes shortcuts for these).
        const int shape = (trial / kRegimes) % 4;
        int16_t scalar[64], vector[64];
        for (int i = 0; i < 64; ++i) {
            const bool outside = ((shape & 1) && i / 8 >= 4) || ((shape & 2) && i % 8 >= 4);
            scalar[i] = outside ? 0 : source.Next(regime);
        }
        std::memcpy(vector, scalar, sizeof(scalar));
        kScalarPixelKernels.inverseDct8x8(scalar);
        kSse2PixelKernels.inverseDct8x8(vector);
        ASSERT_EQ(std::memcmp(scalar, vector, sizeof(scalar)), 0) << "trial " << trial << " shape " << shape;
    }
}

TEST(PixelKernelsEquivalence, InverseTransformMatchesOnSingleCoefficients) {
    // One value at one position: the DC-only shortcut and every basis function.
    for (int position = 0; position < 64; ++position) {
        for (int16_t value : kExtremes) {
            int16_t scalar[64] = {}, vector[64] = {};
            scalar[position] = vector[position] = value;
            kScalarPixelKernels.inverseDct8x8(scalar);
            kSse2PixelKernels.inverseDct8x8(vector);
            ASSERT_EQ(std::memcmp(scalar, vector, sizeof(scalar)), 0) << "position " << position << " value " << value;
        }
    }
    // Every coefficient at an extreme: the widest sums the passes see.
    for (int16_t value : {int16_t(-32768), int16_t(32767)}) {
        for (int pattern = 0; pattern < 4; ++pattern) {
            int16_t scalar[64], vector[64];
            for (int i = 0; i < 64; ++i) {
                const int flips[4] = {0, i & 1, (i >> 3) & 1, (i ^ (i >> 3)) & 1};
                const bool flip = flips[pattern] != 0;
                scalar[i] = flip ? static_cast<int16_t>(-1 - value) : value;
            }
            std::memcpy(vector, scalar, sizeof(scalar));
            kScalarPixelKernels.inverseDct8x8(scalar);
            kSse2PixelKernels.inverseDct8x8(vector);
            ASSERT_EQ(std::memcmp(scalar, vector, sizeof(scalar)), 0) << "value " << value << " pattern " << pattern;
        }
    }
}

// Two copies of a picture area, one per kernel set. Tight rows (stride = the
// written width exactly) put another row's pixels right after each row, and
// a margin of known bytes lies before and after the whole area.
struct TwinCanvas {
    int stride, rows;
    std::vector<uint8_t> scalar, vector;
    static constexpr int kMargin = 64;

    TwinCanvas(int width, int height, bool tight, uint32_t seed) : stride(tight ? 3 * width : 3 * width + 5), rows(height) {
        const size_t size = static_cast<size_t>(stride) * height + 2 * kMargin;
        scalar.resize(size);
        std::mt19937 random(seed);
        for (uint8_t& byte : scalar) byte = static_cast<uint8_t>(random());
        vector = scalar;
    }
    // The MCU's top row is stored last (bottom-up picture).
    uint8_t* TopLeft(std::vector<uint8_t>& bytes) {
        return bytes.data() + kMargin + static_cast<size_t>(stride) * (rows - 1);
    }
};

void FillBlocks(SampleSource& source, int regime, int16_t* luma, int16_t* cb, int16_t* cr) {
    for (int i = 0; i < 256; ++i) luma[i] = source.Next(regime);
    for (int i = 0; i < 64; ++i) cb[i] = source.Next(regime);
    for (int i = 0; i < 64; ++i) cr[i] = source.Next(regime);
}

struct Shape {
    SamplingMode mode;
    int width, height;
};
const Shape kColourShapes[] = {{MODE_H1V1, 8, 8}, {MODE_H2V1, 16, 8}, {MODE_H1V2, 8, 16}, {MODE_H2V2, 16, 16}};

TEST(PixelKernelsEquivalence, ColourMcusMatchForEveryModeAndClip) {
    SampleSource source(777);
    int16_t luma[256], cb[64], cr[64];
    for (const Shape& shape : kColourShapes) {
        for (int columns = 1; columns <= shape.width; ++columns) {
            for (int rows = 1; rows <= shape.height; ++rows) {
                for (int regime = 0; regime < kRegimes; ++regime) {
                    for (bool tight : {true, false}) {
                        FillBlocks(source, regime, luma, cb, cr);
                        TwinCanvas canvas(columns, rows, tight, static_cast<uint32_t>(columns * 100 + rows));
                        kScalarPixelKernels.storeColourMcu(canvas.TopLeft(canvas.scalar), canvas.stride, luma, cb, cr,
                                                           shape.mode, columns, rows);
                        kSse2PixelKernels.storeColourMcu(canvas.TopLeft(canvas.vector), canvas.stride, luma, cb, cr,
                                                         shape.mode, columns, rows);
                        ASSERT_EQ(canvas.scalar, canvas.vector) << "mode " << shape.mode << " clip " << columns << "x"
                                                                << rows << " regime " << regime << " tight " << tight;
                    }
                }
            }
        }
    }
}

TEST(PixelKernelsEquivalence, FullColourMcusMatchOnManyRandomBlocks) {
    SampleSource source(4242);
    int16_t luma[256], cb[64], cr[64];
    for (int trial = 0; trial < 4000; ++trial) {
        const Shape& shape = kColourShapes[trial % 4];
        const int regime = (trial / 4) % kRegimes;
        FillBlocks(source, regime, luma, cb, cr);
        // One sample just outside the 16-bit path's range now and then: the
        // whole MCU must still come out as the scalar code writes it.
        if (trial % 7 == 0) {
            int16_t* planes[3] = {luma, cb, cr};
            planes[trial % 3][source.Uniform(0, 63)] = (trial & 8) ? 1024 : -1025;
        }
        TwinCanvas canvas(shape.width, shape.height, trial & 1, static_cast<uint32_t>(trial));
        kScalarPixelKernels.storeColourMcu(canvas.TopLeft(canvas.scalar), canvas.stride, luma, cb, cr, shape.mode,
                                           shape.width, shape.height);
        kSse2PixelKernels.storeColourMcu(canvas.TopLeft(canvas.vector), canvas.stride, luma, cb, cr, shape.mode,
                                         shape.width, shape.height);
        ASSERT_EQ(canvas.scalar, canvas.vector) << "trial " << trial << " mode " << shape.mode;
    }
}

TEST(PixelKernelsEquivalence, GreyBlocksMatchForEveryClip) {
    SampleSource source(99);
    int16_t block[64];
    for (int columns = 0; columns <= 8; ++columns) {
        for (int rows = 0; rows <= 8; ++rows) {
            for (int regime = 0; regime < kRegimes; ++regime) {
                for (bool tight : {true, false}) {
                    for (int k = 0; k < 64; ++k) block[k] = source.Next(regime);
                    TwinCanvas canvas(columns > 0 ? columns : 1, rows > 0 ? rows : 1, tight,
                                      static_cast<uint32_t>(columns * 10 + rows));
                    kScalarPixelKernels.storeGreyBlock(canvas.TopLeft(canvas.scalar), canvas.stride, block, columns,
                                                       rows);
                    kSse2PixelKernels.storeGreyBlock(canvas.TopLeft(canvas.vector), canvas.stride, block, columns,
                                                     rows);
                    ASSERT_EQ(canvas.scalar, canvas.vector)
                        << "clip " << columns << "x" << rows << " regime " << regime << " tight " << tight;
                }
            }
        }
    }
}

}  // namespace

#else

TEST(PixelKernelsEquivalence, NoVectorKernelsInThisBuild) { GTEST_SKIP() << "built without SSE2"; }

#endif
