// The settings dialog, where the user picks the folder, the display mode and
// when the wallpaper changes.
#pragma once

#include <windows.h>

// Runs the dialog modally, owned by owner. 1 (IDOK) means the user confirmed
// with "今すぐ" unchecked and the settings were saved; anything else ends a
// manual start.
INT_PTR RunSettingsDialog(HWND owner);
