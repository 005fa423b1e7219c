// Any byte string through the JPEG decoder: nothing may be read or written
// outside the buffers, every output byte must be initialised, and the fast
// and reference decodes must agree byte for byte.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jpeg/jpeg_decoder.h"
#include "base/dib_image.h"

namespace {

// Larger pictures would only slow the search down; they fail like a full heap.
void* Allocate(void* bytes, size_t size) {
    return size > (4u << 20) ? nullptr : (*static_cast<size_t*>(bytes) = size, calloc(1, size));
}
void Release(void*, void* memory) { free(memory); }

std::vector<uint8_t> Decode(const std::vector<uint8_t>& padded, uint32_t size, JpegDecodeMode mode) {
    size_t bytes = 0;
    void* image = nullptr;
    const JpegResult result = DecodeJpegMemory(padded.data(), size, {Allocate, Release, &bytes}, &image, mode);
    if (result != JPEG_OK) {
        if (image) abort();  // a failure must hand back no picture
        return {static_cast<uint8_t>(result)};
    }
    std::vector<uint8_t> out(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + bytes);
    free(image);
    DibHeader header;
    memcpy(&header, out.data(), sizeof header);
    uint32_t sum = 0;  // makes every byte count: uninitialised or foreign bytes show
    for (uint8_t b : out) sum += b;
    const size_t rows = static_cast<size_t>(header.biHeight) + 15;
    if (header.biSize != kDibHeaderSize || header.biBitCount != 24 || sum == 0xFFFFFFFFu ||
        bytes != kDibHeaderSize + rows * DibRowBytes24(static_cast<uint32_t>(header.biWidth)))
        abort();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> padded(data, data + size);
    padded.resize(size + kJpegInputPadding, 0);
    const uint32_t length = static_cast<uint32_t>(size);
    if (Decode(padded, length, JPEG_DECODE_REFERENCE) != Decode(padded, length, JPEG_DECODE_FAST)) abort();
    return 0;
}
