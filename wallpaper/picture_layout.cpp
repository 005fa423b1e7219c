#include "wallpaper/picture_layout.h"

#include <cstring>

#include "jpeg/jpeg_decoder.h"

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

// Bit-field masks that follow a 40-byte header (3, or 4 with alpha).
uint32_t MaskCount(uint32_t compression)
{
    if (compression == kBiBitfields) return 3;
    if (compression == kBiAlphaBitfields) return 4;
    return 0;
}

}  // namespace

uint64_t DibColourTableEntries(const DibHeader& header)
{
    // GDI takes up to 256 entries at any depth when biClrUsed names them.
    if (header.biClrUsed != 0) return header.biClrUsed < 256 ? header.biClrUsed : 256;
    return header.biBitCount > 8 ? 0 : uint64_t{1} << header.biBitCount;
}

uint64_t DibPixelOffset(const DibHeader& header)
{
    const uint64_t headerSize = header.biSize < kDibHeaderSize ? kDibHeaderSize : header.biSize;
    const uint64_t masks = header.biSize == kDibHeaderSize ? MaskCount(header.biCompression) : 0;
    return headerSize + 4 * masks + 4 * DibColourTableEntries(header);
}

bool DibRowsFit(const DibHeader& header, uint64_t available)
{
    const uint64_t width = header.biWidth < 1 ? 0 : static_cast<uint64_t>(header.biWidth);
    const uint64_t rowBytes = (width * header.biBitCount + 31) / 32 * 4;
    const uint64_t rows = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
    return rowBytes == 0 || rows <= available / rowBytes;
}

int CheckBmpImage(const uint8_t* image, uint32_t size)
{
    DibHeader header;
    if (size < sizeof header) return JPEG_INVALID;  // not even the header was read
    std::memcpy(&header, image, sizeof header);

    if (header.biSize < kDibHeaderSize || header.biSize > size) return JPEG_INVALID;  // header cut short
    if (header.biWidth < 1) return JPEG_INVALID;                                      // no columns
    if (header.biHeight == INT32_MIN) return JPEG_INVALID;  // its absolute value does not exist

    // GDI takes the masks from just after a 40-byte header, or from the header's own fields.
    const uint64_t maskEnd = kDibHeaderSize + 4u * MaskCount(header.biCompression);
    if (maskEnd > size) return JPEG_INVALID;  // masks past the data

    const uint64_t pixelStart = DibPixelOffset(header);
    if (pixelStart > size) return JPEG_INVALID;  // masks or colour table past the data
    const uint64_t available = size - pixelStart;

    if (header.biCompression == kBiRgb || MaskCount(header.biCompression) != 0) {
        if (!DibRowsFit(header, available)) return JPEG_INVALID;  // rows past the data
    } else {
        // Compressed pixels: GDI reads biSizeImage bytes of them.
        if (header.biSizeImage == 0 || header.biSizeImage > available) return JPEG_INVALID;
    }
    return 0;
}

int AcceptPicture(WallpaperJob* job, const char* path)
{
    DibHeader* header = job->header;
    if (header->biBitCount == 0 || header->biWidth == 0 || header->biHeight == 0) return JPEG_INVALID;  // nothing to show
    if (header->biHeight == INT32_MIN) return JPEG_INVALID;  // no absolute height

    job->shrunkBits = nullptr;
    job->applyPath = path;
    uint8_t* pixels = reinterpret_cast<uint8_t*>(header) + header->biSize;
    job->outputBits = pixels;
    job->sourceBits = reinterpret_cast<uint8_t*>(header) + DibPixelOffset(*header);
    job->storedHeight = header->biHeight;
    const int32_t height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    const int32_t k = job->reduction;
    if (k != 2 && k != 4 && k != 8) {  // the block holds the file's own picture
        job->reduction = 1;
        job->sourceWidth = header->biWidth;
        job->sourceHeight = height;
        return 0;
    }
    // The blits' rectangle is worked out from the file's size; it must lie in the block.
    if (header->biWidth != (int64_t{job->sourceWidth} + k - 1) / k || height != (int64_t{job->sourceHeight} + k - 1) / k)
        return JPEG_INVALID;
    return 0;
}
