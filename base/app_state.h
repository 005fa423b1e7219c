// The shell's process-wide record, filled by the start-up and read by the
// other parts of the program. Everything starts zero, null or empty.
#pragma once

#include <windows.h>

enum UiFlag : unsigned {
    AboutOpen = 1,
    DialogOpen = 2,
    ErrorBoxOpen = 4,  // AlertUser's box outside the dialog: the program ends after it
};

struct AppState {
    HINSTANCE instance;
    BOOL manualStart;
    char programPath[MAX_PATH];   // the exe's path; "ini" replaces its last three characters after start-up
    int programPathLength;
    char shortcutPath[MAX_PATH];  // Startup folder + "\ミルフォス.lnk"; empty when that folder is unknown
    HWND desktopWindow;
    HICON appIcon;
    int settingsFailed;
    HWND residentWindow;
    HWND messageOwner;
    unsigned uiFlags;
    int errorCount;
};

extern AppState appState;
