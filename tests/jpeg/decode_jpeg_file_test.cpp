// The Win32 file entry under Wine: the handle is closed and the caller's old
// block released on every path, and a picture comes back in an unlocked
// movable block holding exactly what the portable decoder makes.
#include <windows.h>

#include "jpeg/decode_jpeg_file.h"
#include "jpeg_test_support.h"

namespace {

using namespace jpegtest;

TEST(DecodeJpegFile, ClosesTheFileReleasesTheOldBlockAndHandsBackAnUnlockedPicture) {
    const Bytes picture = ReadFile(DataPath("h2v2-37x29-q90.jpg"));
    const struct { Bytes file; DWORD access; JpegResult result; } cases[] = {
        {picture, GENERIC_READ, JPEG_OK},
        {{1, 2, 3}, GENERIC_READ, JPEG_INVALID},
        {picture, GENERIC_WRITE, JPEG_READ_ERROR}};  // the size is found, the read fails
    for (const auto& c : cases) {
        const std::string path = testing::TempDir() + "decode-jpeg-file.jpg";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.file.data()), c.file.size());
        HANDLE file = CreateFileA(path.c_str(), c.access, 0, NULL, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, NULL);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        HGLOBAL image = GlobalAlloc(GMEM_MOVEABLE, 16);
        ASSERT_EQ(DecodeJpegFile(file, &image), c.result);
        DWORD flags = 0;
        EXPECT_FALSE(GetHandleInformation(file, &flags)) << "the file is still open";
        EXPECT_EQ(image == nullptr, c.result != JPEG_OK);
        if (!image) continue;
        EXPECT_EQ(GlobalFlags(image) & GMEM_LOCKCOUNT, 0u);
        const Bytes expected = Decode(picture).image;
        const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(image));
        EXPECT_TRUE(GlobalSize(image) >= expected.size() && Bytes(bytes, bytes + expected.size()) == expected);
        GlobalUnlock(image);
        GlobalFree(image);
    }
}

}  // namespace
