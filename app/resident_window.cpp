// The resident window: it owns the tray icon, its menu and the interval timer,
// and closing it ends the program.
#include "app/resident_window.h"

#include <cstring>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "base/messages.h"
#include "settings/settings_dialog.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/random_change.h"

HMENU trayMenu;
BOOL (WINAPI* trayNotify)(DWORD action, PNOTIFYICONDATAA data) = Shell_NotifyIconA;

namespace {

// Explorer broadcasts this when it makes the taskbar anew (after a crash or a
// restart); every tray icon must then be added again.
UINT taskbarCreatedMessage;

void StartTimer(HWND window)
{
    if (intervalMinutes != 0)
        SetTimer(window, IDT_CHANGE, intervalMinutes * 60000u, nullptr);
}

// The record without the later extensions, which every shell takes.
NOTIFYICONDATAA TrayRecord(HWND window, UINT iconId)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = iconId;
    return data;
}

// The tray gets a copy, which AddTrayIcon destroys: appIcon stays for the
// settings dialog.
void ShowTrayIcon(HWND window)
{
    AddTrayIcon(window, 0, CopyIcon(appState.appIcon), MessageText(MSG_TITLE));
}

void OnCreate(HWND window)
{
    trayMenu = CreatePopupMenu();
    AppendMenuA(trayMenu, MF_STRING, IDM_SETTINGS, MessageText(MSG_MENU_SETTINGS));
    AppendMenuA(trayMenu, MF_STRING, IDM_ABOUT, MessageText(MSG_MENU_ABOUT));
    AppendMenuA(trayMenu, MF_STRING, IDM_EXIT, MessageText(MSG_MENU_EXIT));
    ShowTrayIcon(window);
}

void OnClose(HWND window)
{
    RemoveTrayIcon(window, 0);
    DestroyMenu(trayMenu);
    trayMenu = nullptr;
    DestroyWindow(window);
}

// The handle is forgotten with the window, so that a later close request
// cannot reach another window that happens to get the same handle.
void OnDestroy(HWND window)
{
    if (appState.residentWindow == window)
        appState.residentWindow = nullptr;
    if (appState.messageOwner == window)
        appState.messageOwner = nullptr;
    PostQuitMessage(0);
}

void ShowAboutBox(HWND window)
{
    if (appState.uiFlags & AboutOpen)
        return;
    appState.uiFlags |= AboutOpen;
    // Inside the settings dialog the box belongs to the dialog.
    if (appState.uiFlags & DialogOpen)
        AlertUser(MessageText(MSG_ABOUT));
    else
        alertMessageBox(window, MessageText(MSG_ABOUT), MessageText(MSG_TITLE), MB_OK);
    appState.uiFlags &= ~static_cast<unsigned>(AboutOpen);
}

// The timer rests while the dialog is up and starts a full period afterwards;
// a dialog that left no interval ends the program.
void OpenSettingsFromTray(HWND window)
{
    // Over an error's box the dialog would find the failed change still busy.
    if (appState.uiFlags & (AboutOpen | DialogOpen | ErrorBoxOpen))
        return;
    KillTimer(window, IDT_CHANGE);
    RunSettingsDialog(window);
    if (!IsWindow(window))
        return;  // 終了 was chosen from the tray while the dialog was up
    if (intervalMinutes != 0)
        StartTimer(window);
    else
        SendMessageA(window, WM_CLOSE, 0, 0);
}

void ShowTrayMenu(HWND window)
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    SetFocus(window);
    TrackPopupMenu(trayMenu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    PostMessageA(window, WM_NULL, 0, 0);
}

void OnTrayNotify(HWND window, LPARAM event)
{
    if (event == WM_RBUTTONDOWN)
        ShowTrayMenu(window);
    else if (event == WM_LBUTTONDBLCLK)
        PostMessageA(window, WM_COMMAND, IDM_SETTINGS, 0);
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDM_SETTINGS: OpenSettingsFromTray(window); return 0;
    case IDM_EXIT: SendMessageA(window, WM_CLOSE, 0, 0); return 0;
    case IDM_ABOUT: ShowAboutBox(window); return 0;
    default: return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    }
}

}  // namespace

BOOL AddTrayIcon(HWND window, UINT iconId, HICON icon, const char* tip)
{
    NOTIFYICONDATAA data = TrayRecord(window, iconId);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = icon;
    strncpy(data.szTip, tip, sizeof data.szTip);
    data.szTip[sizeof data.szTip - 1] = '\0';  // a 64-byte tip would have no terminator
    const BOOL added = trayNotify(NIM_ADD, &data);
    if (icon != nullptr)
        DestroyIcon(icon);
    return added;
}

BOOL RemoveTrayIcon(HWND window, UINT iconId)
{
    NOTIFYICONDATAA data = TrayRecord(window, iconId);
    return trayNotify(NIM_DELETE, &data);
}

LRESULT CALLBACK ResidentWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_CLOSE: OnClose(window); return 0;
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_TIMER: ChangeWallpaperAtRandom(); return 0;
    case WM_TRAY_NOTIFY: OnTrayNotify(window, lParam); return 0;
    default:
        if (message == taskbarCreatedMessage && taskbarCreatedMessage != 0) {
            ShowTrayIcon(window);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int CreateResidentWindow()
{
    taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ResidentWndProc;
    windowClass.hInstance = appState.instance;
    windowClass.hIcon = appState.appIcon;
    windowClass.lpszClassName = kResidentClassName;
    if (RegisterClassA(&windowClass) == 0) {
        AlertUser(MessageText(MSG_MAIN_WINDOW_FAILED));
        return 1;
    }

    // Never shown: the tray icon is the program's face.
    HWND window = CreateWindowExA(0, kResidentClassName, "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  appState.instance, nullptr);
    appState.residentWindow = appState.messageOwner = window;
    if (window == nullptr) {
        AlertUser(MessageText(MSG_MAIN_WINDOW_FAILED));
        return 1;
    }
    StartTimer(window);
    return 0;
}
