// The shell under Wine: start-up, AlertUser's error policy, kestrova.ini on disk, and the resources.
#include "app_test_support.h"

#include <cstring>
#include <utility>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "app/resident_window.h"
#include "app/startup.h"
#include "settings/settings_file.h"
#include "settings/settings_format.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/wallpaper_job.h"

namespace {

TEST_F(ShellTest, CommandLineProgramPathAndShortcutPath)
{
    for (const char* tail : {"auto", "AUTO", "aUtO"}) EXPECT_FALSE(IsManualStart(tail)) << tail;
    for (const char* tail : {"", "auto ", " auto", "autox"}) EXPECT_TRUE(IsManualStart(tail)) << tail;
    // ".exe" + 1: three letters with a dot before them that is not theirs.
    const std::pair<const char*, BOOL> paths[] = {{"C:\\k.exe", TRUE}, {".exe", TRUE}, {"C:\\k.exee", FALSE},
                                                  {"C:\\k.ex", FALSE}, {".exe" + 1, FALSE}, {"", FALSE}};
    for (const auto& [path, three] : paths)
        EXPECT_EQ(HasThreeLetterExtension(path, static_cast<int>(strlen(path))), three) << path;
    // 15 bytes are appended: a 244-byte folder fills the buffer, a longer or empty one leaves it empty.
    for (size_t length : {244, 245, 0}) {
        char path[MAX_PATH];
        BuildShortcutPath(path, std::string(length, 'd').c_str());
        EXPECT_EQ(path, length != 244 ? "" : std::string(244, 'd') + "\\\x83\x7e\x83\x8b\x83\x74\x83\x48\x83\x58.lnk");
    }
}

TEST_F(ShellTest, EachSettingsOutcomeOnEachRoad)
{
    const struct { int outcome; BOOL manual; int result; MessageId message; } rows[] = {
        {SETTINGS_LOADED, TRUE, 0, MSG_COUNT}, {SETTINGS_MISSING, TRUE, 0, MSG_COUNT},  // MSG_COUNT: no box
        {SETTINGS_UNUSABLE, TRUE, 0, MSG_SETTINGS_BROKEN}, {SETTINGS_LOADED, FALSE, 0, MSG_COUNT},
        {SETTINGS_MISSING, FALSE, 1, MSG_SETTINGS_MISSING}, {SETTINGS_UNUSABLE, FALSE, 1, MSG_SETTINGS_BROKEN},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.outcome << r.manual);
        SetUp();
        appState.manualStart = r.manual;
        EXPECT_EQ(ReportSettingsOutcome(r.outcome), r.result);
        EXPECT_EQ(BoxTexts(), Shown(r.message));
        // A start-up message is the first error.
        EXPECT_TRUE(appState.settingsFailed == (r.outcome != SETTINGS_LOADED) &&
                    appState.errorCount == (r.message != MSG_COUNT));
    }
}

TEST_F(ShellTest, AlertUserPolicy)
{
    const struct { unsigned flags; int errorsBefore; const char* shown; int errorsAfter; bool stays; } rows[] = {
        {0, 0, "text|", 1, false}, {0, 1, "", 1, false},
        {AboutOpen, 0, "text|", 1, false},  // the About box is not the settings dialog
        {DialogOpen, 0, "text|", 0, true}, {DialogOpen, 1, "text|", 1, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.flags << r.errorsBefore);
        SetUp();
        // Any window stands for the resident one: WM_CLOSE destroys it.
        appState.residentWindow = appState.messageOwner = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, 0);
        appState.uiFlags = r.flags, appState.errorCount = r.errorsBefore;
        AlertUser("text");
        EXPECT_EQ(BoxTexts(), r.shown);
        for (const RecordedBox& box : recordedBoxes)
            EXPECT_TRUE(box.owner == appState.messageOwner && box.caption == MessageText(MSG_TITLE) && box.type == MB_OK);
        EXPECT_TRUE(appState.errorCount == r.errorsAfter && (IsWindow(appState.residentWindow) != FALSE) == r.stays);
        DestroyWindow(appState.residentWindow);
    }
}

HANDLE heldIni = INVALID_HANDLE_VALUE;

// Case 0 saves over a longer old file, with "exe" left at the end of the path by a shortcut made just
// before, and case 4 at the longest path the system takes; the others fail and leave the old file as it was.
TEST_F(ShellTest, SaveReplacesTheIniWholeOrLeavesItAsItWas)
{
    void (*const cases[])(const std::string& ini) = {
        [](const std::string&) { SetFileExtension(appState.programPath, appState.programPathLength, "exe"); },
        [](const std::string& ini) { SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY); },
        [](const std::string& ini) {  // held open by another program: it cannot be replaced
            heldIni = CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        },
        [](const std::string& ini) { strcpy(appState.programPath, (ini + "\\gone\\kestrova.ini").c_str()); },
        [](const std::string&) {},
    };
    for (size_t i = 0; i < 5; i++) {
        SCOPED_TRACE(i);
        SetUp();
        ScratchFolder folder;
        const std::string ini = (i == 4 ? DeepFolder(folder, 259) : folder.path()) + "\\kestrova.ini";
        WriteBytes(ini, "000\r\n" + std::string(300, 'o'));
        strcpy(appState.programPath, ini.c_str());
        appState.programPathLength = static_cast<int>(ini.size());
        cases[i](ini);
        appState.programPathLength = static_cast<int>(strlen(appState.programPath));
        const std::string before = ReadBytes(ini) + std::to_string(GetFileAttributesA(ini.c_str()));
        changeAtStart = 1, intervalMinutes = 30;
        strcpy(dialogJob.folder, folder.path().c_str());
        dialogJob.displayMode = Stretch;
        const bool saved = i == 0 || i == 4;
        EXPECT_EQ(SaveSettings(), saved ? 0 : 1);
        EXPECT_EQ(BoxTexts(), saved ? "" : Shown(MSG_SETTINGS_NOT_SAVED));
        EXPECT_EQ(ReadBytes(ini) + (saved ? "" : std::to_string(GetFileAttributesA(ini.c_str()))),
                  saved ? "1230\r\n" + folder.path() : before);
        EXPECT_EQ(ReadBytes(ini.substr(0, ini.size() - 1) + "~"), "<missing>");
        // In memory the new values count, whatever became of the file.
        EXPECT_EQ(mainJob.folder + std::to_string(mainJob.displayMode), folder.path() + "2");
        CloseHandle(std::exchange(heldIni, INVALID_HANDLE_VALUE));
    }
}

// A second start finds the running copy by its box's caption or its window's class.
TEST_F(ShellTest, ASecondStartAsksTheResidentCopyForItsSettings)
{
    const WNDCLASSA windowClass{0, DefWindowProcA, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, kResidentClassName};
    RegisterClassA(&windowClass);
    const struct { const char* label; bool box, resident, asked; } rows[] = {
        {"resident copy", false, true, true}, {"its message box is up instead", true, true, false},
        {"nothing running", false, false, false}};
    for (const auto& r : rows) {
        HWND box = r.box ? CreateWindowA("STATIC", MessageText(MSG_TITLE), WS_POPUP, 0, 0, 1, 1, 0, 0, 0, 0) : nullptr;
        HWND resident = r.resident ? CreateWindowA(kResidentClassName, "", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, 0) : nullptr;
        HandOverToRunningCopy();
        MSG message;
        EXPECT_EQ(PeekMessageA(&message, resident, WM_COMMAND, WM_COMMAND, PM_REMOVE) && message.hwnd == resident &&
                      message.wParam == IDM_SETTINGS, r.asked) << r.label;
        DestroyWindow(box), DestroyWindow(resident);
    }
    UnregisterClassA(kResidentClassName, nullptr);
}

std::string Resource(LPCSTR name, LPCSTR type)
{
    HRSRC found = FindResourceA(nullptr, name, type);
    return found ? std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                               SizeofResource(nullptr, found)) : "";
}

TEST(Resources, IconManifestAndTheAboutText)
{
    // One image, 32 x 32, 16 colours, 4 bits per pixel.
    EXPECT_EQ(Resource("ICON", MAKEINTRESOURCEA(14)).substr(4, 10), std::string("\1\0\x20\x20\x10\0\1\0\4\0", 10));
    // DPI-aware, so that the screen size is in real pixels; the common controls of the system's own look.
    const std::string manifest = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    for (const char* part : {">true</dpiAware>", ">system</dpiAwareness>", "\"Microsoft.Windows.Common-Controls\""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    // Code page 932 bytes: the ideographic space is 81 40, and the box shows two line breaks.
    EXPECT_EQ(std::string(MessageText(MSG_ABOUT)).substr(0, 18), "\x83\x7e\x83\x8b\x83\x74\x83\x48\x83\x58\x81\x40V1.2\n\n");
}

}  // namespace
