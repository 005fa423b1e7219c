#include <cstring>

#include "app/alert_user.h"
#include "app/app_state.h"
#include "resources/messages.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper/pipeline_steps.h"
#include "wallpaper_test_support.h"

namespace {

// 16 x 8 baseline JPEG: left half red, right half blue.
const uint8_t kSmallJpeg[] = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x03, 0x02, 0x02, 0x03, 0x02, 0x02, 0x03,
    0x03, 0x03, 0x03, 0x04, 0x03, 0x03, 0x04, 0x05, 0x08, 0x05, 0x05, 0x04, 0x04, 0x05, 0x0A, 0x07,
    0x07, 0x06, 0x08, 0x0C, 0x0A, 0x0C, 0x0C, 0x0B, 0x0A, 0x0B, 0x0B, 0x0D, 0x0E, 0x12, 0x10, 0x0D,
    0x0E, 0x11, 0x0E, 0x0B, 0x0B, 0x10, 0x16, 0x10, 0x11, 0x13, 0x14, 0x15, 0x15, 0x15, 0x0C, 0x0F,
    0x17, 0x18, 0x16, 0x14, 0x18, 0x12, 0x14, 0x15, 0x14, 0xFF, 0xDB, 0x00, 0x43, 0x01, 0x03, 0x04,
    0x04, 0x05, 0x04, 0x05, 0x09, 0x05, 0x05, 0x09, 0x14, 0x0D, 0x0B, 0x0D, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0xFF, 0xC0,
    0x00, 0x11, 0x08, 0x00, 0x08, 0x00, 0x10, 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
    0x01, 0xFF, 0xC4, 0x00, 0x16, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x08, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xC4, 0x00, 0x15, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x07, 0x08, 0xFF, 0xC4, 0x00, 0x18, 0x11, 0x00, 0x02, 0x03, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x45, 0x83, 0xC3,
    0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00, 0xCE, 0x88,
    0x10, 0x1C, 0x16, 0x59, 0x8A, 0x36, 0x28, 0xD6, 0x1A, 0x2A, 0xEC, 0x8F, 0xFF, 0xD9,
};
const std::string smallJpeg(std::begin(kSmallJpeg), std::end(kSmallJpeg));

int32_t screenWidth, screenHeight;

std::string Sz(const std::string& text) { return text + '\0'; }

class ChangePipelineTest : public WallpaperTest {
protected:
    void SetUp() override
    {
        WallpaperTest::SetUp();
        screenWidth = GetSystemMetrics(SM_CXSCREEN);
        screenHeight = GetSystemMetrics(SM_CYSCREEN);
        strcpy(mainJob.folder, folder.path().c_str());
        SetDesktopValue("Wallpaper", "before");
    }
    void Change(const char* name, const std::string& bytes, int32_t mode = 0)
    {
        UsePicture(folder, name, bytes);
        mainJob.displayMode = mode;
        ChangeWallpaper(&mainJob);
    }
    // After every change: the picture stays for the preview, unlocked; nothing else is held.
    void ExpectCleanedUp()
    {
        ASSERT_NE(pictureBlock, nullptr);
        EXPECT_EQ(GlobalFlags(pictureBlock) & GMEM_LOCKCOUNT, 0u);
        EXPECT_EQ(mainJob.shrunkBits, nullptr);
        EXPECT_EQ(pipelineBusy, 0);
    }
    ScratchFolder folder;
};

// kestrova.bmp as written, with a reader for its bottom-up rows.
struct Written {
    std::string bytes;
    DibHeader header{};
    explicit Written(const std::string& path) : bytes(ReadBytes(path))
    {
        if (bytes.size() >= 54) std::memcpy(&header, &bytes[14], sizeof header);
    }
    uint32_t U32(size_t at) const
    {
        uint32_t value;
        std::memcpy(&value, &bytes[at], 4);
        return value;
    }
    uint32_t Pixel(int32_t x, int32_t yFromTop) const  // 0xRRGGBB
    {
        const size_t rowBytes = (static_cast<size_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
        const auto* p = reinterpret_cast<const uint8_t*>(&bytes[54 + (header.biHeight - 1 - yFromTop) * rowBytes +
                                                                 x * header.biBitCount / 8]);
        return p[2] << 16 | p[1] << 8 | p[0];
    }
};

TEST_F(ChangePipelineTest, BmpThatNeedsNoShrinkIsShownFromItsOwnFile)
{
    WriteBytes(folder.Child("kestrova.bmp"), "old");
    Change("screen.bmp", Bmp24(screenWidth, screenHeight));
    EXPECT_EQ(DesktopValue("Wallpaper"), Sz(folder.Child("screen.bmp")));
    // One column wider, half as tall: cropped, not shrunk; centred vertically.
    Change("wide.bmp", Bmp24(screenWidth + 1, screenHeight / 2), 0);
    EXPECT_EQ(DesktopValue("Wallpaper"), Sz(folder.Child("wide.bmp")));
    EXPECT_EQ(DesktopValue("WallPaperOriginX"), Sz("0"));
    EXPECT_EQ(DesktopValue("WallPaperOriginY"), Sz(std::to_string((screenHeight - screenHeight / 2) / 2)));
    EXPECT_EQ(ReadBytes(folder.Child("kestrova.bmp")), "old");
    EXPECT_TRUE(Messages().empty());
    ExpectCleanedUp();
}

TEST_F(ChangePipelineTest, JpegIsWrittenAsKestrovaBmpAtItsOwnSize)
{
    Change("small.jpg", smallJpeg);
    ASSERT_EQ(Messages(), std::vector<std::string>{});
    EXPECT_EQ(DesktopValue("Wallpaper"), Sz(folder.Child("kestrova.bmp")));
    EXPECT_EQ(DesktopValue("WallPaperOriginX"), Sz(std::to_string((screenWidth - 16) / 2)));
    const Written written(folder.Child("kestrova.bmp"));
    ASSERT_EQ(written.bytes.size(), 14u + 40 + 8 * 48);
    EXPECT_EQ(written.bytes.substr(0, 2), "BM");
    EXPECT_EQ(written.U32(2), written.bytes.size());
    EXPECT_EQ(written.U32(6), 0u);  // reserved
    EXPECT_EQ(written.U32(10), 54u);
    const auto* picture = static_cast<const char*>(GlobalLock(pictureBlock));
    EXPECT_EQ(written.bytes.substr(14), std::string(picture, 40 + 8 * 48));  // the decoder's picture, byte for byte
    GlobalUnlock(pictureBlock);
    EXPECT_EQ(written.Pixel(2, 2) & 0xC0C0C0, 0xC00000u);
    EXPECT_EQ(written.Pixel(13, 5) & 0xC0C0C0, 0x0000C0u);
    ExpectCleanedUp();
}

uint32_t Quadrants(int32_t x, int32_t y)
{
    return (x < screenWidth ? 0xFF0000 : 0x0000FF) | (y < screenHeight ? 0 : 0x008000);
}
uint32_t MarkedRightThird(int32_t x, int32_t) { return x >= 2 * screenWidth ? 0xFF00FF : 0x00FF00; }
uint32_t MarkedTopThird(int32_t, int32_t y) { return y < screenHeight ? 0xFF00FF : 0x00FF00; }

TEST_F(ChangePipelineTest, LargerBothWaysIsShrunkOntoTheScreen)
{
    Change("big.bmp", Bmp24(2 * screenWidth, 2 * screenHeight, Quadrants));
    ASSERT_EQ(Messages(), std::vector<std::string>{});
    EXPECT_EQ(DesktopValue("Wallpaper"), Sz(folder.Child("kestrova.bmp")));
    const Written written(folder.Child("kestrova.bmp"));
    ASSERT_EQ(written.header.biWidth, screenWidth);
    ASSERT_EQ(written.header.biHeight, screenHeight);
    EXPECT_TRUE(written.header.biBitCount == 24 || written.header.biBitCount == 32);
    EXPECT_EQ(written.header.biCompression, 0u);
    EXPECT_EQ(written.header.biSize, 40u);
    EXPECT_EQ(written.bytes.size(), 54u + written.header.biSizeImage);
    EXPECT_EQ(written.U32(2), written.bytes.size());
    EXPECT_EQ(written.Pixel(screenWidth / 4, screenHeight / 4), 0xFF0000u);
    EXPECT_EQ(written.Pixel(3 * screenWidth / 4, screenHeight / 4), 0x0000FFu);
    EXPECT_EQ(written.Pixel(screenWidth / 4, 3 * screenHeight / 4), 0xFF8000u);
    EXPECT_EQ(written.Pixel(3 * screenWidth / 4, 3 * screenHeight / 4), 0x0080FFu);
    ExpectCleanedUp();

    // 3 screens wide: the leftmost two are kept. 3 tall, bottom-up: the lowest two.
    for (auto colour : {MarkedRightThird, MarkedTopThird}) {
        const bool wide = colour == MarkedRightThird;
        Change("crop.bmp", Bmp24((wide ? 3 : 2) * screenWidth, (wide ? 2 : 3) * screenHeight, colour), 2);
        const Written cropped(folder.Child("kestrova.bmp"));
        int marked = 0;
        for (int32_t y = 0; y < screenHeight; y += 5)
            for (int32_t x = 0; x < screenWidth; x += 5) marked += cropped.Pixel(x, y) == 0xFF00FF;
        EXPECT_EQ(marked, 0) << (wide ? "wide" : "tall");
        EXPECT_EQ(cropped.Pixel(screenWidth - 1, 0), 0x00FF00u);
    }
}

TEST_F(ChangePipelineTest, ShrinkFailuresNameTheirStage)
{
    mainJob.targetWidth = mainJob.targetHeight = 0x7FFFFFF;  // no bitmap of that size: stage 1 at the latest
    appState.desktopWindow = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x7FFF0001));
    EXPECT_EQ(ShrinkToScreen(&mainJob), nullptr);  // no screen device context: silent
    EXPECT_TRUE(Messages().empty());
    appState.desktopWindow = GetDesktopWindow();
    EXPECT_EQ(ShrinkToScreen(&mainJob), nullptr);
    EXPECT_EQ(Messages(), std::vector<std::string>{"画像の縮小に失敗しました (1)"});
}

TEST_F(ChangePipelineTest, KestrovaBmpThatCannotBeWrittenLeavesTheDesktop)
{
    CreateDirectoryA(folder.Child("kestrova.bmp").c_str(), nullptr);  // in the way of the file
    Change("small.jpg", smallJpeg);
    mainJob.folder[0] = '\0';  // no folder to write into
    ChangeWallpaper(&mainJob);
    EXPECT_EQ(Messages(), std::vector<std::string>(2, MessageText(MSG_TEMP_NOT_CREATED)));
    EXPECT_EQ(DesktopValue("Wallpaper"), Sz("before"));
    ExpectCleanedUp();

    recordedBoxes.clear();
    HANDLE readOnly = CreateFileA(folder.Child("small.jpg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(WriteChunk(readOnly, "x", 1), 1);
    CloseHandle(readOnly);
    EXPECT_EQ(Messages(), std::vector<std::string>{MessageText(MSG_TEMP_WRITE_FAILED)});

    // A picture whose header claims a megabyte of pixels in a 56-byte block is not written.
    recordedBoxes.clear();
    GlobalFree(pictureBlock);
    pictureBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 56);
    mainJob.header = static_cast<DibHeader*>(GlobalLock(pictureBlock));
    mainJob.header->biSize = 40;
    mainJob.header->biSizeImage = 1 << 20;
    mainJob.outputBits = reinterpret_cast<uint8_t*>(mainJob.header) + 40;
    strcpy(mainJob.folder, folder.path().c_str());
    RemoveDirectoryA(folder.Child("kestrova.bmp").c_str());
    WriteAndApplyBitmap(&mainJob);
    GlobalUnlock(pictureBlock);
    EXPECT_EQ(Messages(), std::vector<std::string>{MessageText(MSG_TEMP_NOT_CREATED)});
    EXPECT_EQ(ReadBytes(folder.Child("kestrova.bmp")), "<missing>");
}

int nestedChanges;

int WINAPI ChangeAgainWhileShown(HWND, LPCSTR text, LPCSTR, UINT)
{
    recordedBoxes.push_back({nullptr, text, "", 0});
    if (++nestedChanges == 1) ChangeWallpaper(&mainJob);  // as a timer tick in the box's loop would
    return IDOK;
}

TEST_F(ChangePipelineTest, BusyPipelineIgnoresANestedChange)
{
    pipelineBusy = 1;
    Change("fine.bmp", Bmp24(8, 8));
    EXPECT_EQ(pictureBlock, nullptr);
    EXPECT_EQ(DesktopValue("Wallpaper"), Sz("before"));
    EXPECT_EQ(pipelineBusy, 1);

    pipelineBusy = 0;
    alertMessageBox = ChangeAgainWhileShown;  // a change halted in its message box
    strcpy(currentPicturePath, folder.Child("missing.bmp").c_str());
    ChangeWallpaper(&mainJob);
    EXPECT_EQ(nestedChanges, 1);
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_EQ(pipelineBusy, 0);
}

}  // namespace
