// The plain scalar pixel kernels: the reference every faster twin must match
// byte for byte.
#include "jpeg_pixels.h"

#include <cstddef>

namespace {

// Two's complement wrap to 16 bits: the transform stores between passes and
// after the last pass without clamping.
inline int16_t Wrap16(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

// One 8-point pass over values spaced `step` apart, each output shifted right
// (arithmetically) by `shift`. The constants are 32·√2·cos(kπ/16) rounded.
void InverseDct8(int16_t* x, int step, int shift) {
    const int32_t x0 = x[0 * step], x1 = x[1 * step], x2 = x[2 * step], x3 = x[3 * step];
    const int32_t x4 = x[4 * step], x5 = x[5 * step], x6 = x[6 * step], x7 = x[7 * step];

    const int32_t sum04 = 32 * (x0 + x4);
    const int32_t diff04 = 32 * (x0 - x4);
    const int32_t a0 = sum04 + 42 * x2 + 17 * x6;
    const int32_t a1 = diff04 + 17 * x2 - 42 * x6;
    const int32_t a2 = diff04 - 17 * x2 + 42 * x6;
    const int32_t a3 = sum04 - 42 * x2 - 17 * x6;

    const int32_t b0 = 44 * x1 + 38 * x3 + 25 * x5 + 9 * x7;
    const int32_t b1 = 38 * x1 - 9 * x3 - 44 * x5 - 25 * x7;
    const int32_t b2 = 25 * x1 - 44 * x3 + 9 * x5 + 38 * x7;
    const int32_t b3 = 9 * x1 - 25 * x3 + 38 * x5 - 44 * x7;

    x[0 * step] = Wrap16((a0 + b0) >> shift);
    x[1 * step] = Wrap16((a1 + b1) >> shift);
    x[2 * step] = Wrap16((a2 + b2) >> shift);
    x[3 * step] = Wrap16((a3 + b3) >> shift);
    x[4 * step] = Wrap16((a3 - b3) >> shift);
    x[5 * step] = Wrap16((a2 - b2) >> shift);
    x[6 * step] = Wrap16((a1 - b1) >> shift);
    x[7 * step] = Wrap16((a0 - b0) >> shift);
}

void InverseDct8x8Scalar(int16_t* block) {
    for (int row = 0; row < 8; ++row) InverseDct8(block + 8 * row, 1, 5);
    for (int column = 0; column < 8; ++column) InverseDct8(block + column, 8, 8);
}

inline uint8_t ClampSample(int32_t sample) {
    if (sample < 0) return 0;
    if (sample > 255) return 255;
    return static_cast<uint8_t>(sample);
}

// Colour channels are computed in 1/16 steps; the result saturates at 4096.
inline uint8_t FixChannel(int32_t t) {
    if (t < 0) return 0;
    if (t >= 4096) return 255;
    return static_cast<uint8_t>(t >> 4);
}

inline uint8_t* RowStart(uint8_t* topLeft, int32_t stride, int row) {
    return topLeft - static_cast<ptrdiff_t>(stride) * row;
}

void StoreGreyBlockScalar(uint8_t* topLeft, int32_t stride, const int16_t* block, int columns, int rows) {
    if (columns > 8) columns = 8;
    if (rows > 8) rows = 8;
    for (int i = 0; i < rows; ++i) {
        uint8_t* pixel = RowStart(topLeft, stride, i);
        for (int j = 0; j < columns; ++j, pixel += 3) {
            const uint8_t value = ClampSample(block[8 * i + j]);
            pixel[0] = value;
            pixel[1] = value;
            pixel[2] = value;
        }
    }
}

void StoreColourMcuScalar(uint8_t* topLeft, int32_t stride, const int16_t* lumaBlocks, const int16_t* cbBlock,
                          const int16_t* crBlock, SamplingMode mode, int columns, int rows) {
    int h0 = 0, v0 = 0;
    if (!ColourMcuShape(mode, &h0, &v0, &columns, &rows)) return;

    for (int r = 0; r < rows; ++r) {
        uint8_t* pixel = RowStart(topLeft, stride, r);
        for (int c = 0; c < columns; ++c, pixel += 3) {
            const int16_t* luma = lumaBlocks + 64 * ((r / 8) * h0 + c / 8);
            const int chroma = 8 * (r / v0) + c / h0;
            const int32_t y16 = 16 * static_cast<int32_t>(luma[8 * (r % 8) + c % 8]);
            const int32_t cb = cbBlock[chroma];
            const int32_t cr = crBlock[chroma];
            pixel[0] = FixChannel(y16 + 24 * cb);
            pixel[1] = FixChannel(y16 - 9 * cb - 12 * cr);
            pixel[2] = FixChannel(y16 + 20 * cr);
        }
    }
}

}  // namespace

const JpegPixelKernels kScalarPixelKernels = {
    InverseDct8x8Scalar,
    StoreGreyBlockScalar,
    StoreColourMcuScalar,
    InverseDctReduced,
};
