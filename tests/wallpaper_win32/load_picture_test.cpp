#include <cstring>
#include <functional>

#include "jpeg/jpeg_decoder.h"
#include "resources/messages.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper_test_support.h"

namespace {

class LoadPictureTest : public WallpaperTest {
protected:
    // Writes the bytes as `name` and loads them with the dialog's job.
    int Load(const std::vector<uint8_t>& bytes, const char* name = "p.bmp")
    {
        folder.Write(name, bytes);
        strcpy(currentPicturePath, folder.File(name).c_str());
        return LoadPicture(&dialogJob);
    }
    // A failed load shows its message once and keeps no picture.
    void ExpectRefused(const std::vector<uint8_t>& bytes, int code, const char* what)
    {
        shownMessages.clear();
        EXPECT_EQ(Load(bytes), code) << what;
        EXPECT_EQ(shownMessages, std::vector<std::string>{LoadFailureText(code)}) << what;
        EXPECT_EQ(pictureBlock, nullptr) << what;
        EXPECT_EQ(dialogJob.header, nullptr) << what;
    }
    // A picture that loaded is locked exactly once.
    void ExpectLockedOnce()
    {
        ASSERT_NE(pictureBlock, nullptr);
        EXPECT_EQ(GlobalFlags(pictureBlock) & GMEM_LOCKCOUNT, 1u);
        GlobalUnlock(pictureBlock);
    }
    ScratchFolder folder;
};

TEST_F(LoadPictureTest, BmpIsKeptAsStoredWithItsLayout)
{
    struct Case {
        std::vector<uint8_t> file;
        int32_t storedHeight;
        size_t pixelOffset;
    };
    const Case cases[] = {
        {Bmp24(5, 3, Grey), 3, 40},
        {Bmp24(5, 3, Grey, true), -3, 40},
        {Bmp8(5, 3, 0), 3, 40 + 1024},
        {Bmp8(5, 3, 16), 3, 40 + 64},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(c.file), 0);
        uint8_t* block = reinterpret_cast<uint8_t*>(dialogJob.header);
        EXPECT_EQ(GlobalLock(pictureBlock), block);  // the header is the locked block itself
        GlobalUnlock(pictureBlock);
        EXPECT_EQ(std::memcmp(block, c.file.data() + 14, c.file.size() - 14), 0);
        EXPECT_EQ(dialogJob.sourceBits, block + c.pixelOffset);
        EXPECT_EQ(dialogJob.outputBits, block + 40);
        EXPECT_EQ(dialogJob.storedHeight, c.storedHeight);
        EXPECT_EQ(dialogJob.sourceWidth, 5);
        EXPECT_EQ(dialogJob.sourceHeight, 3);
        EXPECT_EQ(dialogJob.applyPath, currentPicturePath);
        EXPECT_EQ(dialogJob.screenWidth, GetSystemMetrics(SM_CXSCREEN));  // fitted as it loaded
        ExpectLockedOnce();
    }
    EXPECT_TRUE(shownMessages.empty());
}

TEST_F(LoadPictureTest, SizeBoundariesAndSignature)
{
    ExpectRefused({}, JPEG_READ_ERROR, "empty file");
    ExpectRefused(std::vector<uint8_t>(13, 'B'), JPEG_READ_ERROR, "13 bytes");
    std::vector<uint8_t> smallest = Bmp24(1, 1, Grey);  // 58 bytes
    ASSERT_EQ(smallest.size(), 58u);
    EXPECT_EQ(Load(smallest), 0);
    ExpectLockedOnce();
    smallest.pop_back();
    ExpectRefused(smallest, JPEG_INVALID, "57 bytes");
    std::vector<uint8_t> noSignature = Bmp24(4, 4, Grey);
    noSignature[0] = 0xFF;
    noSignature[1] = 0xD8;
    ExpectRefused(noSignature, JPEG_INVALID, "a JPEG signature in a .bmp");
}

TEST_F(LoadPictureTest, LyingHeadersAreInvalid)
{
    struct Lie {
        const char* what;
        size_t offset;  // in the file
        uint32_t value;
        int bytes;
    };
    const Lie lies[] = {
        {"biSize 39", 14, 39, 4},         {"biSize past the data", 14, 4000, 4},
        {"width 0", 18, 0, 4},            {"negative width", 18, 0xFFFFFFFBu, 4},
        {"height 0", 22, 0, 4},           {"more rows than read", 22, 4, 4},
        {"height -2^31", 22, 0x80000000u, 4}, {"wider than read", 18, 6, 4},
        {"bit count 0", 28, 0, 2},        {"32 bits in 24-bit room", 28, 32, 2},
        {"colour table of 256 in 16", 46, 256, 4}, {"colour table overflowing", 46, 0x40000000u, 4},
        {"RLE data past the end", 30, 1, 4},
    };
    for (const Lie& lie : lies) {
        std::vector<uint8_t> file = lie.offset == 46 ? Bmp8(5, 3, 16) : Bmp24(5, 3, Grey);
        std::memcpy(&file[lie.offset], &lie.value, lie.bytes);
        if (lie.offset == 30) std::memset(&file[34], 0xFF, 4);  // biSizeImage
        ExpectRefused(file, JPEG_INVALID, lie.what);
    }
}

TEST_F(LoadPictureTest, MissingFileAndJpegBranch)
{
    strcpy(currentPicturePath, folder.File("gone.bmp").c_str());
    EXPECT_EQ(LoadPicture(&dialogJob), -1);
    EXPECT_EQ(shownMessages, std::vector<std::string>{"ファイルが開けません\n" + folder.File("gone.bmp")});

    // Any extension but .bmp goes to the decoder: a bitmap named .jpg is not a JPEG.
    shownMessages.clear();
    folder.Write("p.jpg", Bmp24(4, 4, Grey));
    strcpy(currentPicturePath, folder.File("p.jpg").c_str());
    EXPECT_EQ(LoadPicture(&dialogJob), JPEG_INVALID);
    EXPECT_EQ(shownMessages, std::vector<std::string>{LoadFailureText(JPEG_INVALID)});
    EXPECT_EQ(pictureBlock, nullptr);
}

}  // namespace
