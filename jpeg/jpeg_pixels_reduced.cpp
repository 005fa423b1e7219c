// The reduced inverse transform: a block of coefficients straight to the
// n x n samples of a picture shown at 1/2, 1/4 or 1/8 of its size, from the
// block's lowest n x n frequencies. Plain scalar code, shared by both modes.
#include "jpeg_pixels.h"

namespace {

// The weight of frequency u for output sample m at 1/k: 2048 · √2 ·
// cos(k(2m + 1)uπ/16) · (the mean of cos((2j + 1 - k)uπ/16) over the k
// pixels j the sample covers); 2048 for u = 0. So each output sample is the
// mean of the k x k full-size samples it covers, less the frequencies above
// n - 1 that it drops.
const int32_t kWeights4[4][4] = {
    {2048, 2624, 1892, 922}, {2048, 1087, -1892, -2225}, {2048, -1087, -1892, 2225}, {2048, -2624, 1892, -922}};
const int32_t kWeights2[2][2] = {{2048, 1856}, {2048, -1856}};

inline int16_t Saturate16(int32_t value) {
    if (value < -32768) return -32768;
    if (value > 32767) return 32767;
    return static_cast<int16_t>(value);
}

// Rows then columns, the weights scaled by 2048 each time. After the first
// pass one spare bit is kept; both sums stay below 2^31 for any 16-bit input
// (32768 · 7486 / 1024 · 7486 < 1.8 · 10^9), and the second shift leaves
// 1/8 of the double sum, rounded.
template <int kSize>
void Reduce(const int32_t (&weights)[kSize][kSize], const int16_t* coefficients, int16_t* samples, int stride) {
    int32_t middle[kSize][kSize];  // [coefficient row][output column]
    for (int v = 0; v < kSize; ++v) {
        const int16_t* row = coefficients + 8 * v;
        for (int m = 0; m < kSize; ++m) {
            int32_t sum = 0;
            for (int u = 0; u < kSize; ++u) sum += weights[m][u] * row[u];
            middle[v][m] = (sum + 512) >> 10;
        }
    }
    for (int r = 0; r < kSize; ++r)
        for (int m = 0; m < kSize; ++m) {
            int32_t sum = 0;
            for (int v = 0; v < kSize; ++v) sum += weights[r][v] * middle[v][m];
            samples[stride * r + m] = Saturate16((sum + 16384) >> 15);
        }
}

}  // namespace

void InverseDctReduced(const int16_t* coefficients, int size, int16_t* samples, int stride) {
    if (size == 4) {
        Reduce<4>(kWeights4, coefficients, samples, stride);
    } else if (size == 2) {
        Reduce<2>(kWeights2, coefficients, samples, stride);
    } else {
        // The DC term alone: the block's mean, rounded (the same as the sums above with weight 2048).
        samples[0] = static_cast<int16_t>((coefficients[0] + 4) >> 3);
    }
}
