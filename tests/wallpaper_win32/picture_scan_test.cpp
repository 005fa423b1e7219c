#include <cstdlib>
#include <set>

#include "resources/messages.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper/random_change.h"
#include "wallpaper_test_support.h"

namespace {

using PictureScanTest = WallpaperTest;

// The example folder: a.JPG, b.Jpeg and c.bmp are its pictures.
void FillExampleFolder(const ScratchFolder& folder)
{
    for (const char* name : {"a.JPG", "b.Jpeg", "KESTROVA.BMP", "d.gif", "e", "f.jpg.txt"}) WriteBytes(folder.Child(name), "x");
    WriteBytes(folder.Child("c.bmp"), Bmp24(4, 4));
}

TEST_F(PictureScanTest, CountAndPickWalkTheSameEntries)
{
    ScratchFolder folder;
    FillExampleFolder(folder);
    const char* path = folder.path().c_str();
    EXPECT_EQ(ScanPictureFolder(nullptr, -1, path), 3);
    EXPECT_EQ(ScanPictureFolder(nullptr, -1, (folder.path() + "\\").c_str()), 3);
    std::set<std::string> picked;
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(ScanPictureFolder(nullptr, k, path), k);
        picked.insert(findData.cFileName);
    }
    EXPECT_EQ(picked, (std::set<std::string>{"a.JPG", "b.Jpeg", "c.bmp"}));
    EXPECT_NE(ScanPictureFolder(nullptr, 3, path), 3);  // the walk counted 3, but found no picture 3
    for (const std::string& unsearchable : {std::string(""), folder.Child("nowhere")}) {
        EXPECT_EQ(ScanPictureFolder(nullptr, -1, unsearchable.c_str()), 0);
        EXPECT_NE(ScanPictureFolder(nullptr, 0, unsearchable.c_str()), 0);
    }
    CreateDirectoryA(folder.Child("g.jpg").c_str(), nullptr);  // a subfolder counts: attributes play no part
    EXPECT_EQ(ScanPictureFolder(nullptr, -1, path), 4);
}

TEST_F(PictureScanTest, ListUseFillsTheSortedListAndPostsTheSelection)
{
    HWND dialog = CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    pictureListBox = CreateWindowA("LISTBOX", "", WS_CHILD | LBS_SORT, 0, 0, 10, 10, dialog, nullptr, nullptr, nullptr);
    ScratchFolder folder, empty;
    FillExampleFolder(folder);
    srand(11);
    const int expectedSelection = rand() % 3;
    srand(11);
    EXPECT_EQ(ScanPictureFolder(dialog, -1, folder.path().c_str()), 3);
    ASSERT_EQ(SendMessageA(pictureListBox, LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(pictureListBox, LB_GETCURSEL, 0, 0), expectedSelection);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, dialog, WM_COMMAND, WM_COMMAND, PM_REMOVE));  // posted, not sent
    EXPECT_EQ(message.wParam, 0x000103E8u);
    EXPECT_EQ(message.lParam, reinterpret_cast<LPARAM>(pictureListBox));

    EXPECT_EQ(ScanPictureFolder(dialog, -1, empty.path().c_str()), 0);
    EXPECT_EQ(SendMessageA(pictureListBox, LB_GETCOUNT, 0, 0), 0);  // emptied, nothing posted
    EXPECT_FALSE(PeekMessageA(&message, dialog, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    DestroyWindow(dialog);
    pictureListBox = nullptr;
}

TEST_F(PictureScanTest, FolderEndingInADoubleByteCharacterWith5CTrailByte)
{
    if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page (LANG=ja_JP.UTF-8 under Wine)";
    ScratchFolder scratch;
    const std::string folder = scratch.Child("\x95\x5C");  // "表"
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteBytes(folder + "\\p.bmp", Bmp24(2, 2));
    char pattern[kPathBufferSize];
    EXPECT_EQ(JoinPath(pattern, folder.c_str(), "*.*"), static_cast<int>(folder.size() + 4));
    EXPECT_EQ(std::string(pattern), folder + "\\*.*");
    EXPECT_EQ(ScanPictureFolder(nullptr, -1, folder.c_str()), 1);
}

TEST_F(PictureScanTest, RandomChangePicksRandModuloCount)
{
    ScratchFolder folder;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"}) WriteBytes(folder.Child(name), Bmp24(8, 8));
    strcpy(mainJob.folder, folder.path().c_str());
    std::set<std::string> chosen;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        srand(seed);
        const int pick = rand() % 5;
        ASSERT_EQ(ScanPictureFolder(nullptr, pick, mainJob.folder), pick);
        const std::string expected = folder.Child(findData.cFileName);
        srand(seed);
        ChangeWallpaperAtRandom();
        EXPECT_EQ(std::string(currentPicturePath), expected) << seed;
        EXPECT_EQ(DesktopValue("Wallpaper"), expected + '\0');  // a small .bmp is shown from its own file
        chosen.insert(expected);
    }
    EXPECT_GT(chosen.size(), 2u);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(PictureScanTest, RandomChangeWithoutPicturesShowsOneMessage)
{
    ScratchFolder folder;
    strcpy(mainJob.folder, folder.path().c_str());
    ChangeWallpaperAtRandom();
    WriteBytes(folder.Child("kestrova.bmp"), Bmp24(8, 8));  // our own output is never a candidate
    ChangeWallpaperAtRandom();
    EXPECT_EQ(Messages(), std::vector<std::string>(2, MessageText(MSG_NO_PICTURES)));
    EXPECT_EQ(pictureBlock, nullptr);
}

}  // namespace
