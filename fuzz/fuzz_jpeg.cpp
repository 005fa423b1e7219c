// Any byte string through the JPEG decoder: nothing may be read or written
// outside the buffers, every output byte must be initialised, and the fast
// and reference decodes must agree byte for byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jpeg/jpeg_decoder.h"
#include "wallpaper/dib_image.h"

namespace {

// Larger pictures would only slow the search down; they fail like a full heap.
constexpr size_t kOutputLimit = 4u << 20;

struct OutputBlock {
    size_t bytes = 0;
};

void* Allocate(void* context, size_t bytes) {
    if (bytes > kOutputLimit) return nullptr;
    static_cast<OutputBlock*>(context)->bytes = bytes;
    return calloc(1, bytes);
}

void Release(void*, void* memory) { free(memory); }

struct Outcome {
    JpegResult result;
    std::vector<uint8_t> image;
};

Outcome Decode(const std::vector<uint8_t>& padded, uint32_t size, JpegDecodeMode mode) {
    OutputBlock block;
    const JpegOutputAllocator allocator = {Allocate, Release, &block};
    void* image = nullptr;
    Outcome outcome;
    outcome.result = DecodeJpegMemory(padded.data(), size, allocator, &image, mode);
    if (outcome.result == JPEG_OK) {
        const uint8_t* bytes = static_cast<const uint8_t*>(image);
        // Summing makes every byte count: uninitialised or foreign bytes show.
        uint32_t sum = 0;
        for (size_t i = 0; i < block.bytes; ++i) sum += bytes[i];
        DibHeader header;
        memcpy(&header, bytes, sizeof header);
        if (header.biSize != kDibHeaderSize || header.biBitCount != 24 ||
            block.bytes != kDibHeaderSize + (static_cast<size_t>(header.biHeight) + 15) *
                                                 DibRowBytes24(static_cast<uint32_t>(header.biWidth)) ||
            sum == 0xFFFFFFFFu)
            abort();
        outcome.image.assign(bytes, bytes + block.bytes);
        free(image);
    } else if (image != nullptr) {
        abort();  // a failure must hand back no picture
    }
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> padded(data, data + size);
    padded.resize(size + kJpegInputPadding, 0);
    const Outcome reference = Decode(padded, static_cast<uint32_t>(size), JPEG_DECODE_REFERENCE);
    const Outcome fast = Decode(padded, static_cast<uint32_t>(size), JPEG_DECODE_FAST);
    if (reference.result != fast.result || reference.image != fast.image) abort();
    return 0;
}
