// Helpers for the decoder tests: hand-made streams with flat Huffman tables,
// decodes that copy the picture out, allocators that count and fail on demand.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "jpeg/jpeg_internal.h"
#include "base/dib_image.h"

using Bytes = std::vector<uint8_t>;
inline Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
inline uint8_t U8(int value) { return static_cast<uint8_t>(value); }
inline int Category(int v) { return v ? 1 + Category(v / 2) : 0; }

// Entropy-coded bits, most significant first, a 0x00 after each 0xFF, padded with ones.
// Flat tables: DC category s is the 4-bit code s, AC symbol x the 8-bit code x.
struct Bits {
    Bytes bytes;
    int pending = 0, count = 0;
    Bits& Put(int value, int n) {
        while (n-- > 0)
            if (pending = pending << 1 | ((value >> n) & 1); ++count == 8) {
                bytes.push_back(U8(pending));
                if (pending == 0xFF) bytes.push_back(0);
                pending = 0, count = 0;
            }
        return *this;
    }
    Bits& Value(int v) { return Put(v < 0 ? v + (1 << Category(v)) - 1 : v, Category(v)); }
    Bits& Dc(int diff) { return Put(Category(diff), 4).Value(diff); }
    Bits& Ac(int run, int v) { return Put(run << 4 | Category(v), 8).Value(v); }
    Bits& Block(int diff) { return Dc(diff).Put(0, 8); }  // DC only, then the end of block
    Bytes Done() { return count ? Put(1, 1).Done() : bytes; }
};

inline Bytes Soi() { return {0xFF, 0xD8}; }
inline Bytes Eoi() { return {0xFF, 0xD9}; }
// FF code, the length, the payload.
inline Bytes Seg(int code, const Bytes& p) { return Bytes{0xFF, U8(code), U8((p.size() + 2) >> 8), U8(p.size() + 2)} + p; }
// One table of a DHT payload: class/destination, the counts (missing ones 0), the symbols.
inline Bytes Table(int tc, Bytes n, const Bytes& symbols) { return n.resize(16), Bytes{U8(tc)} + n + symbols; }
inline Bytes FlatTables(int t = 0) {
    Bytes symbols;
    for (int i = 0; i < 255; ++i) symbols.push_back(U8(i));
    return Table(t, {0, 0, 0, 16}, Bytes(symbols.begin(), symbols.begin() + 16)) +
           Table(0x10 | t, {0, 0, 0, 0, 0, 0, 0, 255}, symbols);
}
// Table t, all 64 entries q, 8-bit (precision 0) or 16-bit (1).
inline Bytes Dqt(int t, int q, int precision = 0) {
    Bytes payload = {U8(precision << 4 | t)};
    for (int k = 0; k < 64; ++k) payload = payload + (precision ? Bytes{U8(q >> 8), U8(q)} : Bytes{U8(q)});
    return Seg(0xDB, payload);
}
// Components 1, 2, ... with the given H << 4 | V bytes, all on quantiser 0.
inline Bytes Sof(int w, int h, const Bytes& samplings = {0x11}) {
    Bytes p = {8, U8(h >> 8), U8(h), U8(w >> 8), U8(w), U8(samplings.size())};
    for (size_t i = 0; i < samplings.size(); ++i) p = p + Bytes{U8(i + 1), samplings[i], 0};
    return Seg(0xC0, p);
}
inline Bytes Sos(size_t n, int tables = 0x00) {
    Bytes p = {U8(n)};
    for (size_t i = 0; i < n; ++i) p = p + Bytes{U8(i + 1), U8(tables)};
    return Seg(0xDA, p + Bytes{0, 63, 0});
}
// Everything up to the entropy-coded data.
inline Bytes Headers(int w, int h, const Bytes& samplings = {0x11}, const Bytes& tables = FlatTables(),
                     const Bytes& dqt = Dqt(0, 1)) {
    return Soi() + dqt + Seg(0xC4, tables) + Sof(w, h, samplings) + Sos(samplings.size());
}

// Calloc'ed blocks, counted; the allocation numbered failAt (from 0) fails.
struct Counter {
    int failAt = -1, calls = 0, live = 0, other = 0;  // other: neither Huffman arrays nor MCU buffers
    size_t last = 0;
    static void* Allocate(void* context, size_t bytes) {
        Counter& c = *static_cast<Counter*>(context);
        if (c.calls++ == c.failAt) return nullptr;
        c.live++, c.last = bytes;
        c.other += bytes != 65536 && bytes != kLumaBufferBytes && bytes != kChromaBufferBytes;
        return calloc(1, bytes);
    }
    static void Release(void* context, void* memory) { static_cast<Counter*>(context)->live--, free(memory); }
    JpegOutputAllocator Use() { return {Allocate, Release, this}; }
};

struct Decoded {  // the whole DibImage block on JPEG_OK
    JpegResult result;
    Bytes image;
    DibHeader header = {};
    uint8_t At(int x, int y, int channel = 0) const {  // the DIB is bottom-up
        return image[kDibHeaderSize + (header.biHeight - 1 - y) * DibRowBytes24(header.biWidth) + 3 * x + channel];
    }
};

// At 1 / 2^shift, the literal routines and scalar kernels or the fast ones, the work blocks from `work`.
inline Decoded Decode(const Bytes& file, int shift = 0, bool fast = false, Counter* work = nullptr) {
    const Bytes padded = file + Bytes(kJpegInputPadding);
    Counter output, own;
    const JpegDecodeSetup setup = {output.Use(), (work ? work : &own)->Use(), fast ? &FastPixelKernels() : &kScalarPixelKernels,
                                   fast ? DecodeMcuFast : DecodeMcuReference, U8(shift)};
    void* image = nullptr;
    Decoded d = {DecodeJpegWithSetup(padded.data(), static_cast<uint32_t>(file.size()), setup, &image)};
    EXPECT_TRUE(d.result == JPEG_OK || (!image && output.live == 0)) << "a failure left a picture";
    if (image) d.image.assign(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + output.last);
    if (image) memcpy(&d.header, image, sizeof d.header);
    free(image);
    return d;
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline std::string DataPath(const std::string& name) { return std::string(KESTROVA_JPEG_TEST_DATA) + "/" + name; }
