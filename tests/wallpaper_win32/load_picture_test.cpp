#include <cstring>

#include "jpeg/jpeg_decoder.h"
#include "resources/messages.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper_test_support.h"

namespace {

class LoadPictureTest : public WallpaperTest {
protected:
    int Load(const std::string& bytes, const char* name = "p.bmp")
    {
        UsePicture(folder, name, bytes);
        return LoadPicture(&dialogJob);
    }
    // A failed load shows its message once and keeps no picture.
    void ExpectRefused(const std::string& bytes, int code, const char* what)
    {
        recordedBoxes.clear();
        EXPECT_EQ(Load(bytes), code) << what;
        EXPECT_EQ(Messages(), std::vector<std::string>{LoadFailureText(code)}) << what;
        EXPECT_EQ(pictureBlock, nullptr) << what;
        EXPECT_EQ(dialogJob.header, nullptr) << what;
    }
    ScratchFolder folder;
};

TEST_F(LoadPictureTest, BmpIsKeptAsStoredLockedOnce)
{
    const struct {
        std::string file;
        int32_t storedHeight;
        size_t pixelOffset;
    } cases[] = {{Bmp24(5, 3), 3, 40}, {Bmp24(5, 3, Grey, true), -3, 40}, {Bmp8(5, 3, 0), 3, 40 + 1024},
                 {Bmp8(5, 3, 16), 3, 40 + 64}, {Bmp24(1, 1), 1, 40} /* 58 bytes, the shortest */};
    for (const auto& c : cases) {
        ASSERT_EQ(Load(c.file), 0);
        const uint8_t* block = reinterpret_cast<const uint8_t*>(dialogJob.header);
        EXPECT_EQ(GlobalFlags(pictureBlock) & GMEM_LOCKCOUNT, 1u);
        EXPECT_EQ(std::memcmp(block, c.file.data() + 14, c.file.size() - 14), 0);
        EXPECT_EQ(dialogJob.sourceBits, block + c.pixelOffset);
        EXPECT_EQ(dialogJob.outputBits, block + 40);
        EXPECT_EQ(dialogJob.storedHeight, c.storedHeight);
        EXPECT_EQ(dialogJob.sourceHeight, std::abs(c.storedHeight));
        EXPECT_EQ(dialogJob.applyPath, currentPicturePath);
        EXPECT_EQ(dialogJob.screenWidth, GetSystemMetrics(SM_CXSCREEN));  // fitted as it loaded
        GlobalUnlock(pictureBlock);
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(LoadPictureTest, ShortSignatureLessAndLyingFilesAreRefused)
{
    ExpectRefused("", JPEG_READ_ERROR, "empty");
    ExpectRefused(std::string(13, 'B'), JPEG_READ_ERROR, "13 bytes");
    ExpectRefused(Bmp24(1, 1).substr(0, 57), JPEG_INVALID, "57 bytes");
    ExpectRefused("\xFF\xD8" + Bmp24(4, 4).substr(2), JPEG_INVALID, "JPEG signature in a .bmp");
    // The file's own header must describe only bytes that are there.
    std::string tooTall = Bmp24(5, 3), tableTooLong = Bmp8(5, 3, 16), headerTooLong = Bmp24(5, 3);
    tooTall[22] = 4;
    tableTooLong[47] = 1;  // biClrUsed 16 + 256
    headerTooLong[15] = 1;  // biSize 40 + 256
    ExpectRefused(tooTall, JPEG_INVALID, "more rows than read");
    ExpectRefused(tableTooLong, JPEG_INVALID, "colour table past the data");
    ExpectRefused(headerTooLong, JPEG_INVALID, "header past the data");
    std::string noWidth = Bmp24(5, 3);
    std::memset(&noWidth[18], 0, 4);
    ExpectRefused(noWidth, JPEG_INVALID, "width 0");
}

TEST_F(LoadPictureTest, MissingFileAndTheJpegBranch)
{
    strcpy(currentPicturePath, folder.Child("gone.bmp").c_str());
    EXPECT_EQ(LoadPicture(&dialogJob), -1);
    EXPECT_EQ(Messages(), std::vector<std::string>{"ファイルが開けません\n" + folder.Child("gone.bmp")});
    // Every extension but .bmp goes to the decoder: a bitmap named .jpg is no JPEG.
    recordedBoxes.clear();
    EXPECT_EQ(Load(Bmp24(4, 4), "p.jpg"), JPEG_INVALID);
    EXPECT_EQ(Messages(), std::vector<std::string>{LoadFailureText(JPEG_INVALID)});
    EXPECT_EQ(pictureBlock, nullptr);
}

}  // namespace
