// The real settings dialog under Wine, driven through messages inside its own
// modal loop: what it shows, what confirming writes, and its messages.
#include "app_test_support.h"

#include <shlobj.h>

#include <cstring>

#include "base/app_state.h"
#include "resources/dialog_ids.h"
#include "base/messages.h"
#include "settings/preview_pane.h"
#include "settings/settings_format.h"
#include "settings/settings_dialog.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/wallpaper_job.h"

namespace {

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}

class SettingsDialogTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        appState.desktopWindow = GetDesktopWindow();
        appState.appIcon = LoadIconA(nullptr, IDI_APPLICATION);
        ini = folder.Child("kestrova.ini");
        strcpy(appState.programPath, ini.c_str());
        appState.programPathLength = static_cast<int>(ini.size());
        CreateDirectoryA(folder.Child("Startup").c_str(), nullptr);
        strcpy(appState.shortcutPath, folder.Child("Startup\\shortcut.lnk").c_str());
        pictures = folder.Child("pictures");
        CreateDirectoryA(pictures.c_str(), nullptr);
        WriteBytes(pictures + "\\b.bmp", SolidBmp(30, 20));
        WriteBytes(pictures + "\\A.bmp", SolidBmp(40, 10));
        strcpy(mainJob.folder, pictures.c_str());
        mainJob.displayMode = Tile;
    }
    bool ShortcutExists() const { return GetFileAttributesA(appState.shortcutPath) != INVALID_FILE_ATTRIBUTES; }
    ScratchFolder folder;
    std::string ini, pictures;
};

TEST_F(SettingsDialogTest, OpensWithTheSavedSettingsAPictureAndItsEnablingRules)
{
    intervalMinutes = 30;
    changeAtStart = 1;
    for (int failed : {0, 1}) {
        appState.settingsFailed = failed;
        RunDialogScript(nullptr, [&](HWND dialog) {
            EXPECT_TRUE(appState.uiFlags == DialogOpen && appState.messageOwner == dialog);
            EXPECT_EQ(ControlText(dialog, IDC_FOLDER), pictures);
            // Sorted by the list, one of them previewed with its size.
            ASSERT_EQ(Send(dialog, IDC_PICTURE_LIST, LB_GETCOUNT), 2);
            char first[MAX_PATH];
            Send(dialog, IDC_PICTURE_LIST, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
            EXPECT_STREQ(first, "A.bmp");
            const LRESULT selected = Send(dialog, IDC_PICTURE_LIST, LB_GETCURSEL);
            EXPECT_EQ(ControlText(dialog, IDC_PICTURE_SIZE), selected == 0 ? "40 x 10" : "30 x 20");
            EXPECT_EQ(pictureJob, &dialogJob);
            EXPECT_EQ(ControlText(dialog, IDC_SCREEN_SIZE), std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
                                                                std::to_string(GetSystemMetrics(SM_CYSCREEN)));
            EXPECT_TRUE(Send(dialog, IDC_MODE, CB_GETCURSEL) == Tile && ControlText(dialog, IDC_MINUTES) == "30");
            EXPECT_TRUE(Checked(dialog, IDC_CHANGE_AT_START) && Checked(dialog, IDC_INTERVAL));
            // After a good file the change now is checked and the occasions wait disabled.
            EXPECT_EQ(Checked(dialog, IDC_NOW), !failed);
            for (int id : {IDC_CHANGE_AT_START, IDC_INTERVAL, IDC_MINUTES}) EXPECT_EQ(Enabled(dialog, id), !!failed) << id;
            Click(dialog, IDC_NOW);
            EXPECT_EQ(Enabled(dialog, IDC_MINUTES), !failed);
            if (!failed) {
                Click(dialog, IDC_INTERVAL);
                EXPECT_FALSE(Enabled(dialog, IDC_MINUTES));
            }
            EXPECT_EQ(GetWindowLongPtrA(previewPane, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(PreviewPaneProc));
        });
        EXPECT_TRUE(appState.uiFlags == 0 && appState.messageOwner == nullptr);
        EXPECT_NE(GetWindowLongPtrA(previewPane, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(PreviewPaneProc));
    }
}

TEST_F(SettingsDialogTest, ConfirmWritesChangesNowOrKeepsTheDialog)
{
    intervalMinutes = 30;
    // result 0: the dialog stays.
    const struct { int button, failed; bool now, atStart, timed; const char* minutes; INT_PTR result;
                   const char* file; bool changed, shortcut; } rows[] = {
        {IDOK, 0, false, true, true, "7", IDOK, "127", false, true},
        {IDOK, 0, false, false, false, "7", IDOK, "020", false, false},
        {IDOK, 0, true, true, true, "7", IDCANCEL, nullptr, true, false},  // a change now saves nothing
        {IDOK, 1, true, true, true, "7", IDCANCEL, "0230", true, false},   // unless the file was unusable
        {IDC_APPLY, 0, false, true, false, "", 0, "120", false, true},
        {IDC_APPLY, 0, true, false, false, "", 0, "0230", true, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.button << r.failed << r.now << r.atStart << r.timed);
        DeleteFileA(ini.c_str());
        DeleteFileA(appState.shortcutPath);
        DeleteFileA((pictures + "\\kestrova.bmp").c_str());
        changeAtStart = 0;
        intervalMinutes = 30;
        appState.settingsFailed = r.failed;
        RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper", REG_SZ, "", 1);
        const INT_PTR result = RunDialogScript(nullptr, [&](HWND dialog) {
            CheckDlgButton(dialog, IDC_NOW, r.now ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, IDC_CHANGE_AT_START, r.atStart ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, IDC_INTERVAL, r.timed ? BST_CHECKED : BST_UNCHECKED);
            SetDlgItemTextA(dialog, IDC_MINUTES, r.minutes);
            SendMessageA(GetDlgItem(dialog, IDC_MODE), CB_SETCURSEL, Stretch, 0);
            Click(dialog, r.button);
            EXPECT_EQ(IsWindowVisible(dialog) != FALSE && (appState.uiFlags & DialogOpen), r.result == 0);
        });
        EXPECT_EQ(result, r.result ? r.result : 99);
        EXPECT_EQ(BoxTexts(), "");
        EXPECT_EQ(ReadBytes(ini), r.file ? r.file + ("\r\n" + pictures) : "<missing>");
        EXPECT_EQ(ShortcutExists(), r.shortcut);
        EXPECT_EQ(DesktopValue("Wallpaper").compare(0, pictures.size(), pictures) == 0, r.changed);
        // The occasions change only when they were confirmed.
        EXPECT_EQ(changeAtStart, r.now ? 0 : r.atStart);
        EXPECT_EQ(intervalMinutes, r.now ? 30u : r.timed ? 7u : 0u);
    }
}

TEST_F(SettingsDialogTest, BadMinutesAndAMissingFolderKeepTheDialogOpen)
{
    appState.settingsFailed = 1;
    const struct { const char* minutes; bool timed; const char* folder; MessageId message; } rows[] = {
        {"0", true, nullptr, MSG_BAD_INTERVAL}, {"1000", true, nullptr, MSG_BAD_INTERVAL}, {"1", true, nullptr, MSG_COUNT},
        {"999", true, nullptr, MSG_COUNT}, {"5", true, "\\nowhere", MSG_FOLDER_NOT_FOUND},
        {"", false, "\\nowhere", MSG_COUNT}};  // nothing to change: the folder is saved as "."
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.minutes << r.timed << (r.folder ? r.folder : ""));
        recordedBoxes.clear();
        DeleteFileA(ini.c_str());
        intervalMinutes = 0;
        HWND owner = nullptr;
        RunDialogScript(nullptr, [&](HWND dialog) {
            owner = dialog;
            if (r.folder) SetDlgItemTextA(dialog, IDC_FOLDER, (pictures + r.folder).c_str());
            CheckDlgButton(dialog, IDC_INTERVAL, r.timed ? BST_CHECKED : BST_UNCHECKED);
            SetDlgItemTextA(dialog, IDC_MINUTES, r.minutes);
            Click(dialog, IDC_APPLY);
        });
        EXPECT_EQ(BoxTexts(), Shown(r.message));
        if (r.message != MSG_COUNT) {
            EXPECT_TRUE(intervalMinutes == 0 && ReadBytes(ini) == "<missing>");
            EXPECT_EQ(recordedBoxes[0].owner, owner);
        } else {
            EXPECT_EQ(std::to_string(intervalMinutes) + " " + mainJob.folder,
                      (r.minutes[0] ? r.minutes : "0") + std::string(" ") + (r.folder ? "." : pictures));
        }
    }
    // A fourth character cannot be typed.
    RunDialogScript(nullptr, [](HWND dialog) {
        Click(dialog, IDC_INTERVAL);
        for (char c : {'1', '2', '3', '4'}) Send(dialog, IDC_MINUTES, WM_CHAR, c, 1);
        EXPECT_EQ(ControlText(dialog, IDC_MINUTES), "123");
    });
}

// Runs inside the folder browser's modal loop: picks the folder the test names and confirms.
std::string browsedFolder;
void CALLBACK PickFolder(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND browser = GetLastActivePopup(appState.messageOwner);
    if (browser == appState.messageOwner) return;  // not up yet
    KillTimer(nullptr, id);
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(browsedFolder.c_str()));
    PostMessageA(browser, WM_COMMAND, IDOK, 0);
}

TEST_F(SettingsDialogTest, FolderEditRefillsTheListOnlyForADirectory)
{
    CreateDirectoryA(folder.Child("empty").c_str(), nullptr);
    RunDialogScript(nullptr, [&](HWND dialog) {
        // The mode redraws the same picture: nothing is loaded again.
        const HGLOBAL loaded = pictureBlock;
        Send(dialog, IDC_MODE, CB_SETCURSEL, Stretch);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_MODE, CBN_SELCHANGE), 0);
        EXPECT_TRUE(pictureBlock == loaded && dialogJob.displayMode == Stretch);
        const std::string size = ControlText(dialog, IDC_PICTURE_SIZE);
        // Nothing by that name, or a plain file: the list stays.
        for (const std::string& text : {pictures + "\\A", pictures + "\\A.bmp", std::string("")}) {
            SetDlgItemTextA(dialog, IDC_FOLDER, text.c_str());
            EXPECT_EQ(Send(dialog, IDC_PICTURE_LIST, LB_GETCOUNT), 2) << text;
        }
        // A folder without pictures empties it; the preview keeps its picture.
        SetDlgItemTextA(dialog, IDC_FOLDER, folder.Child("empty").c_str());
        PumpMessages();
        EXPECT_EQ(Send(dialog, IDC_PICTURE_LIST, LB_GETCOUNT), 0);
        EXPECT_EQ(ControlText(dialog, IDC_PICTURE_SIZE), size);
        EXPECT_STREQ(dialogJob.folder, folder.Child("empty").c_str());
        // 参照 puts the chosen folder into the edit, which fills the list.
        browsedFolder = pictures;
        SetTimer(nullptr, 0, 20, PickFolder);
        Click(dialog, IDC_BROWSE);
        EXPECT_EQ(ControlText(dialog, IDC_FOLDER), pictures);
        EXPECT_EQ(Send(dialog, IDC_PICTURE_LIST, LB_GETCOUNT), 2);
    });
}

TEST_F(SettingsDialogTest, ResetThenOkClearsTheOccasionsAndTheShortcut)
{
    WriteBytes(appState.shortcutPath, "link");
    changeAtStart = 1;
    intervalMinutes = 15;
    EXPECT_EQ(RunDialogScript(nullptr, [](HWND dialog) {
        Click(dialog, IDC_RESET);
        EXPECT_TRUE(Enabled(dialog, IDC_INTERVAL) && !Enabled(dialog, IDC_MINUTES));
        Click(dialog, IDOK);
    }), IDOK);
    EXPECT_TRUE(changeAtStart == 0 && intervalMinutes == 0 && !ShortcutExists());
}

TEST_F(SettingsDialogTest, TheShortcutStartsTheProgramWithAuto)
{
    SetFileExtension(appState.programPath, appState.programPathLength, "ini");
    RunDialogScript(nullptr, [](HWND dialog) {
        Click(dialog, IDC_NOW);
        Click(dialog, IDC_CHANGE_AT_START);
        Click(dialog, IDC_APPLY);
        Click(dialog, IDC_APPLY);  // made again over the first
    });
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, appState.shortcutPath, -1, widePath, MAX_PATH);
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, 0, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) &&
                SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) && SUCCEEDED(file->Load(widePath, 0)));
    char target[MAX_PATH] = "", arguments[64] = "";
    link->GetPath(target, MAX_PATH, nullptr, 0);
    link->GetArguments(arguments, sizeof arguments);
    EXPECT_EQ(target + std::string(" ") + arguments, folder.Child("kestrova.exe") + " auto");
    file->Release();
    link->Release();
    CoUninitialize();
}

}  // namespace
