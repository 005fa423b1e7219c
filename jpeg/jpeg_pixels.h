// Blocks to pixels: the integer inverse DCT, grey stores, and the colour MCU
// writer with chroma replication. Each kernel has a plain scalar version and,
// where SSE2 is available, a vector twin that must give the same bytes.
#pragma once

#include <cstdint>

enum SamplingMode : int16_t {
    MODE_GREY = 0,
    MODE_H1V1 = 1,
    MODE_H2V1 = 2,
    MODE_H1V2 = 3,
    MODE_H2V2 = 4,
    MODE_UNSUPPORTED = 99,
};

// The luminance sampling factors of a colour mode (H0 x V0 luminance blocks
// per MCU, the MCU 8 * H0 pixels wide and 8 * V0 high); false for MODE_GREY
// and anything that is not a colour mode.
inline bool LumaSampling(SamplingMode mode, int* h0, int* v0) {
    switch (mode) {
        case MODE_H1V1: *h0 = 1, *v0 = 1; return true;
        case MODE_H2V1: *h0 = 2, *v0 = 1; return true;
        case MODE_H1V2: *h0 = 1, *v0 = 2; return true;
        case MODE_H2V2: *h0 = 2, *v0 = 2; return true;
        default: return false;
    }
}

// The sampling of a colour MCU and the part of it a store writes, cut to the
// MCU's size; false when there is nothing to write.
inline bool ColourMcuShape(SamplingMode mode, int* h0, int* v0, int* columns, int* rows) {
    if (!LumaSampling(mode, h0, v0)) return false;  // not a colour MCU
    if (*columns > 8 * *h0) *columns = 8 * *h0;
    if (*rows > 8 * *v0) *rows = 8 * *v0;
    return *columns > 0 && *rows > 0;
}

// topLeft points at the first byte (blue) of the top-left pixel of the block
// or MCU in the bottom-up output; picture row R + 1 lies `stride` bytes
// before row R, column C lies 3 * C bytes after the row's start. A kernel
// writes exactly the `columns` x `rows` pixels at the top-left and nothing else.
struct JpegPixelKernels {
    // In place, 64 values in natural (row-major) order: coefficients in, samples out.
    void (*inverseDct8x8)(int16_t* block);
    // Writes the top-left columns x rows samples of one grey block, clamped to 0..255.
    void (*storeGreyBlock)(uint8_t* topLeft, int32_t stride, const int16_t* block, int columns, int rows);
    // Writes the top-left columns x rows pixels of one colour MCU. lumaBlocks
    // holds the luminance blocks of the MCU (slots 0-3, 64 values each, raster
    // order within the MCU); mode is one of the four colour SamplingModes.
    void (*storeColourMcu)(uint8_t* topLeft, int32_t stride, const int16_t* lumaBlocks, const int16_t* cbBlock,
                           const int16_t* crBlock, SamplingMode mode, int columns, int rows);
    // InverseDctReduced (below), or a twin giving the same samples.
    void (*inverseDctReduced)(const int16_t* coefficients, int columns, int rows, int16_t* samples, int stride);
};

extern const JpegPixelKernels kScalarPixelKernels;

#if defined(__SSE2__)
// The SSE2 twins: the same bytes as the scalar kernels for every input.
extern const JpegPixelKernels kSse2PixelKernels;
#endif

// One block of coefficients (natural order) to columns x rows samples
// (each 8, 4, 2 or 1), each the mean of the 8 / columns x 8 / rows samples
// of the full-size transform it covers, floored (fixed point: within one of
// the exact mean's floor; a DC-only block gives exactly its full-size
// samples); kept to 16 bits.
// samples[stride * r + c] gets row r, column c.
void InverseDctReduced(const int16_t* coefficients, int columns, int rows, int16_t* samples, int stride);
// Its weights for four and two samples from eight (the picture at 1/2 and
// 1/4), x 2048.
extern const int32_t kHalfSizeWeights[4][8];
extern const int32_t kQuarterSizeWeights[2][8];

// The SSE2 kernels where the build has them, else the scalar ones.
const JpegPixelKernels& FastPixelKernels();
