#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "jpeg/jpeg_decoder.h"
#include "wallpaper/bitmap_file.h"
#include "wallpaper/picture_layout.h"

namespace {

// What the BMP reader keeps of a file: a 40-byte header, the colour table
// (clrUsed entries, or 1 << bits up to 8 bits), `extra` bytes, then the rows.
std::vector<uint8_t> Image(int32_t width, int32_t height, uint16_t bits, uint32_t clrUsed = 0, uint32_t extra = 0)
{
    DibHeader header{};
    header.biSize = kDibHeaderSize;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = bits;
    header.biClrUsed = clrUsed;
    const uint32_t table = bits <= 8 ? 4 * (clrUsed ? clrUsed : 1u << bits) : 0;
    const uint32_t rows = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4 * static_cast<uint32_t>(height < 0 ? -height : height);
    std::vector<uint8_t> bytes(kDibHeaderSize + table + extra + rows, 0x77);
    std::memcpy(bytes.data(), &header, sizeof header);
    return bytes;
}

// Overwrites the 32-bit header field at `offset` (16 bits for biBitCount at 14).
std::vector<uint8_t> With(std::vector<uint8_t> bytes, size_t offset, uint32_t value)
{
    std::memcpy(&bytes[offset], &value, offset == 14 ? 2 : 4);
    return bytes;
}

// Checks exactly the bytes given, in a heap block of that size: ASan reports any look past it.
int Check(const std::vector<uint8_t>& bytes)
{
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
    std::memcpy(exact.get(), bytes.data(), bytes.size());
    return CheckBmpImage(exact.get(), static_cast<uint32_t>(bytes.size()));
}

constexpr size_t kSize = 0, kWidth = 4, kHeight = 8, kBits = 14, kCompression = 16, kSizeImage = 20, kClrUsed = 32;

TEST(BmpImageCheck, WholeImagesPassAndOneByteLessFails)
{
    const std::vector<uint8_t> whole[] = {
        Image(3, 2, 24),  Image(3, -2, 24), Image(5, 3, 32),    Image(7, 3, 16),     Image(33, 2, 1),
        Image(1, 1, 24),  Image(4, 4, 8),   Image(4, 4, 8, 16), Image(9, 2, 4),      Image(9, 2, 1, 2),
        With(Image(2, 2, 24, 0, 84), kSize, 124),              // a 124-byte header
        With(Image(1, 1, 32, 0, 8), kCompression, 3),          // bit fields: three masks after the header
        With(With(Image(1, 1, 8, 2, 6), kCompression, 1), kSizeImage, 10),  // run-length: biSizeImage bytes
    };
    for (const std::vector<uint8_t>& image : whole) {
        EXPECT_EQ(Check(image), 0) << image.size();
        EXPECT_EQ(Check(std::vector<uint8_t>(image.begin(), image.end() - 1)), JPEG_INVALID) << image.size();
    }
    // Padding after the rows is harmless; a compressed bitmap is not held to its rows.
    EXPECT_EQ(Check(Image(3, 2, 24, 0, 2)), 0);
    EXPECT_EQ(Check(With(With(With(Image(1, 1, 8, 2, 10), kCompression, 2), kSizeImage, 10), kWidth, 100000)), 0);
}

TEST(BmpImageCheck, LyingHeadersAreInvalid)
{
    const std::vector<uint8_t> small = Image(1, 1, 24);  // 4 bytes of pixels
    const std::vector<uint8_t> lies[] = {
        With(small, kSize, 39),           With(small, kSize, 45),           With(small, kSize, 0xFFFFFFFF),
        With(small, kWidth, 0),           With(small, kWidth, 0xFFFFFFFF),  With(small, kWidth, 0x80000000),
        With(small, kHeight, 0x80000000), With(small, kHeight, 2),          With(small, kHeight, 0x7FFFFFFF),
        With(small, kBits, 48),           With(With(small, kWidth, 0x7FFFFFFF), kBits, 0xFFFF),
        With(With(small, kWidth, 65536), kHeight, 65536),
        With(Image(4, 4, 8, 16), kClrUsed, 256),  // 16 entries there, 256 claimed
        With(Image(4, 4, 8, 16), kClrUsed, 0xFFFFFFFF),
        With(Image(1, 1, 32), kCompression, 3),   // no room for the masks
        With(With(Image(1, 1, 32, 0, 8), kCompression, 3), kHeight, 4),  // rows start after the header, masks or not
        With(Image(4, 4, 8, 2), kCompression, 1),  // run-length with biSizeImage 0
        With(With(Image(4, 4, 8, 2), kCompression, 1), kSizeImage, 0xFFFFFFFF),
        std::vector<uint8_t>(small.begin(), small.begin() + 39),
    };
    for (size_t i = 0; i < sizeof lies / sizeof lies[0]; ++i) EXPECT_EQ(Check(lies[i]), JPEG_INVALID) << "lie " << i;
}

TEST(AcceptPicture, PointersPastHeaderAndColourTableOrNothingToShow)
{
    const std::pair<std::vector<uint8_t>, size_t> cases[] = {
        {Image(4, 3, 24), 40}, {Image(4, 3, 8), 40 + 1024}, {Image(4, 3, 8, 16), 40 + 64}, {Image(4, -3, 4), 40 + 64}};
    for (auto c : cases) {
        WallpaperJob job;
        std::memset(&job, 0x5A, sizeof job);
        job.header = reinterpret_cast<DibHeader*>(c.first.data());
        const char* path = "C:\\p\\x.bmp";
        ASSERT_EQ(AcceptPicture(&job, path), 0);
        EXPECT_EQ(job.shrunkBits, nullptr);
        EXPECT_EQ(job.applyPath, path);
        EXPECT_EQ(job.outputBits, c.first.data() + 40);  // the writer starts right after the header
        EXPECT_EQ(job.sourceBits, c.first.data() + c.second);
        EXPECT_EQ(job.sourceWidth, 4);
        EXPECT_EQ(job.storedHeight, job.header->biHeight);
        EXPECT_EQ(job.sourceHeight, 3);
    }
    for (auto [offset, value] : {std::pair<size_t, uint32_t>{kBits, 0}, {kWidth, 0}, {kHeight, 0}, {kHeight, 0x80000000}}) {
        std::vector<uint8_t> image = With(Image(2, 2, 24), offset, value);
        WallpaperJob job{};
        job.header = reinterpret_cast<DibHeader*>(image.data());
        EXPECT_EQ(AcceptPicture(&job, "x.bmp"), JPEG_INVALID) << offset;
    }
}

TEST(BitmapFileHeader, SizeAndPixelOffsetFollowTheInfoHeader)
{
    DibHeader header{};
    header.biSize = 40;
    header.biSizeImage = 1024 * 768 * 4;
    uint8_t bytes[14];
    std::memset(bytes, 0xEE, sizeof bytes);
    FillBitmapFileHeader(bytes, header);
    const uint8_t expected[14] = {'B', 'M', 0x36, 0x00, 0x30, 0x00, 0, 0, 0, 0, 54, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, expected, 14), 0);
    header.biSize = 124;
    header.biSizeImage = 4;
    FillBitmapFileHeader(bytes, header);
    EXPECT_EQ(bytes[2], 4 + 14 + 124);
    EXPECT_EQ(bytes[10], 14 + 124);
}

}  // namespace
