#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "jpeg/jpeg_decoder.h"
#include "wallpaper/bitmap_file.h"
#include "wallpaper/picture_layout.h"

namespace {

constexpr size_t kSize = 0, kWidth = 4, kHeight = 8, kBits = 14, kCompression = 16, kSizeImage = 20, kClrUsed = 32;

// What the BMP reader keeps of a file: header, colour table (clrUsed entries, or 1 << bits), `extra` bytes, rows.
// Every vector here is allocated at exactly its size, so ASan reports any look past its bytes.
std::vector<uint8_t> Image(int32_t width, int32_t height, uint16_t bits, uint32_t clrUsed = 0, uint32_t extra = 0)
{
    const DibHeader header{kDibHeaderSize, width, height, 1, bits, 0, 0, 0, 0, clrUsed, 0};
    const uint32_t table = bits <= 8 ? 4 * (clrUsed ? clrUsed : 1u << bits) : 0;
    const uint32_t rows = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4 * static_cast<uint32_t>(std::abs(height));
    std::vector<uint8_t> bytes(kDibHeaderSize + table + extra + rows, 0x77);
    std::memcpy(bytes.data(), &header, sizeof header);
    return bytes;
}

// Overwrites the 32-bit header field at `offset` (16 bits for biBitCount).
std::vector<uint8_t> With(std::vector<uint8_t> bytes, size_t offset, uint32_t value)
{
    std::memcpy(&bytes[offset], &value, offset == kBits ? 2 : 4);
    return bytes;
}

int Check(const std::vector<uint8_t>& bytes) { return CheckBmpImage(bytes.data(), static_cast<uint32_t>(bytes.size())); }

TEST(BmpImage, TheHeaderDescribesOnlyBytesThatAreThereAndTheRowsFollowTheColourTable)
{
    const std::vector<uint8_t> whole[] = {  // each one byte short is invalid
        Image(3, 2, 24), Image(3, -2, 24), Image(5, 3, 32), Image(7, 3, 16), Image(33, 2, 1), Image(4, 4, 8),
        Image(4, 4, 8, 16), Image(9, 2, 4), Image(9, 2, 1, 2),
        With(Image(1, 1, 32, 0, 12), kCompression, 3),                      // bit fields: three masks after the header
        With(Image(2, 1, 16, 0, 16), kCompression, 6),                      // four with alpha
        With(Image(1, 1, 24, 0, 8), kClrUsed, 2),                           // a colour table at 24 bits too
        With(With(Image(1, 1, 32, 0, 84), kSize, 124), kCompression, 3),    // or inside a 124-byte header
        With(With(Image(1, 1, 8, 2, 6), kCompression, 1), kSizeImage, 10)};  // run-length: biSizeImage bytes
    for (const std::vector<uint8_t>& image : whole) {
        EXPECT_EQ(Check(image), 0) << image.size();
        EXPECT_EQ(Check(std::vector<uint8_t>(image.begin(), image.end() - 1)), JPEG_INVALID) << image.size();
    }
    // Padding after the rows is harmless; a compressed bitmap is not held to its rows.
    EXPECT_EQ(Check(Image(3, 2, 24, 0, 2)), 0);
    EXPECT_EQ(Check(With(With(With(Image(1, 1, 8, 2, 10), kCompression, 2), kSizeImage, 10), kWidth, 100000)), 0);
    const std::vector<uint8_t> small = Image(1, 1, 24), lies[] = {
        With(small, kSize, 39), With(small, kSize, 0xFFFFFFFF), With(small, kWidth, 0), With(small, kWidth, 0x80000000),
        With(small, kHeight, 0x80000000), With(small, kHeight, 0x7FFFFFFF), With(With(small, kWidth, 65536), kHeight, 65536),
        With(Image(4, 4, 8, 16), kClrUsed, 256), With(Image(4, 4, 8, 16), kClrUsed, 0xFFFFFFFF),  // 16 entries there
        With(Image(1, 1, 32), kCompression, 3),                          // no room for the masks
        With(With(Image(1, 1, 32, 0, 12), kCompression, 3), kHeight, 4),  // rows start after the masks
        With(With(With(With(Image(1, 1, 24), kWidth, 5000), kHeight, 5000), kCompression, 1), kClrUsed, 256),
        With(Image(4, 4, 8, 2), kCompression, 1),                        // run-length with biSizeImage 0
        With(With(Image(4, 4, 8, 2), kCompression, 1), kSizeImage, 0xFFFFFFFF),
        std::vector<uint8_t>(small.begin(), small.end() - 5)};  // not even the header
    for (size_t i = 0; i < std::size(lies); ++i) EXPECT_EQ(Check(lies[i]), JPEG_INVALID) << "lie " << i;
    // Where GDI is told the rows begin: after the header, the masks of a 40-byte header, and the colour table.
    const std::pair<std::vector<uint8_t>, int> starts[] = {
        {Image(4, 3, 8), 40 + 1024}, {Image(4, 3, 8, 16), 40 + 64}, {Image(4, -3, 24), 40},
        {With(Image(4, 3, 32, 0, 12), kCompression, 3), 52}, {With(Image(4, 3, 24, 0, 1024), kClrUsed, 300), 40 + 1024}};
    for (auto [image, rows] : starts) {
        WallpaperJob job{reinterpret_cast<DibHeader*>(image.data())};
        ASSERT_EQ(AcceptPicture(&job, "x.bmp"), 0);
        EXPECT_TRUE(job.outputBits == image.data() + 40 && job.sourceBits == image.data() + rows) << rows;
        EXPECT_EQ(std::vector<int32_t>({job.sourceWidth, job.sourceHeight, job.storedHeight}),
                  std::vector<int32_t>({4, 3, job.header->biHeight}));
    }
    // Nothing to show, as a JPEG frame of width or height 0 decodes.
    for (const size_t field : {kWidth, kHeight, kBits}) {
        std::vector<uint8_t> image = With(Image(1, 1, 24), field, 0);
        WallpaperJob job{reinterpret_cast<DibHeader*>(image.data())};
        EXPECT_EQ(AcceptPicture(&job, "x.jpg"), JPEG_INVALID) << field;
    }
    // A 4 x 3 block at half size stands for a 7 or 8 x 5 or 6 file; from a 9-wide one it would be cut short.
    for (const auto& [fileWidth, fileHeight, code] : {std::tuple{7, 6, 0}, {8, 5, 0}, {9, 6, int{JPEG_INVALID}}}) {
        std::vector<uint8_t> image = Image(4, 3, 24);
        WallpaperJob job{reinterpret_cast<DibHeader*>(image.data())};
        job.reduction = 2, job.sourceWidth = fileWidth, job.sourceHeight = fileHeight;
        EXPECT_EQ(AcceptPicture(&job, "x.jpg"), code) << fileWidth;
        EXPECT_EQ(std::vector<int32_t>({job.sourceWidth, job.sourceHeight}), std::vector<int32_t>({fileWidth, fileHeight}));
    }
}

TEST(BitmapFile, HeaderSizeAndOffsetLittleEndian)
{
    std::vector<uint8_t> out(14, 0xEE);
    FillBitmapFileHeader(out.data(), {40, 1024, 768, 1, 24, 0, 1024 * 768 * 3, 0, 0, 0, 0});
    EXPECT_EQ(out, (std::vector<uint8_t>{'B', 'M', 0x36, 0, 0x24, 0, 0, 0, 0, 0, 54, 0, 0, 0}));
}

}  // namespace
