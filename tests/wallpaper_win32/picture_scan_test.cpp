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
    for (const char* name : {"a.JPG", "b.Jpeg", "KESTROVA.BMP", "d.gif", "e", "f.jpg.txt"}) folder.Write(name, {1});
    folder.Write("c.bmp", Bmp24(4, 4, Grey));
}

TEST_F(PictureScanTest, CountAndPickWalkTheSameEntries)
{
    ScratchFolder folder;
    FillExampleFolder(folder);
    EXPECT_EQ(ScanPictureFolder(nullptr, -1, folder.path().c_str()), 3);
    EXPECT_EQ(ScanPictureFolder(nullptr, -1, (folder.path() + "\\").c_str()), 3);

    std::set<std::string> picked;
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(ScanPictureFolder(nullptr, k, folder.path().c_str()), k);
        picked.insert(findData.cFileName);
    }
    EXPECT_EQ(picked, (std::set<std::string>{"a.JPG", "b.Jpeg", "c.bmp"}));

    // No picture 3: the answer must not be 3, whatever the walk counted.
    EXPECT_NE(ScanPictureFolder(nullptr, 3, folder.path().c_str()), 3);
    // Unsearchable folders: nothing to count, and no picture 0.
    for (const std::string& missing : {std::string(""), folder.File("nowhere")}) {
        EXPECT_EQ(ScanPictureFolder(nullptr, -1, missing.c_str()), 0);
        EXPECT_NE(ScanPictureFolder(nullptr, 0, missing.c_str()), 0);
    }
    // A subfolder named like a picture counts: the attribute plays no part.
    folder.MakeFolder("g.jpg");
    EXPECT_EQ(ScanPictureFolder(nullptr, -1, folder.path().c_str()), 4);
}

TEST_F(PictureScanTest, ListUseFillsSortedListAndPostsTheSelection)
{
    HWND dialog = CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    pictureListBox = CreateWindowA("LISTBOX", "", WS_CHILD | LBS_SORT, 0, 0, 10, 10, dialog, nullptr, nullptr, nullptr);
    ScratchFolder folder;
    FillExampleFolder(folder);

    srand(11);
    const int expectedSelection = rand() % 3;
    srand(11);
    EXPECT_EQ(ScanPictureFolder(dialog, -1, folder.path().c_str()), 3);
    ASSERT_EQ(SendMessageA(pictureListBox, LB_GETCOUNT, 0, 0), 3);
    char text[MAX_PATH];
    SendMessageA(pictureListBox, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "a.JPG");
    EXPECT_EQ(SendMessageA(pictureListBox, LB_GETCURSEL, 0, 0), expectedSelection);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, dialog, WM_COMMAND, WM_COMMAND, PM_REMOVE));  // posted, not sent
    EXPECT_EQ(message.wParam, 0x000103E8u);
    EXPECT_EQ(message.lParam, reinterpret_cast<LPARAM>(pictureListBox));

    // An empty folder empties the list and posts nothing.
    ScratchFolder empty;
    EXPECT_EQ(ScanPictureFolder(dialog, -1, empty.path().c_str()), 0);
    EXPECT_EQ(SendMessageA(pictureListBox, LB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(PeekMessageA(&message, dialog, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    DestroyWindow(dialog);
    pictureListBox = nullptr;
}

TEST_F(PictureScanTest, FolderEndingInDoubleByteCharacterWith5CTrailByte)
{
    if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page (LANG=ja_JP.UTF-8 under Wine)";
    ScratchFolder folder("\x95\x5C");  // "表"
    folder.Write("p.bmp", Bmp24(2, 2, Grey));
    char pattern[kPathBufferSize];
    ASSERT_GT(JoinPath(pattern, folder.path().c_str(), "*.*"), 0);
    EXPECT_EQ(std::string(pattern), folder.path() + "\\*.*");
    EXPECT_EQ(ScanPictureFolder(nullptr, -1, folder.path().c_str()), 1);
}

TEST_F(PictureScanTest, RandomChangeUsesRandModuloCount)
{
    ScratchFolder folder;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"}) folder.Write(name, Bmp24(8, 8, Grey));
    strcpy(mainJob.folder, folder.path().c_str());
    std::set<std::string> chosen;
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        srand(seed);
        const int pick = rand() % 5;
        ASSERT_EQ(ScanPictureFolder(nullptr, pick, mainJob.folder), pick);
        const std::string expected = folder.File(findData.cFileName);
        srand(seed);
        ChangeWallpaperAtRandom();
        EXPECT_EQ(std::string(currentPicturePath), expected) << seed;
        EXPECT_EQ(DesktopValue("Wallpaper").bytes, expected + '\0');  // a small .bmp is shown from its own file
        chosen.insert(expected);
    }
    EXPECT_GT(chosen.size(), 2u);
    EXPECT_TRUE(shownMessages.empty());
}

TEST_F(PictureScanTest, RandomChangeWithoutPicturesShowsOneMessage)
{
    ScratchFolder folder;
    for (bool withOwnBitmap : {false, true}) {
        if (withOwnBitmap) folder.Write("kestrova.bmp", Bmp24(8, 8, Grey));
        strcpy(mainJob.folder, folder.path().c_str());
        shownMessages.clear();
        ChangeWallpaperAtRandom();
        EXPECT_EQ(shownMessages, std::vector<std::string>{Text(MSG_NO_PICTURES)});
        EXPECT_EQ(pictureBlock, nullptr);  // nothing was loaded
    }
}

}  // namespace
