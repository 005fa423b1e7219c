// The reduced inverse transform: a block of coefficients straight to the
// samples of a picture shown at 1/2, 1/4 or 1/8 of its size (a chroma block
// of a subsampled picture also at 1/1 one way). Plain scalar code: the
// reference for the SSE2 twin.
#include "jpeg_pixels.h"

// The weight of frequency u for output sample m when each output sample
// covers k samples of the full transform: 2048 · √2 · cos(k(2m + 1)uπ/16) ·
// (the mean of cos((2j + 1 - k)uπ/16) over the k samples j it covers), 2048
// for u = 0. So an output sample is the exact mean of the k full-size samples
// it covers: the higher frequencies fold onto it instead of being dropped,
// which keeps fine detail from shifting the mean. These are k = 2 and 4.
const int32_t kHalfSizeWeights[4][8] = {{2048, 2624, 1892, 922, 0, -616, -784, -522},
                                        {2048, 1087, -1892, -2225, 0, 1487, 784, -216},
                                        {2048, -1087, -1892, 2225, 0, -1487, 784, 216},
                                        {2048, -2624, 1892, -922, 0, 616, -784, 522}};

const int32_t kQuarterSizeWeights[2][8] = {{2048, 1856, 0, -652, 0, 435, 0, -369},
                                           {2048, -1856, 0, 652, 0, -435, 0, 369}};

namespace {

// k = 1 (the plain transform, for chroma kept at its own size one way) and 8.
const int32_t kWeights1[8][8] = {
    {2048, 2841, 2676, 2408, 2048, 1609, 1108, 565},     {2048, 2408, 1108, -565, -2048, -2841, -2676, -1609},
    {2048, 1609, -1108, -2841, -2048, 565, 2676, 2408},  {2048, 565, -2676, -1609, 2048, 2408, -1108, -2841},
    {2048, -565, -2676, 1609, 2048, -2408, -1108, 2841}, {2048, -1609, -1108, 2841, -2048, -565, 2676, -2408},
    {2048, -2408, 1108, 565, -2048, 2841, -2676, 1609},  {2048, -2841, 2676, -2408, 2048, -1609, 1108, -565}};
const int32_t kWeights8[1][8] = {{2048, 0, 0, 0, 0, 0, 0, 0}};

template <int kSize>
struct Weights;
template <> struct Weights<8> { static constexpr const int32_t (&table)[8][8] = kWeights1; };
template <> struct Weights<4> { static constexpr const int32_t (&table)[4][8] = kHalfSizeWeights; };
template <> struct Weights<2> { static constexpr const int32_t (&table)[2][8] = kQuarterSizeWeights; };
template <> struct Weights<1> { static constexpr const int32_t (&table)[1][8] = kWeights8; };

inline int32_t Clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : value > high ? high : value; }

// Rows then columns, the weights scaled by 2048 each time. The first pass
// keeps one spare bit and stops at 2^17 (no picture comes near: that is
// damaged data), so the second sum stays below 2^31 (2^17 · 15303). The
// last shift floors, as the full-size transform does: a flat block gives
// exactly its full-size samples. Rows of zeros (most rows of a photo's
// block) add nothing and are passed over. Sample n - 1 - m weighs even
// frequencies as sample m does and odd ones negated, so each pass sums the
// even and odd terms of the first half once and gets the mirror half from
// their difference (the same integers as the plain sums).
template <int kColumns, int kRows>
void Reduce(const int16_t* coefficients, int16_t* samples, int stride) {
    const int32_t(&across)[kColumns][8] = Weights<kColumns>::table;
    const int32_t(&down)[kRows][8] = Weights<kRows>::table;
    constexpr int kHalfColumns = (kColumns + 1) / 2, kHalfRows = (kRows + 1) / 2;
    int32_t even[kHalfRows][kColumns] = {}, odd[kHalfRows][kColumns] = {};
    for (int v = 0; v < 8; ++v) {
        const int16_t* row = coefficients + 8 * v;
        if ((row[0] | row[1] | row[2] | row[3] | row[4] | row[5] | row[6] | row[7]) == 0) continue;
        int32_t middle[kColumns];
        for (int m = 0; m < kHalfColumns; ++m) {
            const int32_t e = across[m][0] * row[0] + across[m][2] * row[2] + across[m][4] * row[4] + across[m][6] * row[6];
            const int32_t o = across[m][1] * row[1] + across[m][3] * row[3] + across[m][5] * row[5] + across[m][7] * row[7];
            middle[m] = Clamp((e + o + 512) >> 10, -131072, 131071);
            middle[kColumns - 1 - m] = Clamp((e - o + 512) >> 10, -131072, 131071);
        }
        int32_t(&half)[kHalfRows][kColumns] = v % 2 ? odd : even;
        for (int r = 0; r < kHalfRows; ++r)
            for (int m = 0; m < kColumns; ++m) half[r][m] += down[r][v] * middle[m];
    }
    for (int r = 0; r < kHalfRows; ++r)
        for (int m = 0; m < kColumns; ++m) {
            samples[stride * r + m] = static_cast<int16_t>(Clamp((even[r][m] + odd[r][m]) >> 15, -32768, 32767));
            samples[stride * (kRows - 1 - r) + m] =
                static_cast<int16_t>(Clamp((even[r][m] - odd[r][m]) >> 15, -32768, 32767));
        }
}

}  // namespace

void InverseDctReduced(const int16_t* coefficients, int columns, int rows, int16_t* samples, int stride) {
    bool flat = true;  // the DC term alone: every sample is its mean, as the sums below would give
    for (int i = 1; i < 64 && flat; ++i) flat = coefficients[i] == 0;
    if (flat) {
        const int16_t mean = static_cast<int16_t>(coefficients[0] >> 3);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) samples[stride * r + c] = mean;
        return;
    }
    switch (columns * 16 + rows) {
        case 0x88: Reduce<8, 8>(coefficients, samples, stride); break;
        case 0x84: Reduce<8, 4>(coefficients, samples, stride); break;
        case 0x48: Reduce<4, 8>(coefficients, samples, stride); break;
        case 0x44: Reduce<4, 4>(coefficients, samples, stride); break;
        case 0x42: Reduce<4, 2>(coefficients, samples, stride); break;
        case 0x24: Reduce<2, 4>(coefficients, samples, stride); break;
        case 0x22: Reduce<2, 2>(coefficients, samples, stride); break;
        case 0x21: Reduce<2, 1>(coefficients, samples, stride); break;
        case 0x12: Reduce<1, 2>(coefficients, samples, stride); break;
        default: samples[0] = static_cast<int16_t>(coefficients[0] >> 3); break;  // the DC term alone: the mean
    }
}
