// The Win32 file entry under Wine: the handle closed and the old block released on every path, and a picture
// back in an unlocked movable block holding exactly what the portable decoder makes.
#include <windows.h>

#include "jpeg/decode_jpeg_file.h"
#include "jpeg_test_support.h"

namespace {

// Records the frame size it is asked about and answers with the scale in its context.
int PickRecorded(void* context, uint32_t width, uint32_t height) {
    int* asked = static_cast<int*>(context);
    return asked[1] = static_cast<int>(width), asked[2] = static_cast<int>(height), asked[0];
}

TEST(DecodeJpegFile, ClosesTheFileReleasesTheOldBlockAndHandsBackAnUnlockedPicture) {
    const Bytes picture = ReadFile(DataPath("h2v2-37x29-q90.jpg"));
    // scale 0: no picker; else the picker's answer and the frame size it must be asked about (0 x 0: not asked).
    const struct { Bytes file; DWORD access; int scale, width, height; JpegResult result; } cases[] = {
        {picture, GENERIC_READ, 0, 0, 0, JPEG_OK}, {picture, GENERIC_READ, 4, 37, 29, JPEG_OK},
        {picture, GENERIC_READ, 3, 37, 29, JPEG_INVALID}, {{1, 2, 3}, GENERIC_READ, 2, 0, 0, JPEG_INVALID},
        {picture, GENERIC_WRITE, 2, 0, 0, JPEG_READ_ERROR}};  // the size is found, the read fails
    for (const auto& c : cases) {
        const std::string path = testing::TempDir() + "decode-jpeg-file.jpg";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.file.data()), c.file.size());
        HANDLE file = CreateFileA(path.c_str(), c.access, 0, NULL, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, NULL);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        HGLOBAL image = GlobalAlloc(GMEM_MOVEABLE, 16);
        int asked[3] = {c.scale, 0, 0};
        ASSERT_EQ(DecodeJpegFile(file, &image, c.scale ? PickRecorded : nullptr, asked), c.result);
        EXPECT_TRUE(asked[1] == c.width && asked[2] == c.height) << "picker asked about " << asked[1] << "x" << asked[2];
        DWORD flags = 0;
        EXPECT_FALSE(GetHandleInformation(file, &flags)) << "the file is still open";
        EXPECT_EQ(image == nullptr, c.result != JPEG_OK);
        if (!image) continue;
        EXPECT_EQ(GlobalFlags(image) & GMEM_LOCKCOUNT, 0u);
        const Bytes expected = Decode(picture, c.scale == 4 ? 2 : 0).image;
        const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(image));
        EXPECT_TRUE(GlobalSize(image) >= expected.size() && Bytes(bytes, bytes + expected.size()) == expected);
        GlobalUnlock(image);
        GlobalFree(image);
    }
}

}  // namespace
