// Any byte string through the JPEG decoder: nothing may be read or written
// outside the buffers, every output byte must be initialised, the fast and
// reference decodes must agree byte for byte, at 1/1 and at the scale the
// input's last byte picks, the result must be the same at both scales, and
// a refusal of the frame size reading must be the decode's own.
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

std::vector<uint8_t> Decode(const std::vector<uint8_t>& padded, uint32_t size, JpegDecodeMode mode, int scale) {
    size_t bytes = 0;
    void* image = nullptr;
    const JpegResult result = DecodeJpegMemory(padded.data(), size, {Allocate, Release, &bytes}, &image, mode, scale);
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

// Both modes alike at one scale; the outcome.
std::vector<uint8_t> DecodeBothWays(const std::vector<uint8_t>& padded, uint32_t size, int scale) {
    std::vector<uint8_t> fast = Decode(padded, size, JPEG_DECODE_FAST, scale);
    if (Decode(padded, size, JPEG_DECODE_REFERENCE, scale) != fast) abort();
    return fast;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> padded(data, data + size);
    padded.resize(size + kJpegInputPadding, 0);
    const uint32_t length = static_cast<uint32_t>(size);
    uint32_t width = 0, height = 0;
    const JpegResult header = ReadJpegFrameSize(padded.data(), length, &width, &height);
    // A full-size picture the allocator above would refuse is skipped: only
    // its header is read (so huge and overflowing sizes still are).
    if (header == JPEG_OK && kDibHeaderSize + (height + 15ull) * DibRowBytes24(width) > (4u << 20)) return 0;
    const std::vector<uint8_t> full = DecodeBothWays(padded, length, 1);
    const bool refused = full.size() == 1;
    if (header != JPEG_OK && !(refused && full[0] == header)) abort();  // the header's refusal is not the decode's
    const int scale = size ? 1 << (data[size - 1] & 3) : 1;
    // A later frame header may still ask for more than the allocator gives;
    // the smaller block of a reduced decode would then be granted.
    if (scale == 1 || (refused && full[0] == JPEG_NO_MEMORY)) return 0;
    const std::vector<uint8_t> reduced = DecodeBothWays(padded, length, scale);
    if (refused != (reduced.size() == 1) || (refused && reduced != full)) abort();  // results differ between scales
    return 0;
}
