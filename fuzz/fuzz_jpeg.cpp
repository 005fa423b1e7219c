// Any byte string through the JPEG decoder, at 1/1 and at the scale its last byte picks: nothing touched outside
// the buffers, every output byte set, the fast and reference decodes alike, one result at both scales, and a
// refusal of the frame size reading the decode's own.
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

// The picture, alike both ways at one scale, or the result alone.
std::vector<uint8_t> Decode(const std::vector<uint8_t>& padded, uint32_t size, int scale) {
    std::vector<uint8_t> outs[2];
    for (JpegDecodeMode mode : {JPEG_DECODE_FAST, JPEG_DECODE_REFERENCE}) {
        size_t bytes = 0;
        void* image = nullptr;
        const JpegResult result = DecodeJpegMemory(padded.data(), size, {Allocate, Release, &bytes}, &image, mode, scale);
        if (result != JPEG_OK && image) abort();  // a failure must hand back no picture
        outs[mode] = {static_cast<uint8_t>(result)};
        if (result != JPEG_OK) continue;
        outs[mode].assign(static_cast<uint8_t*>(image), static_cast<uint8_t*>(image) + bytes);
        free(image);
        DibHeader header;
        memcpy(&header, outs[mode].data(), sizeof header);
        uint32_t sum = 0;  // makes every byte count: uninitialised or foreign bytes show
        for (uint8_t b : outs[mode]) sum += b;
        if (header.biSize != kDibHeaderSize || header.biBitCount != 24 || sum == 0xFFFFFFFFu ||
            bytes != kDibHeaderSize + (header.biHeight + 15ull) * DibRowBytes24(static_cast<uint32_t>(header.biWidth)))
            abort();
    }
    if (outs[0] != outs[1]) abort();
    return outs[0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> padded(data, data + size);
    padded.resize(size + kJpegInputPadding, 0);
    const uint32_t length = static_cast<uint32_t>(size);
    uint32_t width = 0, height = 0;
    const JpegResult header = ReadJpegFrameSize(padded.data(), length, &width, &height);
    // Only the header of a picture the allocator would refuse is read (so huge and overflowing sizes still are).
    if (header == JPEG_OK && kDibHeaderSize + (height + 15ull) * DibRowBytes24(width) > (4u << 20)) return 0;
    const std::vector<uint8_t> full = Decode(padded, length, 1);
    const bool refused = full.size() == 1;
    if (header != JPEG_OK && !(refused && full[0] == header)) abort();  // the header's refusal is not the decode's
    const int scale = size ? 1 << (data[size - 1] & 3) : 1;
    // A later frame header may ask for more than the allocator gives; a reduced decode's smaller block is granted.
    if (scale == 1 || (refused && full[0] == JPEG_NO_MEMORY)) return 0;
    const std::vector<uint8_t> reduced = Decode(padded, length, scale);
    if (refused != (reduced.size() == 1) || (refused && reduced != full)) abort();  // results differ between scales
    return 0;
}
