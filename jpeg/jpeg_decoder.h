// Baseline JPEG decoder: one file image in memory in, one 24-bit DibImage out.
// Portable (no <windows.h>); the Win32 entry DecodeJpegFile wraps it.
#pragma once

#include <cstddef>
#include <cstdint>

enum JpegResult : int16_t {
    JPEG_OK = 0,
    JPEG_NO_MEMORY = 1,
    JPEG_READ_ERROR = 2,
    JPEG_INVALID = 3,
    JPEG_UNSUPPORTED = 4,
};

// The file image must be followed by this many zero bytes: the bit reader
// looks ahead past the end of the data without leaving the block.
constexpr size_t kJpegInputPadding = 1000;

// Where the output DibImage goes. allocate returns zero-filled memory of the
// given size (null on failure); release gives it back. On JPEG_OK the caller
// owns the block; on every other result the decoder has released it.
struct JpegOutputAllocator {
    void* (*allocate)(void* context, size_t bytes);
    void (*release)(void* context, void* memory);
    void* context;
};

enum JpegDecodeMode {
    JPEG_DECODE_FAST = 0,       // fast entropy path and SSE2 kernels where they apply
    JPEG_DECODE_REFERENCE = 1,  // the literal step-by-step routines and scalar kernels only
};

// data: `size` file bytes followed by kJpegInputPadding zero bytes.
// scale 1, 2, 4 or 8 decodes the picture at 1/scale of its size: each output
// pixel stands for the scale x scale pixels it covers (the last column and
// row for what is left), so the picture is ceil(width / scale) x
// ceil(height / scale). Any other scale is JPEG_INVALID at once, nothing
// allocated. Every scale gives the same result for the same file, except that
// JPEG_NO_MEMORY follows the size of the output block asked for.
// On JPEG_OK *image points at the DibImage (40-byte header, then
// height * rowBytes pixel bytes, then 15 rows of zero slack, all in the
// output's own size).
JpegResult DecodeJpegMemory(const uint8_t* data, uint32_t size, const JpegOutputAllocator& allocator,
                            void** image, JpegDecodeMode mode = JPEG_DECODE_FAST, int scale = 1);

// The width and height of the first frame header, found by the marker walk
// alone (data padded as above; nothing is allocated, no table is built).
// JPEG_OK, or the result the whole decode gives for a file that is refused
// before or at its frame header; both sizes 0 then.
JpegResult ReadJpegFrameSize(const uint8_t* data, uint32_t size, uint32_t* width, uint32_t* height);
