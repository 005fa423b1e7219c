// The Win32 file entry under Wine: the handle is always closed, the
// caller's old block always released, and the picture comes back in an
// unlocked movable block holding exactly what the portable decoder makes.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "jpeg/decode_jpeg_file.h"
#include "wallpaper/dib_image.h"

namespace {

std::vector<uint8_t> ReadData(const char* name) {
    std::ifstream in(std::string(KESTROVA_JPEG_TEST_DATA) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes bytes to a scratch file and opens it with the given access.
HANDLE OpenScratch(const std::vector<uint8_t>& bytes, DWORD access) {
    char folder[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "jpg", 0, path);
    FILE* file = fopen(path, "wb");
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return CreateFileA(path, access, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE,
                       NULL);
}

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

void* AllocateZeroed(void*, size_t bytes) { return calloc(1, bytes); }
void Release(void*, void* memory) { free(memory); }

TEST(DecodeJpegFile, APictureComesBackUnlockedAndTheOldBlockIsReplaced) {
    const std::vector<uint8_t> bytes = ReadData("h2v2-37x29-q90.jpg");
    ASSERT_FALSE(bytes.empty());
    HANDLE file = OpenScratch(bytes, GENERIC_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HGLOBAL image = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_EQ(DecodeJpegFile(file, &image), JPEG_OK);
    EXPECT_FALSE(HandleIsOpen(file));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GlobalFlags(image) & GMEM_LOCKCOUNT, 0u);

    std::vector<uint8_t> padded(bytes);
    padded.resize(bytes.size() + kJpegInputPadding);
    void* expected = nullptr;
    const JpegOutputAllocator allocator = {AllocateZeroed, Release, NULL};
    ASSERT_EQ(DecodeJpegMemory(padded.data(), static_cast<uint32_t>(bytes.size()), allocator, &expected), JPEG_OK);
    const size_t size = 40 + (29 + 15) * DibRowBytes24(37);
    ASSERT_GE(GlobalSize(image), size);
    const void* picture = GlobalLock(image);
    EXPECT_EQ(memcmp(picture, expected, size), 0);
    GlobalUnlock(image);
    free(expected);
    GlobalFree(image);
}

TEST(DecodeJpegFile, EveryFailureClosesTheFileAndLeavesNoPicture) {
    HANDLE invalid = OpenScratch({0x01, 0x02, 0x03}, GENERIC_READ);
    HGLOBAL image = GlobalAlloc(GMEM_MOVEABLE, 16);
    EXPECT_EQ(DecodeJpegFile(invalid, &image), JPEG_INVALID);
    EXPECT_FALSE(HandleIsOpen(invalid));
    EXPECT_EQ(image, nullptr);

    // Not opened for reading: the size is found, the read fails.
    HANDLE writeOnly = OpenScratch(ReadData("grey-17x9.jpg"), GENERIC_WRITE);
    ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
    image = GlobalAlloc(GMEM_MOVEABLE, 16);
    EXPECT_EQ(DecodeJpegFile(writeOnly, &image), JPEG_READ_ERROR);
    EXPECT_FALSE(HandleIsOpen(writeOnly));
    EXPECT_EQ(image, nullptr);

    HANDLE progressive = OpenScratch({0xFF, 0xD8, 0xFF, 0xC2, 0x00, 0x02, 0x00, 0x00}, GENERIC_READ);
    EXPECT_EQ(DecodeJpegFile(progressive, &image), JPEG_UNSUPPORTED);
    EXPECT_FALSE(HandleIsOpen(progressive));
    EXPECT_EQ(image, nullptr);
}

}  // namespace
