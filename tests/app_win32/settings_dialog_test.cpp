// The real settings dialog under Wine, driven by messages inside its modal loop.
#include "app_test_support.h"

#include <shlobj.h>

#include <cstdlib>
#include <cstring>

#include "base/app_state.h"
#include "resources/dialog_ids.h"
#include "settings/preview_pane.h"
#include "settings/settings_dialog.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/wallpaper_job.h"

namespace {

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{ return SendDlgItemMessageA(dialog, id, message, wParam, lParam); }
void Check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

class SettingsDialogTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        appState.appIcon = LoadIconA(nullptr, IDI_APPLICATION), appState.desktopWindow = GetDesktopWindow();
        appState.programPathLength = static_cast<int>(ini.size());
        strcpy(appState.programPath, ini.c_str());
        strcpy(appState.shortcutPath, folder.Child("shortcut.lnk").c_str());
        CreateDirectoryA(pictures.c_str(), nullptr);
        WriteBytes(pictures + "\\b.jpg", ReadBytes(KESTROVA_WALLPAPER_TEST_DATA "/quarters-2080x1568.jpg"));
        WriteBytes(pictures + "\\A.bmp", SolidBmp(40, 10));
        strcpy(mainJob.folder, pictures.c_str()), mainJob.displayMode = Tile;
    }
    bool ShortcutExists() const { return GetFileAttributesA(appState.shortcutPath) != INVALID_FILE_ATTRIBUTES; }
    ScratchFolder folder;
    const std::string ini = folder.Child("kestrova.ini"), pictures = folder.Child("pictures");
};

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

TEST_F(SettingsDialogTest, OpensWithTheSavedSettingsAPictureItsEnablingRulesAndTheFolderEdit)
{
    changeAtStart = 1, intervalMinutes = 30;
    CreateDirectoryA(folder.Child("empty").c_str(), nullptr);
    for (int failed : {0, 1}) {
        appState.settingsFailed = failed;
        RunDialogScript(nullptr, [&](HWND dialog) {
            EXPECT_TRUE(appState.uiFlags == DialogOpen && appState.messageOwner == dialog && pictureJob == &dialogJob);
            char first[MAX_PATH] = "";  // sorted by the list, one previewed with the file's own size (a JPEG held at 1/2)
            Send(dialog, IDC_PICTURE_LIST, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
            EXPECT_EQ(first + std::to_string(Send(dialog, IDC_PICTURE_LIST, LB_GETCOUNT)), "A.bmp2");
            EXPECT_EQ(ControlText(dialog, IDC_PICTURE_SIZE),
                      Send(dialog, IDC_PICTURE_LIST, LB_GETCURSEL) == 0 ? "40 x 10" : "2080 x 1568");
            EXPECT_EQ(ControlText(dialog, IDC_FOLDER) + ControlText(dialog, IDC_MINUTES) + ControlText(dialog, IDC_SCREEN_SIZE),
                      pictures + "30" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
                          std::to_string(GetSystemMetrics(SM_CYSCREEN)));
            EXPECT_TRUE(Send(dialog, IDC_MODE, CB_GETCURSEL) == Tile && Checked(dialog, IDC_CHANGE_AT_START) &&
                        Checked(dialog, IDC_INTERVAL));
            EXPECT_EQ(Checked(dialog, IDC_NOW), !failed);  // after a good file; the occasions wait disabled
            for (int id : {IDC_CHANGE_AT_START, IDC_INTERVAL, IDC_MINUTES}) EXPECT_EQ(Enabled(dialog, id), !!failed) << id;
            if (failed) {  // a fourth character cannot be typed
                SetDlgItemTextA(dialog, IDC_MINUTES, "");
                for (char c : {'1', '2', '3', '4'}) Send(dialog, IDC_MINUTES, WM_CHAR, c, 1);
                EXPECT_EQ(ControlText(dialog, IDC_MINUTES), "123");
            }
            Click(dialog, IDC_NOW);
            EXPECT_EQ(Enabled(dialog, IDC_MINUTES), !failed);
            if (!failed) Click(dialog, IDC_INTERVAL);
            EXPECT_FALSE(Enabled(dialog, IDC_MINUTES));
            EXPECT_EQ(GetWindowLongPtrA(previewPane, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(PreviewPaneProc));
            if (failed) return;
            Send(dialog, IDC_PICTURE_LIST, LB_SETCURSEL, 1);  // the JPEG, whichever the dialog opened on
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PICTURE_LIST, LBN_SELCHANGE), 0);
            EXPECT_EQ(ControlText(dialog, IDC_PICTURE_SIZE), "2080 x 1568");
            const HGLOBAL loaded = pictureBlock;  // the mode redraws the same picture, loading nothing
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
            EXPECT_EQ(dialogJob.folder + std::to_string(Send(dialog, IDC_PICTURE_LIST, LB_GETCOUNT)) +
                          ControlText(dialog, IDC_PICTURE_SIZE), folder.Child("empty") + "0" + size);
            // 参照 puts the chosen folder into the edit, which fills the list.
            browsedFolder = pictures;
            SetTimer(nullptr, 0, 20, PickFolder);
            Click(dialog, IDC_BROWSE);
            EXPECT_EQ(ControlText(dialog, IDC_FOLDER) + std::to_string(Send(dialog, IDC_PICTURE_LIST, LB_GETCOUNT)),
                      pictures + "2");
        });
        EXPECT_TRUE(appState.uiFlags == 0 && appState.messageOwner == nullptr);
    }
}

// Result 0: the dialog stays. Rows from "0": bad minutes and a missing folder keep it with a message, unless
// nothing is timed: then the folder is saved as "." where nothing will look for pictures.
TEST_F(SettingsDialogTest, ConfirmWritesChangesNowOrKeepsTheDialog)
{
    const struct { int button, failed, now, atStart, timed; const char *minutes, *folder; MessageId message;
                   INT_PTR result; const char* file; int changed, shortcut; } rows[] = {
        {IDOK, 0, 0, 1, 1, "7", nullptr, MSG_COUNT, IDOK, "127", 0, 1},
        {IDOK, 0, 0, 0, 0, "7", nullptr, MSG_COUNT, IDOK, "020", 0, 0},
        {IDOK, 0, 1, 1, 1, "7", nullptr, MSG_COUNT, IDCANCEL, nullptr, 1, 0},  // a change now saves nothing
        {IDOK, 1, 1, 1, 1, "7", nullptr, MSG_COUNT, IDCANCEL, "0230", 1, 0},   // unless the file was unusable
        {IDC_APPLY, 0, 0, 1, 0, "", nullptr, MSG_COUNT, 0, "120", 0, 1},
        {IDC_APPLY, 0, 1, 0, 0, "", nullptr, MSG_COUNT, 0, "0230", 1, 0},
        {IDC_APPLY, 1, 0, 0, 1, "0", nullptr, MSG_BAD_INTERVAL, 0, nullptr, 0, 0},
        {IDC_APPLY, 1, 0, 0, 1, "1000", nullptr, MSG_BAD_INTERVAL, 0, nullptr, 0, 0},
        {IDC_APPLY, 1, 0, 0, 1, "1", nullptr, MSG_COUNT, 0, "021", 0, 0},
        {IDC_APPLY, 1, 0, 0, 1, "999", nullptr, MSG_COUNT, 0, "02999", 0, 0},
        {IDC_APPLY, 1, 0, 0, 1, "5", "\\nowhere", MSG_FOLDER_NOT_FOUND, 0, nullptr, 0, 0},
        {IDC_APPLY, 1, 0, 0, 0, "", "\\nowhere", MSG_COUNT, 0, "020", 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.button << r.failed << r.now << r.atStart << r.timed << r.minutes);
        for (const std::string& file : {ini, std::string(appState.shortcutPath), pictures + "\\kestrova.bmp"})
            DeleteFileA(file.c_str());
        recordedBoxes.clear();
        changeAtStart = 0, intervalMinutes = 30, appState.settingsFailed = r.failed;
        RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper", REG_SZ, "", 1);
        EXPECT_EQ(RunDialogScript(nullptr, [&](HWND dialog) {
            Check(dialog, IDC_NOW, r.now), Check(dialog, IDC_CHANGE_AT_START, r.atStart), Check(dialog, IDC_INTERVAL, r.timed);
            SetDlgItemTextA(dialog, IDC_MINUTES, r.minutes);
            if (r.folder) SetDlgItemTextA(dialog, IDC_FOLDER, (pictures + r.folder).c_str());
            Send(dialog, IDC_MODE, CB_SETCURSEL, Stretch);
            Click(dialog, r.button);
            EXPECT_EQ(IsWindowVisible(dialog) != FALSE && (appState.uiFlags & DialogOpen), r.result == 0);
        }), r.result ? r.result : 99);
        EXPECT_EQ(BoxTexts(), Shown(r.message));
        EXPECT_EQ(ReadBytes(ini), r.file ? r.file + ("\r\n" + (r.folder ? "." : pictures)) : "<missing>");
        EXPECT_EQ(ShortcutExists(), r.shortcut != 0);
        EXPECT_EQ(DesktopValue("Wallpaper").compare(0, pictures.size(), pictures) == 0, r.changed != 0);
        // The occasions change only when they were confirmed.
        const bool kept = r.now || r.message != MSG_COUNT;
        EXPECT_TRUE(changeAtStart == (kept ? 0 : r.atStart) &&
                    intervalMinutes == (kept ? 30u : r.timed ? strtoul(r.minutes, nullptr, 10) : 0u));
    }
}

// Made with "auto" and made again over itself; reset then OK clears the occasions and deletes it.
TEST_F(SettingsDialogTest, TheShortcutStartsTheProgramWithAutoUntilReset)
{
    RunDialogScript(nullptr, [](HWND dialog) {
        Click(dialog, IDC_NOW), Click(dialog, IDC_CHANGE_AT_START), Click(dialog, IDC_APPLY), Click(dialog, IDC_APPLY);
    });
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    const std::wstring widePath(appState.shortcutPath, appState.shortcutPath + strlen(appState.shortcutPath));  // ASCII
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, 0, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) &&
                SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) && SUCCEEDED(file->Load(widePath.c_str(), 0)));
    char target[MAX_PATH] = "", arguments[64] = "";
    link->GetPath(target, MAX_PATH, nullptr, 0), link->GetArguments(arguments, sizeof arguments);
    EXPECT_EQ(target + std::string(" ") + arguments, folder.Child("kestrova.exe") + " auto");
    file->Release(), link->Release(), CoUninitialize();
    intervalMinutes = 15;
    EXPECT_EQ(RunDialogScript(nullptr, [](HWND dialog) {
        Click(dialog, IDC_RESET);
        EXPECT_TRUE(Enabled(dialog, IDC_INTERVAL) && !Enabled(dialog, IDC_MINUTES));
        Click(dialog, IDOK);
    }), IDOK);
    EXPECT_TRUE(changeAtStart == 0 && intervalMinutes == 0 && !ShortcutExists());
}

}  // namespace
