// The hidden window that keeps the program resident while the interval change
// is on: tray icon, menu and timer. A second start finds it by its class.
#pragma once

#include <windows.h>

constexpr char kResidentClassName[] = "kestrova4095";

// Tray-menu commands; a second start posts IDM_SETTINGS.
enum ResidentCommand : WPARAM {
    IDM_SETTINGS = 40000,
    IDM_EXIT = 40001,
    IDM_ABOUT = 40002,
};

// 0: the window exists and its timer runs; the caller runs the message loop.
// 1: there is no window (any failure has been reported); the run ends.
int CreateResidentWindow();
