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

int32_t screenWidth, screenHeight;

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
    // Changes the wallpaper to the picture written as `name`.
    void Change(const std::string& name, const std::vector<uint8_t>& bytes, int32_t mode = 0)
    {
        folder.Write(name, bytes);
        strcpy(currentPicturePath, folder.File(name).c_str());
        mainJob.displayMode = mode;
        ChangeWallpaper(&mainJob);
    }
    std::string Wallpaper() { return DesktopValue("Wallpaper").bytes; }
    std::string Shown(const std::string& path) { return path + '\0'; }
    ScratchFolder folder;
};

// kestrova.bmp as written: its headers and a pixel reader for its rows.
struct WrittenBitmap {
    std::vector<uint8_t> bytes;
    DibHeader header{};
    explicit WrittenBitmap(const std::string& path) : bytes(ReadWholeFile(path))
    {
        if (bytes.size() >= 54) std::memcpy(&header, &bytes[14], sizeof header);
    }
    uint32_t U32(size_t at) const { return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24; }
    // 0xRRGGBB of pixel (x, y), y from the top of a bottom-up picture.
    uint32_t Pixel(int32_t x, int32_t y) const
    {
        const uint32_t rowBytes = (static_cast<uint32_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
        const uint8_t* p = &bytes[54 + (header.biHeight - 1 - y) * rowBytes + x * header.biBitCount / 8];
        return p[2] << 16 | p[1] << 8 | p[0];
    }
};

TEST_F(ChangePipelineTest, BmpThatFitsIsShownFromItsOwnFile)
{
    folder.Write("kestrova.bmp", {1, 2, 3});
    Change("screen.bmp", Bmp24(screenWidth, screenHeight, Grey));
    EXPECT_EQ(Wallpaper(), Shown(folder.File("screen.bmp")));

    // One column wider but half as tall: still no shrink; centred vertically.
    Change("wide.bmp", Bmp24(screenWidth + 1, screenHeight / 2, Grey), 0);
    EXPECT_EQ(Wallpaper(), Shown(folder.File("wide.bmp")));
    EXPECT_EQ(DesktopValue("WallPaperOriginX").bytes, Shown("0"));
    EXPECT_EQ(DesktopValue("WallPaperOriginY").bytes, Shown(std::to_string((screenHeight - screenHeight / 2) / 2)));

    EXPECT_EQ(ReadWholeFile(folder.File("kestrova.bmp")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(shownMessages.empty());
    // The picture stays for the preview, unlocked; the busy flag is down.
    ASSERT_NE(pictureBlock, nullptr);
    EXPECT_EQ(GlobalFlags(pictureBlock) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(pipelineBusy, 0);
    EXPECT_EQ(mainJob.shrunkBits, nullptr);
}

TEST_F(ChangePipelineTest, JpegIsWrittenAsKestrovaBmpAtItsOwnSize)
{
    Change("small.jpg", std::vector<uint8_t>(std::begin(kSmallJpeg), std::end(kSmallJpeg)));
    ASSERT_TRUE(shownMessages.empty()) << shownMessages[0];
    EXPECT_EQ(Wallpaper(), Shown(folder.File("kestrova.bmp")));
    EXPECT_EQ(DesktopValue("WallPaperOriginX").bytes, Shown(std::to_string((screenWidth - 16) / 2)));

    const WrittenBitmap written(folder.File("kestrova.bmp"));
    ASSERT_EQ(written.bytes.size(), 14u + 40 + 8 * 48);
    EXPECT_EQ(written.bytes[0], 'B');
    EXPECT_EQ(written.bytes[1], 'M');
    EXPECT_EQ(written.U32(2), written.bytes.size());
    EXPECT_EQ(written.U32(6), 0u);
    EXPECT_EQ(written.U32(10), 54u);
    // Header and pixels are the decoder's picture, byte for byte.
    const uint8_t* picture = static_cast<const uint8_t*>(GlobalLock(pictureBlock));
    EXPECT_EQ(std::memcmp(&written.bytes[14], picture, 40 + 8 * 48), 0);
    GlobalUnlock(pictureBlock);
    EXPECT_EQ(written.header.biBitCount, 24);
    EXPECT_EQ(written.Pixel(2, 2) & 0xC0C0C0, 0xC00000u);   // red half
    EXPECT_EQ(written.Pixel(13, 5) & 0xC0C0C0, 0x0000C0u);  // blue half
}

uint32_t Quadrants(int32_t x, int32_t y)
{
    return (x < screenWidth ? 0xFF0000 : 0x0000FF) | (y < screenHeight ? 0x000000 : 0x008000);
}
uint32_t MarkedRightThird(int32_t x, int32_t) { return x >= 2 * screenWidth ? 0xFF00FF : 0x00FF00; }
uint32_t MarkedTopThird(int32_t, int32_t y) { return y < screenHeight ? 0xFF00FF : 0x00FF00; }

TEST_F(ChangePipelineTest, LargerBothWaysIsShrunkToTheScreen)
{
    Change("big.bmp", Bmp24(2 * screenWidth, 2 * screenHeight, Quadrants));
    ASSERT_TRUE(shownMessages.empty()) << shownMessages[0];
    EXPECT_EQ(Wallpaper(), Shown(folder.File("kestrova.bmp")));
    const WrittenBitmap written(folder.File("kestrova.bmp"));
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
    EXPECT_EQ(mainJob.shrunkBits, nullptr);
    EXPECT_EQ(GlobalFlags(pictureBlock) & GMEM_LOCKCOUNT, 0u);
}

TEST_F(ChangePipelineTest, ShrinkCropsTheRightColumnsOrTheTopRows)
{
    // 3 screens wide, 2 tall: the leftmost two screen widths are kept.
    // 2 wide, 3 tall, bottom-up: the lowest two screen heights are kept.
    struct Case {
        int32_t widthScreens, heightScreens;
        uint32_t (*colour)(int32_t, int32_t);
    };
    for (const Case& c : {Case{3, 2, MarkedRightThird}, Case{2, 3, MarkedTopThird}}) {
        Change("crop.bmp", Bmp24(c.widthScreens * screenWidth, c.heightScreens * screenHeight, c.colour), 2);
        const WrittenBitmap written(folder.File("kestrova.bmp"));
        ASSERT_EQ(written.header.biWidth, screenWidth);
        int marked = 0;
        for (int32_t y = 0; y < screenHeight; y += 7)
            for (int32_t x = 0; x < screenWidth; x += 7) marked += written.Pixel(x, y) == 0xFF00FF;
        EXPECT_EQ(marked, 0) << c.widthScreens << " x " << c.heightScreens;
        EXPECT_EQ(written.Pixel(screenWidth - 1, 0), 0x00FF00u);
    }
}

TEST_F(ChangePipelineTest, ShrinkFailuresNameTheirStage)
{
    // A bitmap far beyond memory, so that nothing past stage 1 is ever tried.
    mainJob.targetWidth = mainJob.targetHeight = 0x7FFFFFF;
    // No screen device context: no message at all.
    appState.desktopWindow = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x7FFF0001));
    EXPECT_EQ(ShrinkToScreen(&mainJob), nullptr);
    EXPECT_TRUE(shownMessages.empty());

    // The bitmap cannot be made: stage 1.
    appState.desktopWindow = GetDesktopWindow();
    EXPECT_EQ(ShrinkToScreen(&mainJob), nullptr);
    EXPECT_EQ(shownMessages, std::vector<std::string>{"画像の縮小に失敗しました (1)"});
}

TEST_F(ChangePipelineTest, KestrovaBmpThatCannotBeWrittenLeavesTheDesktop)
{
    folder.MakeFolder("kestrova.bmp");  // a folder where the file should go
    Change("small.jpg", std::vector<uint8_t>(std::begin(kSmallJpeg), std::end(kSmallJpeg)));
    EXPECT_EQ(shownMessages, std::vector<std::string>{Text(MSG_TEMP_NOT_CREATED)});
    EXPECT_EQ(Wallpaper(), Shown("before"));
    EXPECT_NE(pictureBlock, nullptr);  // the picture is kept
    EXPECT_EQ(pipelineBusy, 0);

    // No folder to write into.
    shownMessages.clear();
    mainJob.folder[0] = '\0';
    ChangeWallpaper(&mainJob);
    EXPECT_EQ(shownMessages, std::vector<std::string>{Text(MSG_TEMP_NOT_CREATED)});

    // A short write reports itself, then the change reports the file.
    folder.Write("readonly", {0});
    HANDLE readOnly = CreateFileA(folder.File("readonly").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    shownMessages.clear();
    EXPECT_EQ(WriteChunk(readOnly, "x", 1), 1);
    CloseHandle(readOnly);
    EXPECT_EQ(shownMessages, std::vector<std::string>{Text(MSG_TEMP_WRITE_FAILED)});
}

TEST_F(ChangePipelineTest, WriterNeverReadsPastThePictureBlock)
{
    // A picture whose header claims a megabyte of pixels in a 56-byte block.
    pictureBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 56);
    mainJob.header = static_cast<DibHeader*>(GlobalLock(pictureBlock));
    mainJob.header->biSize = 40;
    mainJob.header->biSizeImage = 1 << 20;
    mainJob.outputBits = reinterpret_cast<uint8_t*>(mainJob.header) + 40;
    WriteAndApplyBitmap(&mainJob);
    GlobalUnlock(pictureBlock);
    EXPECT_EQ(shownMessages, std::vector<std::string>{Text(MSG_TEMP_NOT_CREATED)});
    EXPECT_TRUE(ReadWholeFile(folder.File("kestrova.bmp")).empty());
    EXPECT_EQ(Wallpaper(), Shown("before"));
}

int nestedChanges;

int WINAPI ChangeAgainWhileShown(HWND, LPCSTR text, LPCSTR, UINT)
{
    shownMessages.push_back(text);
    if (++nestedChanges == 1) ChangeWallpaper(&mainJob);  // as a timer tick inside the box's loop would
    return IDOK;
}

TEST_F(ChangePipelineTest, BusyPipelineIgnoresANestedChange)
{
    pipelineBusy = 1;
    Change("fine.bmp", Bmp24(8, 8, Grey));
    EXPECT_EQ(pictureBlock, nullptr);
    EXPECT_TRUE(shownMessages.empty());
    EXPECT_EQ(Wallpaper(), Shown("before"));
    EXPECT_EQ(pipelineBusy, 1);

    // A change halted in its message box: the nested change does nothing.
    pipelineBusy = 0;
    alertMessageBox = ChangeAgainWhileShown;
    strcpy(currentPicturePath, folder.File("missing.bmp").c_str());
    ChangeWallpaper(&mainJob);
    EXPECT_EQ(nestedChanges, 1);
    EXPECT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(pipelineBusy, 0);
}

}  // namespace
