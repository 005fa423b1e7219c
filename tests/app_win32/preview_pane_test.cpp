// The preview pane under Wine on a 1024 x 768 desktop, in a window laid out as the dialog, read back by pixel.
#include <cstdlib>

#include "base/app_state.h"
#include "app_test_support.h"
#include "jpeg/jpeg_decoder.h"
#include "settings/preview_pane.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper/pipeline_steps.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255), kYellow = RGB(255, 255, 0);

// Red and green above, blue and yellow below.
std::string QuarterBmp(int32_t width, int32_t height, bool topDown = false)
{
    return BmpFile(Rgb24(width, height, topDown), "", [=](int32_t x, int32_t y) {
        return std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00}[2 * (y >= height / 2) + (x >= width / 2)];
    });
}

struct Probe { int x, y; COLORREF colour; };

class PreviewPaneTest : public ShellTest {
protected:
    // The list ends at x 160. The 213 pixels after it are no wider than the screen's shape asks
    // for at the pane's height (213 x 160), so the 212 x 160 pane keeps its 210 x 158 client area.
    void SetUp() override
    {
        ShellTest::SetUp();
        appState.uiFlags = DialogOpen, appState.desktopWindow = GetDesktopWindow();
        pipelineBusy = 0;
        if (pictureBlock) GlobalFree(pictureBlock);
        pictureBlock = nullptr, pictureJob = nullptr;
        strcpy(dialogJob.folder, folder.path().c_str());
        const WNDCLASSA parentClass{0, DefWindowProcA, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "PreviewTestDialog"};
        RegisterClassA(&parentClass);
        dialog = CreateWindowExA(WS_EX_TOPMOST, "PreviewTestDialog", "", WS_POPUP | WS_VISIBLE, 0, 0, 373, 220, 0, 0, 0, 0);
        pictureListBox = CreateWindowA("LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 150, 200, dialog, 0, 0, 0);
        previewPane = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_SUNKEN, 160, 20, 212, 160, dialog, 0, 0, 0);
        previewDefaultProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(previewPane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviewPaneProc)));
    }
    void TearDown() override { DestroyWindow(dialog), ShellTest::TearDown(); }
    int Load(WallpaperJob* job, const std::string& bytes, const char* name = "p.bmp")
    {
        WriteBytes(folder.Child(name), bytes);
        strcpy(currentPicturePath, folder.Child(name).c_str());
        const int code = LoadPicture(job);
        if (code == 0) GlobalUnlock(pictureBlock);  // as the dialog does
        return code;
    }
    // Repaints the pane in `mode` and lists the probes that show another colour.
    std::string Paint(int32_t mode, const std::vector<Probe>& probes)
    {
        dialogJob.displayMode = mode;
        RedrawWindow(previewPane, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        std::string wrong;
        HDC dc = GetDC(previewPane);
        for (const Probe& probe : probes) {
            const COLORREF got = GetPixel(dc, probe.x, probe.y);
            bool alike = true;  // within 40 a channel: a JPEG's red comes back as 233, 4, 9
            for (int shift : {0, 8, 16}) alike &= std::abs(int(got >> shift & 255) - int(probe.colour >> shift & 255)) <= 40;
            if (!alike) wrong += std::to_string(probe.x) + "," + std::to_string(probe.y) + " ";
        }
        ReleaseDC(previewPane, dc);
        return wrong;
    }
    ScratchFolder folder;
    HWND dialog = nullptr;
    const COLORREF desktop = GetSysColor(COLOR_BACKGROUND);
    const std::vector<Probe> stretched = {{0, 0, kRed}, {209, 0, kGreen}, {0, 157, kBlue}, {209, 157, kYellow}};
};

TEST_F(PreviewPaneTest, EachModeDrawsTheDialogsPictureWhereTheLayoutSaysOnTheDesktopColour)
{
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN) * 1000 + GetSystemMetrics(SM_CYSCREEN), 1024768);
    ASSERT_EQ(Load(&dialogJob, QuarterBmp(300, 200)), 0);
    // Centre: one 61 x 41 copy at 74, 58. Tile: copies 61 x 41 from 0, 0; the last column (27 wide) shows
    // the left 132 columns, the last row (35 high) the top 170 rows, so its upper part is red.
    const std::vector<Probe> tiled = {{0, 0, kRed}, {60, 40, kYellow}, {61, 0, kRed}, {0, 41, kRed}, {203, 140, kRed},
                                      {209, 157, kBlue}};
    EXPECT_EQ(Paint(Center, {{74, 58, kRed}, {134, 58, kGreen}, {74, 98, kBlue}, {134, 98, kYellow}, {73, 58, desktop},
                             {74, 57, desktop}, {135, 98, desktop}, {134, 99, desktop}, {0, 0, desktop}, {209, 157, desktop}}),
              "");
    RECT client;
    GetClientRect(previewPane, &client);
    EXPECT_EQ(client.right * 1000 + client.bottom, 210158);  // no room to take the screen's shape
    EXPECT_EQ(Paint(Tile, tiled) + Paint(Stretch, stretched), "");
    ASSERT_EQ(Load(&dialogJob, QuarterBmp(300, 200, true)), 0);
    EXPECT_EQ(Paint(Tile, tiled), "") << "top-down";

    // Only the picture the dialog loaded is drawn (another of the same size would fit its layout), and not
    // while a change is busy. A JPEG twice the screen, loaded at half size, is drawn alike.
    ASSERT_EQ(Load(&mainJob, QuarterBmp(300, 200)), 0);  // as a timer tick's change would
    const std::vector<Probe> empty = {{0, 0, desktop}, {209, 157, desktop}};
    EXPECT_EQ(Paint(Stretch, empty), "") << "another job's picture";
    ASSERT_EQ(Load(&dialogJob, ReadBytes(KESTROVA_WALLPAPER_TEST_DATA "/quarters-2080x1568.jpg"), "q.jpg"), 0);
    EXPECT_EQ(Paint(Stretch, stretched), "") << "half-size JPEG";
    pipelineBusy = 1;  // a change is under way: the static's own face
    EXPECT_EQ(Paint(Stretch, {{0, 0, kRed}, {209, 157, kYellow}}), "0,0 209,157 ");
    pipelineBusy = 0;
    EXPECT_EQ(Load(&dialogJob, "BM"), JPEG_READ_ERROR);
    EXPECT_EQ(Paint(Stretch, empty), "") << "failed load";

    // A change from the dialog shrinks a picture larger than the screen and leaves the shrunk
    // header in dialogJob; the pane still draws the loaded picture from its own block.
    WriteBytes(folder.Child("big.bmp"), QuarterBmp(1025, 769));
    strcpy(currentPicturePath, folder.Child("big.bmp").c_str());
    ChangeWallpaper(&dialogJob);
    ASSERT_TRUE(dialogJob.header == &shrinkInfo.header && pictureJob == &dialogJob);
    EXPECT_EQ(Paint(Stretch, stretched), "");
    EXPECT_TRUE(recordedBoxes.size() == 1 && recordedBoxes[0].text == LoadFailureText(JPEG_READ_ERROR));

    // With room, the pane takes the screen's shape (213 x 160) centred in the 320 pixels after the list.
    MoveWindow(dialog, 0, 0, 480, 220, TRUE);
    EXPECT_EQ(Paint(Stretch, {{0, 0, kRed}, {210, 157, kYellow}}), "");
    RECT pane;
    GetWindowRect(previewPane, &pane);
    EXPECT_EQ(std::vector<LONG>({pane.left, pane.top, pane.right, pane.bottom}), std::vector<LONG>({213, 20, 426, 180}));
}

}  // namespace
