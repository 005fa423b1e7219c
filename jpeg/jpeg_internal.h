// The decoder's working record and the routines the stream walk and the scan
// share. Nothing here outlives one call of DecodeJpegMemory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/jpeg_decoder.h"
#include "jpeg/jpeg_pixels.h"

// One Huffman table as two 65,536-entry arrays indexed by the next 16 bits of
// entropy-coded data: the length of the code the window begins with and its
// symbol; 0 and 0 where the window begins with no code.
struct HuffmanLookup {
    uint8_t* lengths;
    uint8_t* symbols;
};

struct FrameComponent {
    uint8_t identifier;
    uint8_t horizontal;  // H
    uint8_t vertical;    // V
    uint8_t quantTable;  // Tq
};

struct ScanComponent {
    uint8_t selector;  // Cs: kept, never matched against the frame
    uint8_t dcSlot;    // 0-3
    uint8_t acSlot;    // 4-7
};

// The tables scan component i (by position) decodes with.
struct ScanBinding {
    const uint8_t* dcLengths;
    const uint8_t* dcSymbols;
    const uint8_t* acLengths;
    const uint8_t* acSymbols;
    const uint16_t* quant;  // natural order
};

struct JpegDecoder;
struct JpegFastScan;  // tables the fast entropy path derives (jpeg_scan_fast.cpp)

// Entropy-decodes one whole MCU into the MCU buffers: dequantised
// coefficients, natural order (the inverse transform runs afterwards).
// Returns one of the kMcu* values below.
typedef int (*JpegMcuDecoder)(JpegDecoder* decoder);

constexpr int kMcuGoOn = 0;      // decoded; the data has not run out
constexpr int kMcuDataEnd = 1;   // a SkipBits of the MCU's last symbol ran past the data
constexpr int kMcuCorrupt = 2;   // a DC category above 15: the scan is refused

// Where the working memory and the output come from, and which routines
// decode and reconstruct. DecodeJpegMemory fills this from its mode; tests
// hand in failing allocators or recording kernels.
struct JpegDecodeSetup {
    JpegOutputAllocator output;  // the DibImage
    JpegOutputAllocator work;    // Huffman arrays and MCU buffers, zero-filled
    const JpegPixelKernels* kernels;
    JpegMcuDecoder decodeMcu;
    uint8_t scaleShift;  // the picture at 1 / 2^scaleShift of its size, 0-3
};

struct JpegDecoder {
    uint16_t marker;  // last marker code read; 0xFFD9 ends the walk
    uint16_t width;
    uint16_t height;
    uint16_t outputHeight;  // rows of the DibImage: height / 2^scaleShift, rounded up
    bool headersOnly;       // ReadJpegFrameSize: tables are checked, not built

    const uint8_t* fileStart;
    const uint8_t* cursor;  // next unread byte
    int32_t bytesLeft;      // file bytes from cursor to the end; negative once exhausted

    FrameComponent frameComponents[3];
    uint8_t precision;
    uint8_t componentCount;
    ScanComponent scanComponents[3];
    uint8_t scanComponentCount;
    uint8_t spectralStart, spectralEnd, approxHigh, approxLow;

    uint8_t huffmanSlot;
    HuffmanLookup huffmanTables[8];  // 0-3 DC tables, 4-7 AC tables

    int16_t dcPredictor[3];

    uint8_t quantPrecision;
    uint8_t quantTableByte;
    uint16_t quantTables[4][64];  // natural order
    uint8_t quantDefined;         // bit t set once table t was read

    SamplingMode samplingMode;

    int16_t dcDiff, acValue, acRun, bitsToSkip;

    const uint16_t* zigzag;
    ScanBinding binding[3];

    int32_t stride;
    int16_t* lumaBlocks;  // 4 blocks of 64 (576 bytes with the spare)
    int16_t* cbBlock;     // 64 (144 bytes with the spare)
    int16_t* crBlock;

    int16_t bitOffset;  // bits of the byte at cursor already consumed, 0-7

    JpegDecodeSetup setup;
    uint8_t* image;  // the output DibImage while it is being written

    // Built by DecodeMcuFast on its first MCU from setup.work; FreeDecoder
    // releases it with the rest.
    JpegFastScan* fastScan;
};

// Natural position of the k-th coefficient in zigzag order; entries 64-71 are
// 63, so a run that overshoots the block lands on its last coefficient.
extern const uint16_t kZigzagOrder[72];

// MCU buffer sizes in bytes.
constexpr size_t kLumaBufferBytes = 576;
constexpr size_t kChromaBufferBytes = 144;

// The whole decode with an explicit setup. DecodeJpegMemory is this with the
// allocators and routines its mode names.
JpegResult DecodeJpegWithSetup(const uint8_t* data, uint32_t size, const JpegDecodeSetup& setup, void** image);

// --- Stream (jpeg_stream.cpp) ---
// Each segment reader starts on the first byte after the segment's length
// field, with `length` = L - 2, and returns JPEG_OK to go on or the result
// that ends the walk.
JpegResult ReadFrameHeader(JpegDecoder* decoder);
JpegResult ReadHuffmanTables(JpegDecoder* decoder, int32_t length);
JpegResult ReadQuantTables(JpegDecoder* decoder, int32_t length);
JpegResult ReadScanHeader(JpegDecoder* decoder);
void FreeDecoder(JpegDecoder* decoder);
// Luminance predictor 1024 / entry 0 of the given table (1024 when 0), chroma 0.
void ResetPredictors(JpegDecoder* decoder, const uint16_t* lumaQuant);

// --- Scan (jpeg_scan.cpp) ---
uint16_t PeekBits16(const JpegDecoder* decoder);
int SkipBits(JpegDecoder* decoder);  // 1: the data ran out
int DecodeDcDiff(JpegDecoder* decoder, int component);  // kMcuCorrupt on a category above 15
int DecodeAcSymbol(JpegDecoder* decoder, int component);
int DecodeBlock(JpegDecoder* decoder, int component, int16_t* block);
int CheckMcuEnd(JpegDecoder* decoder);  // 1: stop decoding

// The literal per-block routines over one MCU.
int DecodeMcuReference(JpegDecoder* decoder);

// A faster replacement for DecodeMcuReference (jpeg_scan_fast.cpp, when it is
// built). Per MCU it must leave exactly what DecodeMcuReference would: the
// same coefficients in lumaBlocks / cbBlock / crBlock (the blocks the mode
// decodes), the same cursor, bitOffset and bytesLeft, the same dcPredictor
// values, and the same status; it must read nothing beyond what the
// reference could (the file bytes and their 1,000 bytes of padding). It may
// hand any MCU to DecodeMcuReference, e.g. when few bytes remain.
int DecodeMcuFast(JpegDecoder* decoder);

// Allocates and writes the output, walks the MCU grid. JPEG_OK,
// JPEG_NO_MEMORY (output not allocated) or JPEG_INVALID (corrupt DC category).
JpegResult DecodeScan(JpegDecoder* decoder, void** image);
