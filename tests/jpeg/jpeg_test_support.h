// Helpers for the decoder tests: a builder for hand-made JPEG byte streams
// with an entropy-data bit writer, decoding with padded input, allocators
// that count and fail on demand, and pixel kernels that record their calls.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "jpeg/jpeg_decoder.h"
#include "jpeg/jpeg_internal.h"
#include "wallpaper/dib_image.h"

namespace jpegtest {

struct Component {
    int id, h, v, tq;
};
struct ScanEntry {
    int selector, tables;  // tables: Td << 4 | Ta
};

// Writes entropy-coded bits most significant first, stuffing a 0x00 after
// every 0xFF data byte; Flush pads the last byte with ones.
class BitWriter {
public:
    void Put(uint32_t bits, int count);
    // Category and value bits of a signed value, as an encoder writes them.
    void PutValue(int value);
    void Flush();
    // Number of bits in the current, unfinished byte.
    int PendingBits() const { return pendingCount_; }
    std::vector<uint8_t> bytes;

private:
    uint32_t pending_ = 0;
    int pendingCount_ = 0;
};

int Category(int value);

// Two tables where every code has a fixed length, so tests write symbols
// directly: the DC table gives categories 0-15 four-bit codes equal to the
// category; the AC table gives symbols 0x00-0xFE eight-bit codes equal to
// the symbol.
extern const uint8_t kFlatDcCounts[16];
extern const uint8_t kFlatAcCounts[16];
std::vector<uint8_t> FlatDcSymbols();
std::vector<uint8_t> FlatAcSymbols();

// One block coded with the flat tables: DC difference, then (run, value)
// pairs, then an end-of-block unless `endOfBlock` is false.
void PutFlatBlock(BitWriter* bits, int dcDiff, std::initializer_list<std::pair<int, int>> ac = {},
                  bool endOfBlock = true);

// A DHT segment's payload: class/destination, the counts (missing ones 0),
// the symbols.
std::vector<uint8_t> DhtPayload(int classAndDestination, std::vector<uint8_t> counts,
                                const std::vector<uint8_t>& symbols);

class StreamBuilder {
public:
    StreamBuilder& Raw(std::initializer_list<int> values);
    StreamBuilder& Raw(const std::vector<uint8_t>& values);
    StreamBuilder& Soi() { return Raw({0xFF, 0xD8}); }
    StreamBuilder& Eoi() { return Raw({0xFF, 0xD9}); }
    // FF code, then length = payload + 2, then the payload.
    StreamBuilder& Segment(int code, const std::vector<uint8_t>& payload);
    // 64 entries in zigzag order; precision 0 (8-bit) or 1 (16-bit).
    StreamBuilder& Dqt(int table, const std::vector<uint16_t>& zigzagValues, int precision = 0);
    // All 64 entries equal.
    StreamBuilder& DqtFlat(int table, uint16_t value) { return Dqt(table, std::vector<uint16_t>(64, value)); }
    StreamBuilder& Dht(int classAndDestination, const uint8_t* counts, const std::vector<uint8_t>& symbols);
    // DC table 0 and AC table 0 of the flat kind (and tables 1 when `both`).
    StreamBuilder& FlatTables(bool both = false);
    StreamBuilder& Sof0(int width, int height, std::initializer_list<Component> components);
    StreamBuilder& Sos(std::initializer_list<ScanEntry> components);
    // A grey or colour frame with flat tables and quantiser q everywhere,
    // and the scan header: everything up to the entropy-coded data.
    StreamBuilder& GreyHeaders(int width, int height, uint16_t q = 1);
    StreamBuilder& ColourHeaders(int width, int height, int h0, int v0, uint16_t q = 1);

    std::vector<uint8_t> bytes;
};

// Allocator that hands out calloc'ed blocks, counts them, and fails the
// allocation whose zero-based index is failAt (never when negative).
struct CountingAllocator {
    int failAt = -1;
    int calls = 0;
    int live = 0;
    size_t largest = 0;
    JpegOutputAllocator Interface();
};

struct Decoded {
    JpegResult result = JPEG_INVALID;
    std::vector<uint8_t> image;  // the whole DibImage block on JPEG_OK
    DibHeader header = {};
    // B, G, R of picture pixel (x, y), y = 0 the top row.
    const uint8_t* Pixel(int x, int y) const;
};

// Decodes `file` (padding added here) with the given mode.
Decoded DecodeBytes(const std::vector<uint8_t>& file, JpegDecodeMode mode = JPEG_DECODE_REFERENCE);
// The same with an explicit setup (allocators and kernels); the output
// allocator of the setup is replaced by one that copies the image out.
Decoded DecodeWithSetup(const std::vector<uint8_t>& file, JpegDecodeSetup setup);

// Pixel kernels that record each store (position relative to the picture,
// columns, rows) and otherwise do nothing; the inverse transform is the
// identity, so stored blocks hold the coefficients.
struct StoreCall {
    int x, y, columns, rows;
    int16_t luma[4];  // element 0 of each luminance slot
    int16_t cb, cr;   // element 0 of the chroma blocks
};
struct KernelRecorder {
    static std::vector<StoreCall>* calls;  // where the calls go; null: not recorded
    static const JpegPixelKernels kernels;
};

// A decoder record over a byte string (with padding), for driving the
// internal routines one at a time. Work memory is counted; the destructor
// frees what the routines allocated.
struct DecoderOver {
    explicit DecoderOver(std::vector<uint8_t> data, int start = 0);
    ~DecoderOver();
    DecoderOver(const DecoderOver&) = delete;
    DecoderOver& operator=(const DecoderOver&) = delete;
    // Binds scan component 0 (and 1, 2) to the flat tables, quantiser all q.
    void BindFlat(uint16_t q = 1);
    int Consumed() const { return static_cast<int>(decoder.cursor - bytes.data()); }

    std::vector<uint8_t> bytes;
    CountingAllocator work;
    JpegDecoder decoder;
};

std::vector<uint8_t> ReadFile(const std::string& path);
std::string DataPath(const std::string& name);

}  // namespace jpegtest
