// SSE2 twins of the scalar pixel kernels. They give the scalar bytes for every
// input: products are formed exactly in 32-bit lanes, the transform's 16-bit
// wrap is kept by truncating (not saturating) packs, and MCUs whose samples lie
// outside the range the 16-bit colour path is exact for go to the scalar code.
#include "jpeg_pixels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>
#include <cstring>

namespace {

// ---------------------------------------------------------------- transform

inline __m128i Pair(int16_t first, int16_t second) {
    return _mm_set_epi16(second, first, second, first, second, first, second, first);
}

// Four rows of eight to pairs of columns: pairs[p] holds column 2p of the
// four rows in lanes 0-3 and column 2p + 1 in lanes 4-7.
inline void FourRowsToColumnPairs(const __m128i rows[4], __m128i pairs[4]) {
    const __m128i a0 = _mm_unpacklo_epi16(rows[0], rows[1]);
    const __m128i a1 = _mm_unpackhi_epi16(rows[0], rows[1]);
    const __m128i a2 = _mm_unpacklo_epi16(rows[2], rows[3]);
    const __m128i a3 = _mm_unpackhi_epi16(rows[2], rows[3]);
    pairs[0] = _mm_unpacklo_epi32(a0, a2);
    pairs[1] = _mm_unpackhi_epi32(a0, a2);
    pairs[2] = _mm_unpacklo_epi32(a1, a3);
    pairs[3] = _mm_unpackhi_epi32(a1, a3);
}

// In place: v[i] lane j becomes v[j] lane i.
inline void Transpose8x8(__m128i v[8]) {
    __m128i top[4], bottom[4];
    FourRowsToColumnPairs(v, top);
    FourRowsToColumnPairs(v + 4, bottom);
    for (int p = 0; p < 4; ++p) {
        v[2 * p] = _mm_unpacklo_epi64(top[p], bottom[p]);
        v[2 * p + 1] = _mm_unpackhi_epi64(top[p], bottom[p]);
    }
}

// The low 16 bits of (value >> shift), sign-extended: the wrap the scalar
// transform does when it stores, in a form packssdw keeps unchanged.
template <int kShift>
inline __m128i ShiftAndWrap(__m128i value) {
    return _mm_srai_epi32(_mm_slli_epi32(value, 16 - kShift), 16);
}

// Four lanes of the 1-D transform from interleaved input pairs (x0,x4),
// (x2,x6), (x1,x3), (x5,x7); pmaddwd forms each pair's two products and their
// sum exactly in 32 bits. With kUpperZero, x4 to x7 are known to be 0 and
// their products are left out (the sums are the same).
struct EightOutputs {
    __m128i y[8];
};

template <int kShift, bool kUpperZero>
inline EightOutputs HalfPass(__m128i p04, __m128i p26, __m128i p13, __m128i p57) {
    const __m128i sum04 = _mm_madd_epi16(p04, Pair(32, 32));
    const __m128i diff04 = kUpperZero ? sum04 : _mm_madd_epi16(p04, Pair(32, -32));
    const __m128i even0 = _mm_madd_epi16(p26, Pair(42, 17));   // a0 - sum04 = -(a3 - sum04)
    const __m128i even1 = _mm_madd_epi16(p26, Pair(17, -42));  // a1 - diff04 = -(a2 - diff04)
    const __m128i a0 = _mm_add_epi32(sum04, even0);
    const __m128i a3 = _mm_sub_epi32(sum04, even0);
    const __m128i a1 = _mm_add_epi32(diff04, even1);
    const __m128i a2 = _mm_sub_epi32(diff04, even1);

    __m128i b0 = _mm_madd_epi16(p13, Pair(44, 38));
    __m128i b1 = _mm_madd_epi16(p13, Pair(38, -9));
    __m128i b2 = _mm_madd_epi16(p13, Pair(25, -44));
    __m128i b3 = _mm_madd_epi16(p13, Pair(9, -25));
    if (!kUpperZero) {
        b0 = _mm_add_epi32(b0, _mm_madd_epi16(p57, Pair(25, 9)));
        b1 = _mm_add_epi32(b1, _mm_madd_epi16(p57, Pair(-44, -25)));
        b2 = _mm_add_epi32(b2, _mm_madd_epi16(p57, Pair(9, 38)));
        b3 = _mm_add_epi32(b3, _mm_madd_epi16(p57, Pair(38, -44)));
    }

    EightOutputs out;
    out.y[0] = ShiftAndWrap<kShift>(_mm_add_epi32(a0, b0));
    out.y[1] = ShiftAndWrap<kShift>(_mm_add_epi32(a1, b1));
    out.y[2] = ShiftAndWrap<kShift>(_mm_add_epi32(a2, b2));
    out.y[3] = ShiftAndWrap<kShift>(_mm_add_epi32(a3, b3));
    out.y[4] = ShiftAndWrap<kShift>(_mm_sub_epi32(a3, b3));
    out.y[5] = ShiftAndWrap<kShift>(_mm_sub_epi32(a2, b2));
    out.y[6] = ShiftAndWrap<kShift>(_mm_sub_epi32(a1, b1));
    out.y[7] = ShiftAndWrap<kShift>(_mm_sub_epi32(a0, b0));
    return out;
}

// The 1-D transform of eight lines at once: x[k] holds input k of line j in
// lane j; y[n] gets output n of line j in lane j.
template <int kShift, bool kUpperZero>
inline void Pass(const __m128i x[8], __m128i y[8]) {
    const EightOutputs low = HalfPass<kShift, kUpperZero>(
        _mm_unpacklo_epi16(x[0], x[4]), _mm_unpacklo_epi16(x[2], x[6]), _mm_unpacklo_epi16(x[1], x[3]),
        _mm_unpacklo_epi16(x[5], x[7]));
    const EightOutputs high = HalfPass<kShift, kUpperZero>(
        _mm_unpackhi_epi16(x[0], x[4]), _mm_unpackhi_epi16(x[2], x[6]), _mm_unpackhi_epi16(x[1], x[3]),
        _mm_unpackhi_epi16(x[5], x[7]));
    for (int n = 0; n < 8; ++n) y[n] = _mm_packs_epi32(low.y[n], high.y[n]);
}

inline void StoreRows(int16_t* block, const __m128i rows[8]) {
    for (int n = 0; n < 8; ++n) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * n), rows[n]);
}

// Any block: rows[i] holds row i of the coefficients.
template <bool kRightZero>
void TransformWhole(__m128i rows[8], int16_t* block) {
    Transpose8x8(rows);  // rows[c] lane r: coefficient (r, c)
    __m128i rowOut[8];
    Pass<5, kRightZero>(rows, rowOut);  // rowOut[n] lane r: row r's output n
    Transpose8x8(rowOut);               // rowOut[k] lane c: row k, column c
    __m128i out[8];
    Pass<8, false>(rowOut, out);  // out[n] lane c: row n, column c
    StoreRows(block, out);
}

// A block whose rows 4-7 hold only zeros: the row pass runs over rows 0-3
// alone (rows 4-7 come out 0), and the column pass sees inputs 4-7 at 0.
template <bool kRightZero>
void TransformTopHalf(const __m128i rows[8], int16_t* block) {
    __m128i pairs[4];  // lanes 0-3: rows 0-3 of column 2p, lanes 4-7: of column 2p + 1
    FourRowsToColumnPairs(rows, pairs);
    const EightOutputs top =
        HalfPass<5, kRightZero>(_mm_unpacklo_epi16(pairs[0], pairs[2]), _mm_unpacklo_epi16(pairs[1], pairs[3]),
                                _mm_unpackhi_epi16(pairs[0], pairs[1]), _mm_unpackhi_epi16(pairs[2], pairs[3]));
    // top.y[n] lane r: row r's output n for r = 0-3; turned into rows 0-3 of the intermediate.
    __m128i middle[8];
    for (int n = 0; n < 8; ++n) middle[n] = _mm_packs_epi32(top.y[n], top.y[n]);
    Transpose8x8(middle);
    for (int k = 4; k < 8; ++k) middle[k] = _mm_setzero_si128();
    __m128i out[8];
    Pass<8, true>(middle, out);
    StoreRows(block, out);
}

void InverseDct8x8Sse2(int16_t* block) {
    __m128i v[8];
    for (int i = 0; i < 8; ++i) v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i));
    const __m128i zero = _mm_setzero_si128();
    const __m128i lower = _mm_or_si128(_mm_or_si128(v[4], v[5]), _mm_or_si128(v[6], v[7]));
    const __m128i all = _mm_or_si128(_mm_or_si128(_mm_or_si128(v[0], v[1]), _mm_or_si128(v[2], v[3])), lower);
    const int allZero = _mm_movemask_epi8(_mm_cmpeq_epi16(all, zero));
    const bool lowerZero = _mm_movemask_epi8(_mm_cmpeq_epi16(lower, zero)) == 0xFFFF;
    const bool rightZero = (allZero & 0xFF00) == 0xFF00;  // columns 4-7

    // Only a DC value D: both passes scale by 32 and the shifts leave floor(D / 8).
    const __m128i ac = _mm_or_si128(lower, _mm_or_si128(_mm_and_si128(v[0], _mm_set_epi16(-1, -1, -1, -1, -1, -1, -1, 0)),
                                                         _mm_or_si128(_mm_or_si128(v[1], v[2]), v[3])));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(ac, zero)) == 0xFFFF) {
        const __m128i fill = _mm_srai_epi16(_mm_set1_epi16(block[0]), 3);
        for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * i), fill);
        return;
    }
    if (lowerZero) {
        if (rightZero)
            TransformTopHalf<true>(v, block);
        else
            TransformTopHalf<false>(v, block);
        return;
    }
    if (rightZero)
        TransformWhole<true>(v, block);
    else
        TransformWhole<false>(v, block);
}

// ------------------------------------------------------------------- stores

// Twelve bytes from four (b, g, r, x) dwords: the x bytes dropped.
inline __m128i PackPixels(__m128i dwords) {
    const __m128i keepFirst = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
    const int topByte = static_cast<int>(0xFF000000u);
    const __m128i keepSecond = _mm_set_epi32(0x0000FFFF, topByte, 0x0000FFFF, topByte);
    // Per 64-bit half: six bytes at its bottom.
    const __m128i halves = _mm_or_si128(_mm_and_si128(dwords, keepFirst),
                                        _mm_and_si128(_mm_srli_epi64(dwords, 8), keepSecond));
    const __m128i upperToSix = _mm_and_si128(_mm_srli_si128(halves, 2), _mm_set_epi32(0, -1, static_cast<int>(0xFFFF0000u), 0));
    return _mm_or_si128(_mm_move_epi64(halves), upperToSix);
}

// 48 bytes B0 G0 R0 B1 ... R15 from three planes of sixteen bytes.
struct Interleaved {
    __m128i part[3];
};

inline Interleaved InterleaveBgr(__m128i blue, __m128i green, __m128i red) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bgLow = _mm_unpacklo_epi8(blue, green);
    const __m128i bgHigh = _mm_unpackhi_epi8(blue, green);
    const __m128i rLow = _mm_unpacklo_epi8(red, zero);
    const __m128i rHigh = _mm_unpackhi_epi8(red, zero);
    const __m128i p0 = PackPixels(_mm_unpacklo_epi16(bgLow, rLow));
    const __m128i p1 = PackPixels(_mm_unpackhi_epi16(bgLow, rLow));
    const __m128i p2 = PackPixels(_mm_unpacklo_epi16(bgHigh, rHigh));
    const __m128i p3 = PackPixels(_mm_unpackhi_epi16(bgHigh, rHigh));
    Interleaved out;
    out.part[0] = _mm_or_si128(p0, _mm_slli_si128(p1, 12));
    out.part[1] = _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8));
    out.part[2] = _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4));
    return out;
}

inline void Store16(uint8_t* at, __m128i value) { _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value); }
inline void StoreLow8(uint8_t* at, __m128i value) { _mm_storel_epi64(reinterpret_cast<__m128i*>(at), value); }
inline void StoreHigh8(uint8_t* at, __m128i value) { StoreLow8(at, _mm_unpackhi_epi64(value, value)); }

inline uint8_t* RowStart(uint8_t* topLeft, int32_t stride, int row) {
    return topLeft - static_cast<ptrdiff_t>(stride) * row;
}

inline void StoreAll(uint8_t* at, const Interleaved& pixels) {
    Store16(at, pixels.part[0]);
    Store16(at + 16, pixels.part[1]);
    Store16(at + 32, pixels.part[2]);
}

// Sixteen pixels (48 bytes) to `row`, of which only the first `columns`
// reach the picture: a clipped row goes through a buffer.
inline void WriteSixteen(uint8_t* row, const Interleaved& pixels, int columns) {
    if (columns >= 16) {
        StoreAll(row, pixels);
        return;
    }
    alignas(16) uint8_t staging[48];
    StoreAll(staging, pixels);
    std::memcpy(row, staging, static_cast<size_t>(3 * columns));
}

// Two rows of eight pixels, the first in the low half of each plane, to
// `upper` and `lower` (either may be null when that row lies outside).
inline void WriteTwoEights(uint8_t* upper, uint8_t* lower, const Interleaved& pixels, int columns) {
    if (columns >= 8) {
        if (upper) {
            Store16(upper, pixels.part[0]);
            StoreLow8(upper + 16, pixels.part[1]);
        }
        if (lower) {
            StoreHigh8(lower, pixels.part[1]);
            Store16(lower + 8, pixels.part[2]);
        }
        return;
    }
    alignas(16) uint8_t staging[48];
    StoreAll(staging, pixels);
    if (upper) std::memcpy(upper, staging, static_cast<size_t>(3 * columns));
    if (lower) std::memcpy(lower, staging + 24, static_cast<size_t>(3 * columns));
}

inline __m128i LoadRow(const int16_t* block, int row) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * row));
}

void StoreGreyBlockSse2(uint8_t* topLeft, int32_t stride, const int16_t* block, int columns, int rows) {
    if (columns > 8) columns = 8;
    if (rows > 8) rows = 8;
    if (columns <= 0) return;
    for (int i = 0; i < rows; i += 2) {
        const bool pair = i + 1 < rows;
        const __m128i grey = _mm_packus_epi16(LoadRow(block, i), pair ? LoadRow(block, i + 1) : _mm_setzero_si128());
        WriteTwoEights(RowStart(topLeft, stride, i), pair ? RowStart(topLeft, stride, i + 1) : nullptr,
                       InterleaveBgr(grey, grey, grey), columns);
    }
}

// The colour terms in 16-bit lanes: with every sample in -1024..1023 each
// intermediate fits, and fix(16Y + m) = clamp(Y + floor(m / 16), 0, 255)
// because 16Y is a multiple of 16.
struct ChromaTerms {
    __m128i blue, green, red;  // floor(24Cb / 16), floor((-9Cb - 12Cr) / 16), floor(20Cr / 16)
};

inline ChromaTerms ChromaRow(const int16_t* cbBlock, const int16_t* crBlock, int row) {
    const __m128i cb = LoadRow(cbBlock, row);
    const __m128i cr = LoadRow(crBlock, row);
    ChromaTerms terms;
    terms.blue = _mm_srai_epi16(_mm_mullo_epi16(cb, _mm_set1_epi16(3)), 1);
    terms.red = _mm_srai_epi16(_mm_mullo_epi16(cr, _mm_set1_epi16(5)), 2);
    terms.green = _mm_srai_epi16(
        _mm_add_epi16(_mm_mullo_epi16(cb, _mm_set1_epi16(-9)), _mm_mullo_epi16(cr, _mm_set1_epi16(-12))), 4);
    return terms;
}

inline ChromaTerms Widen(const ChromaTerms& terms, bool high) {
    ChromaTerms wide;
    if (high) {
        wide.blue = _mm_unpackhi_epi16(terms.blue, terms.blue);
        wide.green = _mm_unpackhi_epi16(terms.green, terms.green);
        wide.red = _mm_unpackhi_epi16(terms.red, terms.red);
    } else {
        wide.blue = _mm_unpacklo_epi16(terms.blue, terms.blue);
        wide.green = _mm_unpacklo_epi16(terms.green, terms.green);
        wide.red = _mm_unpacklo_epi16(terms.red, terms.red);
    }
    return wide;
}

// Sixteen pixels from two groups of eight luminance samples, each with its own terms.
inline Interleaved Convert(__m128i lumaA, const ChromaTerms& a, __m128i lumaB, const ChromaTerms& b) {
    return InterleaveBgr(_mm_packus_epi16(_mm_add_epi16(lumaA, a.blue), _mm_add_epi16(lumaB, b.blue)),
                         _mm_packus_epi16(_mm_add_epi16(lumaA, a.green), _mm_add_epi16(lumaB, b.green)),
                         _mm_packus_epi16(_mm_add_epi16(lumaA, a.red), _mm_add_epi16(lumaB, b.red)));
}

// True when every sample of the blocks lies in -1024..1023.
bool WithinColourRange(const int16_t* blocks, int count) {
    __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
    for (int i = 0; i < 8 * count; ++i) {
        const __m128i row = LoadRow(blocks, i);
        low = _mm_min_epi16(low, row);
        high = _mm_max_epi16(high, row);
    }
    const __m128i outside = _mm_or_si128(_mm_cmplt_epi16(low, _mm_set1_epi16(-1024)),
                                         _mm_cmpgt_epi16(high, _mm_set1_epi16(1023)));
    return _mm_movemask_epi8(outside) == 0;
}

// Sixteen pixels a row (H2V1, H2V2): the left and right luminance blocks,
// each chroma sample twice; with kV0 = 2 a chroma row serves two rows.
template <int kV0>
void StoreSixteenWide(uint8_t* topLeft, int32_t stride, const int16_t* lumaBlocks, const int16_t* cbBlock,
                      const int16_t* crBlock, int columns, int rows) {
    for (int chromaRow = 0; chromaRow * kV0 < rows; ++chromaRow) {
        const ChromaTerms terms = ChromaRow(cbBlock, crBlock, chromaRow);
        const ChromaTerms left = Widen(terms, false), right = Widen(terms, true);
        for (int r = chromaRow * kV0; r < (chromaRow + 1) * kV0 && r < rows; ++r) {
            const int16_t* block = lumaBlocks + 64 * (2 * (r / 8));
            WriteSixteen(RowStart(topLeft, stride, r),
                         Convert(LoadRow(block, r % 8), left, LoadRow(block + 64, r % 8), right), columns);
        }
    }
}

// Eight pixels a row (H1V1, H1V2), two rows at a time.
template <int kV0>
void StoreEightWide(uint8_t* topLeft, int32_t stride, const int16_t* lumaBlocks, const int16_t* cbBlock,
                    const int16_t* crBlock, int columns, int rows) {
    for (int r = 0; r < rows; r += 2) {
        const int16_t* block = lumaBlocks + 64 * (r / 8);
        const ChromaTerms upper = ChromaRow(cbBlock, crBlock, r / kV0);
        const ChromaTerms lower = kV0 == 2 ? upper : ChromaRow(cbBlock, crBlock, (r + 1) % 8);
        const bool pair = r + 1 < rows;
        WriteTwoEights(RowStart(topLeft, stride, r), pair ? RowStart(topLeft, stride, r + 1) : nullptr,
                       Convert(LoadRow(block, r % 8), upper, LoadRow(block, (r + 1) % 8), lower), columns);
    }
}

void StoreColourMcuSse2(uint8_t* topLeft, int32_t stride, const int16_t* lumaBlocks, const int16_t* cbBlock,
                        const int16_t* crBlock, SamplingMode mode, int columns, int rows) {
    int h0 = 0, v0 = 0;
    if (!ColourMcuShape(mode, &h0, &v0, &columns, &rows)) return;
    if (!WithinColourRange(lumaBlocks, h0 * v0) || !WithinColourRange(cbBlock, 1) || !WithinColourRange(crBlock, 1)) {
        kScalarPixelKernels.storeColourMcu(topLeft, stride, lumaBlocks, cbBlock, crBlock, mode, columns, rows);
        return;
    }
    switch (mode) {
        case MODE_H1V1: StoreEightWide<1>(topLeft, stride, lumaBlocks, cbBlock, crBlock, columns, rows); break;
        case MODE_H1V2: StoreEightWide<2>(topLeft, stride, lumaBlocks, cbBlock, crBlock, columns, rows); break;
        case MODE_H2V1: StoreSixteenWide<1>(topLeft, stride, lumaBlocks, cbBlock, crBlock, columns, rows); break;
        default: StoreSixteenWide<2>(topLeft, stride, lumaBlocks, cbBlock, crBlock, columns, rows); break;
    }
}

// ------------------------------------------------------ reduced transform

// Four int32 lanes: the sums of the four lanes of a, b, c and d.
inline __m128i SumLanes(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i ab = _mm_add_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
    const __m128i cd = _mm_add_epi32(_mm_unpacklo_epi32(c, d), _mm_unpackhi_epi32(c, d));
    return _mm_add_epi32(_mm_unpacklo_epi64(ab, cd), _mm_unpackhi_epi64(ab, cd));
}

inline __m128i LoadWeights(const int32_t* weights) {
    return _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(weights)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 4)));
}

// The square cases of the picture at 1/2 and 1/4 with pmaddwd: the scalar
// code's exact sums, shifts and final clamp. Its first pass clamps at 2^17;
// here a block whose first pass leaves 16 bits (damaged data only) goes to
// the scalar code. Lanes from kSize on carry zeros.
template <int kSize>
bool ReduceSquare(const int32_t (&table)[kSize][8], const int16_t* coefficients, int16_t* samples, int stride) {
    __m128i weights[4];
    for (int m = 0; m < 4; ++m) weights[m] = m < kSize ? LoadWeights(table[m]) : _mm_setzero_si128();
    __m128i middle[8];  // row v: its first-pass outputs, 16-bit, in lanes 0-3
    __m128i outside = _mm_setzero_si128();
    for (int v = 0; v < 8; ++v) {
        const __m128i row = LoadRow(coefficients, v);
        const __m128i sums = SumLanes(_mm_madd_epi16(row, weights[0]), _mm_madd_epi16(row, weights[1]),
                                      _mm_madd_epi16(row, weights[2]), _mm_madd_epi16(row, weights[3]));
        const __m128i shifted = _mm_srai_epi32(_mm_add_epi32(sums, _mm_set1_epi32(512)), 10);
        middle[v] = _mm_packs_epi32(shifted, shifted);
        outside = _mm_or_si128(outside, _mm_xor_si128(_mm_srai_epi32(_mm_unpacklo_epi16(middle[v], middle[v]), 16), shifted));
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(outside, _mm_setzero_si128())) != 0xFFFF) return false;
    __m128i pairs[4];  // rows 2j and 2j + 1 interleaved, column by column
    for (int j = 0; j < 4; ++j) pairs[j] = _mm_unpacklo_epi16(middle[2 * j], middle[2 * j + 1]);
    for (int r = 0; r < kSize; ++r) {
        const int32_t* down = table[r];
        __m128i sum = _mm_setzero_si128();
        for (int j = 0; j < 4; ++j)
            sum = _mm_add_epi32(sum, _mm_madd_epi16(pairs[j], Pair(static_cast<int16_t>(down[2 * j]),
                                                                   static_cast<int16_t>(down[2 * j + 1]))));
        const __m128i out = _mm_srai_epi32(sum, 15);
        alignas(16) int16_t row[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(row), _mm_packs_epi32(out, out));
        std::memcpy(samples + stride * r, row, kSize * sizeof(int16_t));
    }
    return true;
}

void InverseDctReducedSse2(const int16_t* coefficients, int columns, int rows, int16_t* samples, int stride) {
    bool done = false;
    if (columns == 4 && rows == 4) done = ReduceSquare<4>(kHalfSizeWeights, coefficients, samples, stride);
    if (columns == 2 && rows == 2) done = ReduceSquare<2>(kQuarterSizeWeights, coefficients, samples, stride);
    if (!done) InverseDctReduced(coefficients, columns, rows, samples, stride);
}

}  // namespace

const JpegPixelKernels kSse2PixelKernels = {
    InverseDct8x8Sse2,
    StoreGreyBlockSse2,
    StoreColourMcuSse2,
    InverseDctReducedSse2,
};

const JpegPixelKernels& FastPixelKernels() { return kSse2PixelKernels; }

#else  // no SSE2 in this build: the scalar kernels are the fast ones

const JpegPixelKernels& FastPixelKernels() { return kScalarPixelKernels; }

#endif
