#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "jpeg/jpeg_decoder.h"
#include "wallpaper/bitmap_file.h"
#include "wallpaper/picture_layout.h"

namespace {

// A DibImage as the BMP reader keeps it (the file less its 14-byte file
// header): a header, `tableBytes` of colour table or masks, then pixels.
struct Image {
    DibHeader header{};
    uint32_t tableBytes = 0;
    uint32_t pixelBytes = 0;
    int32_t trim = 0;  // bytes cut from the end (negative: extra bytes)

    std::vector<uint8_t> Bytes() const
    {
        const uint32_t headerBytes = header.biSize > kDibHeaderSize ? header.biSize : kDibHeaderSize;
        std::vector<uint8_t> bytes(headerBytes + tableBytes + pixelBytes - trim, 0x77);
        std::memcpy(bytes.data(), &header, sizeof header);
        return bytes;
    }
};

Image Uncompressed(int32_t width, int32_t height, uint16_t bits, uint32_t coloursUsed = 0)
{
    Image image;
    image.header.biSize = kDibHeaderSize;
    image.header.biWidth = width;
    image.header.biHeight = height;
    image.header.biPlanes = 1;
    image.header.biBitCount = bits;
    image.header.biClrUsed = coloursUsed;
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4;
    image.pixelBytes = rowBytes * static_cast<uint32_t>(height < 0 ? -height : height);
    if (bits <= 8) image.tableBytes = 4 * (coloursUsed ? coloursUsed : 1u << bits);
    return image;
}

// The check sees exactly the bytes that were read: a heap block of that size,
// so that ASan reports any look past it.
int Check(const Image& image)
{
    const std::vector<uint8_t> bytes = image.Bytes();
    std::vector<uint8_t> exact(bytes);
    exact.shrink_to_fit();
    return CheckBmpImage(exact.data(), static_cast<uint32_t>(exact.size()));
}

// Checks that the image is taken whole, and that one byte less is refused.
void ExpectExactFit(Image image, const char* what)
{
    EXPECT_EQ(Check(image), 0) << what;
    image.trim = 1;
    EXPECT_EQ(Check(image), JPEG_INVALID) << what << ", one byte short";
}

TEST(BmpImageCheck, UncompressedRowsMustAllBeThere)
{
    ExpectExactFit(Uncompressed(3, 2, 24), "24-bit bottom-up");
    ExpectExactFit(Uncompressed(3, -2, 24), "24-bit top-down");
    ExpectExactFit(Uncompressed(5, 3, 32), "32-bit");
    ExpectExactFit(Uncompressed(7, 3, 16), "16-bit, padded rows");
    ExpectExactFit(Uncompressed(33, 2, 1), "1-bit, 33 columns need 8 bytes a row");
    ExpectExactFit(Uncompressed(1, 1, 24), "the smallest: 44 bytes");

    // Real files often carry padding after the pixels; it is harmless.
    Image padded = Uncompressed(3, 2, 24);
    padded.trim = -2;
    EXPECT_EQ(Check(padded), 0);
}

TEST(BmpImageCheck, ColourTableComesFromClrUsedOrTheBitCount)
{
    ExpectExactFit(Uncompressed(4, 4, 8), "8-bit, 256 entries");
    ExpectExactFit(Uncompressed(4, 4, 8, 16), "8-bit, 16 entries");
    ExpectExactFit(Uncompressed(9, 2, 4), "4-bit, 16 entries");
    ExpectExactFit(Uncompressed(9, 2, 1, 2), "1-bit, 2 entries");

    // Only 16 entries present while biClrUsed claims 256 (1,024 bytes): the rows run past the data.
    Image lying = Uncompressed(4, 4, 8, 16);
    lying.header.biClrUsed = 256;
    EXPECT_EQ(Check(lying), JPEG_INVALID);
    lying.header.biClrUsed = 0xFFFFFFFFu;  // 4 x this overflows 32 bits
    EXPECT_EQ(Check(lying), JPEG_INVALID);
}

TEST(BmpImageCheck, HeaderSizeMustBeAtLeast40AndInside)
{
    Image image = Uncompressed(2, 2, 24);
    image.header.biSize = 39;
    EXPECT_EQ(Check(image), JPEG_INVALID);

    // A larger header (124 bytes) is fine when the pixels follow it.
    Image large = Uncompressed(2, 2, 24);
    large.header.biSize = 124;
    ExpectExactFit(large, "124-byte header");

    // A header that claims more bytes than were read.
    for (uint32_t size : {45u, 100u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        std::vector<uint8_t> bytes = Uncompressed(1, 1, 24).Bytes();
        std::memcpy(bytes.data(), &size, sizeof size);
        EXPECT_EQ(CheckBmpImage(bytes.data(), static_cast<uint32_t>(bytes.size())), JPEG_INVALID) << size;
    }

    // Fewer than 40 bytes read at all.
    std::vector<uint8_t> tiny(39, 0);
    tiny.shrink_to_fit();
    EXPECT_EQ(CheckBmpImage(tiny.data(), 39), JPEG_INVALID);
}

TEST(BmpImageCheck, ImpossibleDimensionsAreRefusedWithoutOverflow)
{
    struct Case {
        int32_t width, height;
        uint16_t bits;
    };
    const Case cases[] = {
        {0, 1, 24},          {-1, 1, 24},        {INT32_MIN, 1, 24}, {1, INT32_MIN, 24},
        {INT32_MAX, 1, 32},  {INT32_MAX, INT32_MAX, 1}, {1, INT32_MAX, 24}, {1, -INT32_MAX, 8},
        {INT32_MAX, 2, 0xFFFF}, {65536, 65536, 32},
    };
    for (const Case& c : cases) {
        Image image = Uncompressed(1, 1, 24);  // 4 bytes of pixels present
        image.header.biWidth = c.width;
        image.header.biHeight = c.height;
        image.header.biBitCount = c.bits;
        EXPECT_EQ(Check(image), JPEG_INVALID) << c.width << " x " << c.height << " x " << c.bits;
    }
}

TEST(BmpImageCheck, BitFieldMasksAndCompressedDataMustBeInside)
{
    // 32-bit bit fields with a 40-byte header: three masks after it.
    Image fields = Uncompressed(1, 1, 32);
    fields.header.biCompression = 3;
    EXPECT_EQ(Check(fields), JPEG_INVALID);  // 44 bytes: the masks would run past
    fields.pixelBytes += 12;
    EXPECT_EQ(Check(fields), 0);
    fields.header.biHeight = 5;  // the rows are counted from the header's end, masks or not
    EXPECT_EQ(Check(fields), JPEG_INVALID);

    // Run-length pixels: biSizeImage bytes after the colour table, never 0.
    Image rle = Uncompressed(16, 16, 8, 2);
    rle.header.biCompression = 1;
    rle.pixelBytes = 10;
    rle.header.biSizeImage = 10;
    ExpectExactFit(rle, "RLE8");
    rle.header.biSizeImage = 0;
    EXPECT_EQ(Check(rle), JPEG_INVALID);
    rle.header.biSizeImage = 0xFFFFFFFFu;
    EXPECT_EQ(Check(rle), JPEG_INVALID);
    // A compressed bitmap is not held to its rows: 100000 x 100000 in 10 bytes is up to GDI.
    rle.header.biSizeImage = 10;
    rle.header.biWidth = rle.header.biHeight = 100000;
    EXPECT_EQ(Check(rle), 0);
}

TEST(AcceptPicture, PointsPastHeaderAndColourTable)
{
    struct Case {
        Image image;
        size_t pixelOffset;
    };
    Case cases[] = {
        {Uncompressed(4, 3, 24), 40},
        {Uncompressed(4, 3, 8), 40 + 1024},
        {Uncompressed(4, 3, 8, 16), 40 + 64},
        {Uncompressed(4, -3, 4), 40 + 64},
    };
    for (Case& c : cases) {
        std::vector<uint8_t> bytes = c.image.Bytes();
        WallpaperJob job;
        std::memset(&job, 0x5A, sizeof job);
        job.header = reinterpret_cast<DibHeader*>(bytes.data());
        const char* path = "C:\\p\\x.bmp";
        ASSERT_EQ(AcceptPicture(&job, path), 0);
        EXPECT_EQ(job.shrunkBits, nullptr);
        EXPECT_EQ(job.applyPath, path);
        EXPECT_EQ(job.outputBits, bytes.data() + 40);  // the writer starts right after the header
        EXPECT_EQ(job.sourceBits, bytes.data() + c.pixelOffset);
        EXPECT_EQ(job.sourceWidth, 4);
        EXPECT_EQ(job.storedHeight, c.image.header.biHeight);
        EXPECT_EQ(job.sourceHeight, 3);
    }
}

TEST(AcceptPicture, NothingToShowIsInvalid)
{
    for (int field = 0; field < 4; ++field) {
        Image image = Uncompressed(2, 2, 24);
        if (field == 0) image.header.biBitCount = 0;
        if (field == 1) image.header.biWidth = 0;
        if (field == 2) image.header.biHeight = 0;
        if (field == 3) image.header.biHeight = INT32_MIN;
        std::vector<uint8_t> bytes = image.Bytes();
        WallpaperJob job{};
        job.header = reinterpret_cast<DibHeader*>(bytes.data());
        EXPECT_EQ(AcceptPicture(&job, "x.bmp"), JPEG_INVALID) << field;
    }
}

TEST(BitmapFileHeader, DescribesHeaderThenPixels)
{
    DibHeader header{};
    header.biSize = 40;
    header.biSizeImage = 1024 * 768 * 4;
    uint8_t bytes[14];
    std::memset(bytes, 0xEE, sizeof bytes);
    FillBitmapFileHeader(bytes, header);
    const uint32_t total = 1024 * 768 * 4 + 54;
    const uint8_t expected[14] = {'B', 'M', static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8),
                                  static_cast<uint8_t>(total >> 16), static_cast<uint8_t>(total >> 24),
                                  0, 0, 0, 0, 54, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, expected, 14), 0);

    header.biSize = 124;
    header.biSizeImage = 4;
    FillBitmapFileHeader(bytes, header);
    EXPECT_EQ(bytes[2], 4 + 14 + 124);
    EXPECT_EQ(bytes[10], 14 + 124);
}

}  // namespace
