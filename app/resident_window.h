// The hidden window that keeps the program resident while the interval change
// is on: tray icon, menu and timer. A second start finds it by its class.
#pragma once

#include <windows.h>
#include <shellapi.h>

constexpr char kResidentClassName[] = "kestrova4095";

// Tray-menu commands; a second start posts IDM_SETTINGS.
enum ResidentCommand : WPARAM {
    IDM_SETTINGS = 40000,
    IDM_EXIT = 40001,
    IDM_ABOUT = 40002,
};

// The interval timer on the resident window.
constexpr UINT_PTR IDT_CHANGE = 1;

// The tray icon's notifications arrive as this message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER;

// The popup menu of the tray icon; made with the window, destroyed on close.
extern HMENU trayMenu;

// The call that adds and removes the tray icon. Shell_NotifyIconA in the
// program; tests put a recorder here.
extern BOOL (WINAPI* trayNotify)(DWORD action, PNOTIFYICONDATAA data);

// 0: the window exists and its timer runs; the caller runs the message loop.
// 1: there is no window (the failure has been reported); the run ends.
int CreateResidentWindow();

LRESULT CALLBACK ResidentWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Adds the icon with the tip, then destroys the icon handle it was given
// (the tray keeps its own copy). The result is the shell's.
BOOL AddTrayIcon(HWND window, UINT iconId, HICON icon, const char* tip);
BOOL RemoveTrayIcon(HWND window, UINT iconId);
