// The settings dialog JSEL, where the user picks the folder, the display mode
// and when the wallpaper changes.
#pragma once

#include <windows.h>

// Pictures the last list-filling scan listed; kept from one opening to the next.
extern unsigned pictureCount;

// The dialog's yes/no question on cancel. MessageBoxA in the program; tests
// put a recorder here.
extern int (WINAPI* questionBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Runs the dialog modally, owned by owner. 1 (IDOK) means the user confirmed
// with "今すぐ" unchecked and the settings were saved; anything else ends a
// manual start.
INT_PTR RunSettingsDialog(HWND owner);

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The folder browser, opened at initialFolder. 1: the chosen folder's path is
// in path (MAX_PATH bytes); 2: cancelled, no allocator, or a folder without
// a path on disk.
int BrowseForFolder(HWND owner, const char* initialFolder, char* path, int size, const char* title);
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
