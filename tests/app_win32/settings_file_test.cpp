// kestrova.ini on disk: the bytes a save leaves (CR LF, no line break at the
// end), that a failed save never harms the old file, and reading real files.
#include "app_test_support.h"

#include <cstring>

#include "app/app_state.h"
#include "resources/messages.h"
#include "settings/settings_file.h"
#include "settings/settings_format.h"
#include "settings/wallpaper_settings.h"
#include "wallpaper/wallpaper_job.h"

namespace {

class SettingsFileTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        UseProgramIn(folder.path());
        // As the dialog leaves things before it saves.
        strcpy(dialogJob.folder, "C:\\Pictures");
        dialogJob.displayMode = Stretch;
        changeAtStart = 1;
        intervalMinutes = 30;
    }

    // The program's path as the start-up leaves it: "ini" at its end.
    void UseProgramIn(const std::string& directory)
    {
        std::string exe = directory + "\\kestrova.exe";
        strcpy(appState.programPath, exe.c_str());
        appState.programPathLength = static_cast<int>(exe.size());
        SetFileExtension(appState.programPath, appState.programPathLength, "ini");
    }

    void ExpectOneSaveFailureMessage()
    {
        ASSERT_EQ(recordedBoxes.size(), 1u);
        EXPECT_EQ(recordedBoxes[0].text, MessageText(MSG_SETTINGS_NOT_SAVED));
        EXPECT_EQ(recordedBoxes[0].caption, MessageText(MSG_TITLE));
    }

    // The dialog's values are in memory whatever became of the file.
    void ExpectNewValuesInMemory()
    {
        EXPECT_STREQ(mainJob.folder, "C:\\Pictures");
        EXPECT_EQ(mainJob.displayMode, Stretch);
    }

    ScratchFolder folder;
    std::string ini = folder.Child("kestrova.ini");
    std::string newFile = folder.Child("kestrova.ini.new");
};

TEST_F(SettingsFileTest, SaveWritesTwoLinesWithCrLfAndNoTrailingBreak)
{
    ASSERT_EQ(SaveSettings(), 0);
    EXPECT_EQ(ReadBytes(ini), "1230\r\nC:\\Pictures");
    EXPECT_EQ(ReadBytes(newFile), "<missing>");
    EXPECT_TRUE(recordedBoxes.empty());
    ExpectNewValuesInMemory();

    // A longer old file is replaced whole, not overwritten in part.
    WriteBytes(ini, "000\r\n" + std::string(250, 'o'));
    dialogJob.displayMode = Center;
    changeAtStart = 0;
    intervalMinutes = 0;
    strcpy(dialogJob.folder, ".");
    ASSERT_EQ(SaveSettings(), 0);
    EXPECT_EQ(ReadBytes(ini), "000\r\n.");
}

TEST_F(SettingsFileTest, SaveAfterTheShortcutStepStillWritesTheIniFile)
{
    // Making the shortcut puts "exe" back at the end of the path.
    SetFileExtension(appState.programPath, appState.programPathLength, "exe");
    WriteBytes(folder.Child("kestrova.exe"), "program");
    ASSERT_EQ(SaveSettings(), 0);
    EXPECT_EQ(ReadBytes(ini), "1230\r\nC:\\Pictures");
    EXPECT_EQ(ReadBytes(folder.Child("kestrova.exe")), "program");
}

TEST_F(SettingsFileTest, WriteProtectedFileStaysByteForByte)
{
    const std::string old = "000\r\nC:\\Old";
    WriteBytes(ini, old);
    ASSERT_TRUE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(SaveSettings(), 1);
    ExpectOneSaveFailureMessage();
    EXPECT_EQ(ReadBytes(ini), old);
    EXPECT_NE(GetFileAttributesA(ini.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(ReadBytes(newFile), "<missing>");
    ExpectNewValuesInMemory();
}

TEST_F(SettingsFileTest, FolderOfTheProgramMissing)
{
    UseProgramIn(folder.Child("gone"));
    EXPECT_EQ(SaveSettings(), 1);
    ExpectOneSaveFailureMessage();
    EXPECT_EQ(GetFileAttributesA(folder.Child("gone").c_str()), INVALID_FILE_ATTRIBUTES);
    ExpectNewValuesInMemory();
}

TEST_F(SettingsFileTest, DirectoryInThePlaceOfTheFile)
{
    ASSERT_TRUE(CreateDirectoryA(ini.c_str(), nullptr));
    EXPECT_EQ(SaveSettings(), 1);
    ExpectOneSaveFailureMessage();
    EXPECT_NE(GetFileAttributesA(ini.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(ReadBytes(newFile), "<missing>");
}

TEST_F(SettingsFileTest, SaveWithoutAProgramPathWritesNothing)
{
    appState.programPath[0] = '\0';
    appState.programPathLength = 0;
    EXPECT_EQ(SaveSettings(), 1);
    ExpectOneSaveFailureMessage();
    EXPECT_EQ(ReadBytes(".new"), "<missing>");
}

TEST_F(SettingsFileTest, ReadingRealFiles)
{
    // Text mode turns CR LF into one line break; the folder comes without it.
    WriteBytes(ini, "1230\r\n" + folder.path());
    ASSERT_EQ(ReadSettingsFile(ini.c_str()), SETTINGS_LOADED);
    EXPECT_EQ(changeAtStart, 1);
    EXPECT_EQ(mainJob.displayMode, Stretch);
    EXPECT_EQ(intervalMinutes, 30u);
    EXPECT_EQ(std::string(mainJob.folder), folder.path());

    // A plain file passes as the folder: only existence is tested.
    WriteBytes(folder.Child("a.jpg"), "x");
    WriteBytes(ini, "0215\r\n" + folder.Child("a.jpg"));
    EXPECT_EQ(ReadSettingsFile(ini.c_str()), SETTINGS_LOADED);

    WriteBytes(ini, "1230\r\n" + folder.path() + "\r\n");
    EXPECT_EQ(ReadSettingsFile(ini.c_str()), SETTINGS_UNUSABLE);
    EXPECT_STREQ(mainJob.folder, "");

    WriteBytes(ini, "1230\r\n" + folder.Child("gone"));
    EXPECT_EQ(ReadSettingsFile(ini.c_str()), SETTINGS_UNUSABLE);

    DeleteFileA(ini.c_str());
    EXPECT_EQ(ReadSettingsFile(ini.c_str()), SETTINGS_MISSING);
    EXPECT_TRUE(recordedBoxes.empty());
}

TEST_F(SettingsFileTest, SavedSettingsReadBack)
{
    strcpy(dialogJob.folder, folder.path().c_str());
    dialogJob.displayMode = Tile;
    changeAtStart = 0;
    intervalMinutes = 999;
    ASSERT_EQ(SaveSettings(), 0);

    mainJob = WallpaperJob{};
    changeAtStart = 1;
    intervalMinutes = 0;
    ASSERT_EQ(ReadSettingsFile(ini.c_str()), SETTINGS_LOADED);
    EXPECT_EQ(changeAtStart, 0);
    EXPECT_EQ(mainJob.displayMode, Tile);
    EXPECT_EQ(intervalMinutes, 999u);
    EXPECT_EQ(std::string(mainJob.folder), folder.path());
}

}  // namespace
