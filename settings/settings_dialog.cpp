// The settings dialog: a working copy of the folder and mode in dialogJob,
// the picture list with its preview, and the confirm that saves, makes or
// deletes the Startup shortcut, or changes the wallpaper at once.
#include "settings/settings_dialog.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "resources/dialog_ids.h"
#include "base/messages.h"
#include "settings/preview_pane.h"
#include "settings/settings_file.h"
#include "settings/settings_format.h"
#include "settings/startup_shortcut.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_names.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper/pipeline_steps.h"

unsigned pictureCount;
int (WINAPI* questionBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type) = MessageBoxA;

namespace {

HWND modeComboBox;
HWND minutesEdit;

// The list's own selection change and the combo box's, as they arrive in wParam.
constexpr WPARAM kListSelectionChanged = MAKEWPARAM(IDC_PICTURE_LIST, LBN_SELCHANGE);
constexpr WPARAM kModeSelectionChanged = MAKEWPARAM(IDC_MODE, CBN_SELCHANGE);

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

bool AnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

// Everything the dialog changed in the process-wide state goes back, on every
// way out: the buttons, or the resident window closing and taking the dialog along.
void ForgetDialog()
{
    if (!(appState.uiFlags & DialogOpen)) return;
    if (previewDefaultProc != nullptr)
        SetWindowLongPtrA(previewPane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previewDefaultProc));
    previewDefaultProc = nullptr;
    appState.messageOwner = appState.residentWindow;
    appState.uiFlags &= ~static_cast<unsigned>(DialogOpen);
}

void EndSettingsDialog(HWND dialog, INT_PTR result)
{
    ForgetDialog();
    EndDialog(dialog, result);
}

void OnInitDialog(HWND dialog)
{
    appState.uiFlags |= DialogOpen;
    appState.messageOwner = dialog;
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appState.appIcon));
    SetWindowTextA(dialog, MessageText(MSG_DIALOG_CAPTION));
    pictureListBox = GetDlgItem(dialog, IDC_PICTURE_LIST);
    previewPane = GetDlgItem(dialog, IDC_PREVIEW);
    modeComboBox = GetDlgItem(dialog, IDC_MODE);
    minutesEdit = GetDlgItem(dialog, IDC_MINUTES);
    FitPreviewPane();

    // Setting the text fills the list through the edit's change notification.
    memcpy(dialogJob.folder, mainJob.folder, sizeof dialogJob.folder);
    SetDlgItemTextA(dialog, IDC_FOLDER, dialogJob.folder);

    for (const DisplayModeRow& row : displayModeTable)
        SendMessageA(modeComboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.comboText));
    SendMessageA(modeComboBox, CB_SETCURSEL, static_cast<WPARAM>(mainJob.displayMode), 0);
    CheckDlgButton(dialog, IDC_CHANGE_AT_START, changeAtStart ? BST_CHECKED : BST_UNCHECKED);
    if (intervalMinutes != 0) {
        CheckDlgButton(dialog, IDC_INTERVAL, BST_CHECKED);
        SetDlgItemInt(dialog, IDC_MINUTES, intervalMinutes, FALSE);
    }
    // After a good settings file the usual wish is a change now.
    CheckDlgButton(dialog, IDC_NOW, appState.settingsFailed ? BST_UNCHECKED : BST_CHECKED);
    // The enabling rules run once the dialog is up, after the list's posted selection.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_NOW, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_NOW)));
    SendMessageA(minutesEdit, EM_LIMITTEXT, 3, 0);

    previewDefaultProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(previewPane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviewPaneProc)));
    SetFocus(pictureListBox);
}

// The screen size is shown afresh at every repaint, so it follows a change of display.
void OnPaint(HWND dialog)
{
    char text[32];
    snprintf(text, sizeof text, "%d x %d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    SetDlgItemTextA(dialog, IDC_SCREEN_SIZE, text);
    InvalidateRect(GetDlgItem(dialog, IDC_SCREEN_SIZE), nullptr, TRUE);
}

// From the tray with an interval set, cancelling can also mean stopping the
// resident program; the file keeps its interval.
void OnCancel(HWND dialog)
{
    if (appState.residentWindow != nullptr && intervalMinutes != 0) {
        if (questionBox(dialog, MessageText(MSG_STOP_QUESTION), MessageText(MSG_TITLE), MB_YESNO) != IDYES)
            return;
        intervalMinutes = 0;
    }
    EndSettingsDialog(dialog, IDCANCEL);
}

// ReadMe.htm beside the executable, whatever the executable is called.
void OpenHelp(HWND dialog)
{
    const int folderLength = FolderPartLength(appState.programPath, AnsiLeadByte);
    if (snprintf(tempPath, sizeof tempPath, "%.*sReadMe.htm", folderLength, appState.programPath) >=
        static_cast<int>(sizeof tempPath))
        return;  // the name does not fit beside a folder this long
    // The handler of .htm files may be a COM object.
    const HRESULT started = CoInitialize(nullptr);
    ShellExecuteA(dialog, "open", tempPath, nullptr, nullptr, SW_SHOW);
    if (SUCCEEDED(started)) CoUninitialize();
}

void OnBrowse(HWND dialog)
{
    if (BrowseForFolder(dialog, dialogJob.folder, currentPicturePath, MAX_PATH, "") == 1)
        SetDlgItemTextA(dialog, IDC_FOLDER, currentPicturePath);
}

// Each text that names a directory refills the list; anything else leaves it.
void OnFolderChanged(HWND dialog)
{
    GetDlgItemTextA(dialog, IDC_FOLDER, currentPicturePath, MAX_PATH);
    const DWORD attributes = GetFileAttributesA(currentPicturePath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    memcpy(dialogJob.folder, currentPicturePath, sizeof dialogJob.folder);
    pictureCount = static_cast<unsigned>(ScanPictureFolder(dialog, -1, dialogJob.folder));
}

void ResetChanges(HWND dialog)
{
    CheckDlgButton(dialog, IDC_CHANGE_AT_START, BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_INTERVAL, BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_NOW, BST_UNCHECKED);
    SetWindowTextA(minutesEdit, "");
}

void ApplyEnablingRules(HWND dialog, bool now, bool timed)
{
    EnableWindow(GetDlgItem(dialog, IDC_CHANGE_AT_START), !now);
    EnableWindow(GetDlgItem(dialog, IDC_INTERVAL), !now);
    EnableWindow(minutesEdit, !now && timed);
}

// The selected entry's path in currentPicturePath; false when nothing is selected.
bool BuildSelectedPicturePath(unsigned selection)
{
    if (selection >= pictureCount) return false;
    const LRESULT length = SendMessageA(pictureListBox, LB_GETTEXTLEN, selection, 0);
    if (length < 0 || length >= static_cast<LRESULT>(sizeof findData.cFileName)) return false;
    SendMessageA(pictureListBox, LB_GETTEXT, selection, reinterpret_cast<LPARAM>(findData.cFileName));
    JoinPath(currentPicturePath, dialogJob.folder, findData.cFileName);
    return true;
}

// A picture shown in the pane with its size. The load counts as pipeline work,
// so a paint dispatched by its message box finds the pane busy.
void PreviewSelectedPicture(HWND dialog)
{
    if (pipelineBusy) return;
    pipelineBusy = 1;
    const int loaded = LoadPicture(&dialogJob);
    pipelineBusy = 0;
    if (loaded != 0) return;  // its message has been shown
    GlobalUnlock(pictureBlock);
    char text[32];
    snprintf(text, sizeof text, "%d x %d", static_cast<int>(dialogJob.sourceWidth),
             static_cast<int>(dialogJob.sourceHeight));
    SetDlgItemTextA(dialog, IDC_PICTURE_SIZE, text);
    InvalidateRect(previewPane, nullptr, TRUE);
}

// The minutes from the edit, or 0 after the message; 0 too when the change is off.
bool ReadMinutes(bool timed, uint32_t* minutes)
{
    *minutes = 0;
    if (!timed) return true;
    char text[16] = "";
    GetWindowTextA(minutesEdit, text, sizeof text);
    *minutes = ParseDialogMinutes(text);
    if (*minutes >= 1 && *minutes <= 999) return true;
    AlertUser(MessageText(MSG_BAD_INTERVAL));
    return false;
}

// OK or 適用: change now, or take the occasions of change; then save.
void OnConfirm(HWND dialog, int id, bool atStart, bool timed, bool now, bool pictureSelected)
{
    GetDlgItemTextA(dialog, IDC_FOLDER, dialogJob.folder, kPathBufferSize - 1);
    if (GetFileAttributesA(dialogJob.folder) == INVALID_FILE_ATTRIBUTES) {
        if (now || timed || atStart) {
            AlertUser(MessageText(MSG_FOLDER_NOT_FOUND));
            return;
        }
        strcpy(dialogJob.folder, ".");  // nothing will look for pictures there
    }

    if (now) {
        if (pictureSelected) ChangeWallpaper(&dialogJob);
        // A change now leaves the occasions as they were; only a start without
        // a usable file needs one written.
        if (id == IDOK && !appState.settingsFailed) {
            EndSettingsDialog(dialog, IDCANCEL);
            return;
        }
    } else {
        uint32_t minutes;
        if (!ReadMinutes(timed, &minutes)) return;
        if (atStart)
            CreateStartupShortcut();
        else
            DeleteStartupShortcut();
        changeAtStart = atStart ? 1 : 0;
        intervalMinutes = minutes;
    }

    if (SaveSettings() != 0) return;  // its message has been shown; the dialog stays
    if (id == IDOK) EndSettingsDialog(dialog, now ? IDCANCEL : IDOK);
}

// The list, the combo box, the check boxes, the minutes, OK and 適用.
void OnControl(HWND dialog, int id, WPARAM wParam)
{
    const bool atStart = IsChecked(dialog, IDC_CHANGE_AT_START);
    const bool timed = IsChecked(dialog, IDC_INTERVAL);
    const bool now = IsChecked(dialog, IDC_NOW);
    const LRESULT mode = SendMessageA(modeComboBox, CB_GETCURSEL, 0, 0);
    dialogJob.displayMode = (mode >= 0 && mode <= 2) ? static_cast<int32_t>(mode) : Center;

    if (id == IDC_NOW) {
        ApplyEnablingRules(dialog, now, timed);
        return;
    }
    if (id == IDC_INTERVAL) {
        EnableWindow(minutesEdit, timed);
        return;
    }
    const unsigned selection = static_cast<unsigned>(SendMessageA(pictureListBox, LB_GETCURSEL, 0, 0));
    const bool pictureSelected = BuildSelectedPicturePath(selection);
    if (pictureSelected && wParam == kListSelectionChanged) {
        PreviewSelectedPicture(dialog);
        return;
    }
    if (pictureSelected && wParam == kModeSelectionChanged) {
        InvalidateRect(previewPane, nullptr, TRUE);  // the same picture in the new mode
        return;
    }
    if (id == IDOK || id == IDC_APPLY) OnConfirm(dialog, id, atStart, timed, now, pictureSelected);
}

void OnCommand(HWND dialog, WPARAM wParam)
{
    const int id = LOWORD(wParam);
    switch (id) {
    case IDCANCEL: OnCancel(dialog); return;
    case IDC_HELP: OpenHelp(dialog); return;
    case IDC_BROWSE: OnBrowse(dialog); return;
    case IDC_FOLDER:
        if (HIWORD(wParam) == EN_CHANGE) OnFolderChanged(dialog);
        return;
    case IDC_RESET:
        ResetChanges(dialog);
        OnControl(dialog, IDC_NOW, wParam);
        return;
    default: OnControl(dialog, id, wParam); return;
    }
}

}  // namespace

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog); return FALSE;
    case WM_PAINT: OnPaint(dialog); return FALSE;
    case WM_COMMAND: OnCommand(dialog, wParam); return FALSE;
    case WM_DESTROY: ForgetDialog(); return FALSE;
    default: return FALSE;
    }
}

INT_PTR RunSettingsDialog(HWND owner)
{
    return DialogBoxParamA(appState.instance, "JSEL", owner, SettingsDialogProc, 0);
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data != 0) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

int BrowseForFolder(HWND owner, const char* initialFolder, char* path, int, const char* title)
{
    IMalloc* shellMalloc = nullptr;
    if (FAILED(SHGetMalloc(&shellMalloc)) || shellMalloc == nullptr) return 2;

    BROWSEINFOA browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = title;
    browse.lpfn = BrowseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(initialFolder);
    int result = 2;
    // The folder browser is built on COM and needs it started in this thread.
    const HRESULT started = CoInitialize(nullptr);
    LPITEMIDLIST items = SHBrowseForFolderA(&browse);
    if (items != nullptr) {
        char chosen[MAX_PATH] = "";
        // A virtual folder (no path on disk) leaves the folder edit as it was.
        if (SHGetPathFromIDListA(items, chosen) && chosen[0] != '\0') {
            memcpy(path, chosen, MAX_PATH);
            result = 1;
        }
        shellMalloc->Free(items);
    }
    shellMalloc->Release();
    if (SUCCEEDED(started)) CoUninitialize();
    return result;
}
