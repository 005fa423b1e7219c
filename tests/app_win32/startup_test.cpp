// The start-up: which road a command line takes, the checks on the program's
// own path, the Startup shortcut's path, what each settings outcome shows on
// each road, the hand-over to a running copy, and a whole InitInstance.
#include "app_test_support.h"

#include <shlobj.h>

#include <cstring>

#include "app/app_state.h"
#include "app/resident_window.h"
#include "app/startup.h"
#include "resources/messages.h"
#include "settings/settings_format.h"
#include "settings/wallpaper_settings.h"
#include "wallpaper/wallpaper_job.h"

namespace {

class StartupTest : public ShellTest {};

TEST_F(StartupTest, OnlyTheWholeWordAutoIsTheAutomaticRoad)
{
    EXPECT_FALSE(IsManualStart("auto"));
    EXPECT_FALSE(IsManualStart("AUTO"));
    EXPECT_FALSE(IsManualStart("aUtO"));
    EXPECT_TRUE(IsManualStart(""));
    EXPECT_TRUE(IsManualStart(nullptr));
    EXPECT_TRUE(IsManualStart("auto "));
    EXPECT_TRUE(IsManualStart("auto x"));
    EXPECT_TRUE(IsManualStart(" auto"));
    EXPECT_TRUE(IsManualStart("aut"));
    EXPECT_TRUE(IsManualStart("autox"));
}

TEST_F(StartupTest, ExtensionTestIsPositional)
{
    auto accepted = [](const char* path) {
        return HasThreeLetterExtension(path, static_cast<int>(strlen(path))) != FALSE;
    };
    EXPECT_TRUE(accepted("C:\\Tools\\kestrova.exe"));
    EXPECT_TRUE(accepted("C:\\Tools\\other.com"));
    EXPECT_TRUE(accepted(".exe"));
    EXPECT_FALSE(accepted("C:\\Tools\\kestrova.exee"));
    EXPECT_FALSE(accepted("C:\\Tools\\kestrova"));
    EXPECT_FALSE(accepted("C:\\Tools\\kestrova.ex"));
    // Too short to hold a dot and three characters: refused, not read before the text.
    EXPECT_FALSE(accepted("exe"));
    EXPECT_FALSE(accepted(""));
}

TEST_F(StartupTest, ShortcutPathIsTheStartupFolderAndTheTitle)
{
    char path[MAX_PATH];
    BuildShortcutPath(path, "C:\\Startup");
    EXPECT_STREQ(path, "C:\\Startup\\\x83\x7e\x83\x8b\x83\x74\x83\x48\x83\x58.lnk");

    // An unknown folder leaves the path empty rather than naming a file in
    // the current directory.
    memset(path, 'x', sizeof path);
    BuildShortcutPath(path, "");
    EXPECT_STREQ(path, "");

    // 15 bytes are appended: a 244-byte folder fills the buffer exactly, a
    // longer one cannot be used.
    std::string folder(244, 'd');
    BuildShortcutPath(path, folder.c_str());
    EXPECT_EQ(strlen(path), 259u);
    folder += 'd';
    BuildShortcutPath(path, folder.c_str());
    EXPECT_STREQ(path, "");
}

TEST_F(StartupTest, EachSettingsOutcomeOnEachRoad)
{
    const struct {
        const char* row;
        int outcome;
        BOOL manual;
        int result;
        const char* message;  // nullptr: no box
    } rows[] = {
        {"manual, loaded", SETTINGS_LOADED, TRUE, 0, nullptr},
        {"manual, missing", SETTINGS_MISSING, TRUE, 0, nullptr},
        {"manual, unusable", SETTINGS_UNUSABLE, TRUE, 0, MessageText(MSG_SETTINGS_BROKEN)},
        {"automatic, loaded", SETTINGS_LOADED, FALSE, 0, nullptr},
        {"automatic, missing", SETTINGS_MISSING, FALSE, 1, MessageText(MSG_SETTINGS_MISSING)},
        {"automatic, unusable", SETTINGS_UNUSABLE, FALSE, 1, MessageText(MSG_SETTINGS_BROKEN)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        SetUp();
        appState.manualStart = r.manual;
        EXPECT_EQ(ReportSettingsOutcome(r.outcome), r.result);
        EXPECT_EQ(appState.settingsFailed, r.outcome == SETTINGS_LOADED ? 0 : 1);
        if (r.message == nullptr) {
            EXPECT_TRUE(recordedBoxes.empty());
            EXPECT_EQ(appState.errorCount, 0);
        } else {
            ASSERT_EQ(recordedBoxes.size(), 1u);
            EXPECT_EQ(recordedBoxes[0].text, r.message);
            EXPECT_EQ(recordedBoxes[0].owner, nullptr);
            // A start-up message is the run's first error.
            EXPECT_EQ(appState.errorCount, 1);
        }
    }
}

TEST_F(StartupTest, HandOverPrefersAShownBoxThenTheResidentWindow)
{
    {
        // Only the resident window: it is asked to open the settings.
        ProbeWindow resident(kResidentClassName);
        HandOverToRunningCopy();
        ProbeWindow::PumpMessages();
        ASSERT_EQ(resident.commands.size(), 1u);
        EXPECT_EQ(resident.commands[0], static_cast<WPARAM>(IDM_SETTINGS));

        // A box of the running copy (captioned with the title) is brought to
        // the front instead; the resident window is left alone.
        resident.commands.clear();
        ProbeWindow box("HandOverTestBox", MessageText(MSG_TITLE));
        HandOverToRunningCopy();
        ProbeWindow::PumpMessages();
        EXPECT_TRUE(resident.commands.empty());
    }
    // Neither: a beep, and nothing breaks.
    HandOverToRunningCopy();
    ProbeWindow::PumpMessages();
    EXPECT_TRUE(recordedBoxes.empty());
}

// The test program is the program here: its own path, with "ini", is the
// settings file, and the mutex is this process's.
TEST_F(StartupTest, WholeStartUpThenASecondStartHandsOver)
{
    char exePath[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exePath, MAX_PATH);
    std::string iniPath = exePath;
    iniPath.replace(iniPath.size() - 3, 3, "ini");
    ScratchFolder pictures;
    WriteBytes(iniPath, "1230\r\n" + pictures.path());

    appState.instance = GetModuleHandleA(nullptr);
    appState.manualStart = FALSE;
    HDC screen = GetDC(nullptr);
    int bitsPerPixel = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);

    int result = InitInstance();
    DeleteFileA(iniPath.c_str());

    EXPECT_EQ(appState.programPathLength, static_cast<int>(strlen(exePath)));
    EXPECT_EQ(std::string(appState.programPath), iniPath);
    EXPECT_EQ(appState.desktopWindow, GetDesktopWindow());
    if (bitsPerPixel < 24) {
        EXPECT_EQ(result, 1);
        ASSERT_EQ(recordedBoxes.size(), 1u);
        EXPECT_EQ(recordedBoxes[0].text, MessageText(MSG_COLOUR_DEPTH));
    } else {
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(recordedBoxes.empty());
        EXPECT_NE(appState.appIcon, nullptr);
        EXPECT_EQ(changeAtStart, 1);
        EXPECT_EQ(mainJob.displayMode, Stretch);
        EXPECT_EQ(intervalMinutes, 30u);
        EXPECT_EQ(std::string(mainJob.folder), pictures.path());
        EXPECT_EQ(appState.settingsFailed, 0);
    }
    // The user's Startup folder exists here, so the shortcut's path is known.
    char startup[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, startup, CSIDL_STARTUP, FALSE));
    EXPECT_EQ(std::string(appState.shortcutPath),
              std::string(startup) + "\\\x83\x7e\x83\x8b\x83\x74\x83\x48\x83\x58.lnk");

    // The mutex is still held: a second start ends at once, silently, and
    // asks the resident window to open the settings.
    ProbeWindow resident(kResidentClassName);
    recordedBoxes.clear();
    EXPECT_EQ(InitInstance(), 1);
    ProbeWindow::PumpMessages();
    EXPECT_TRUE(recordedBoxes.empty());
    ASSERT_EQ(resident.commands.size(), 1u);
    EXPECT_EQ(resident.commands[0], static_cast<WPARAM>(IDM_SETTINGS));
}

}  // namespace
