// The one routine that shows a message and applies the error policy: outside
// the settings dialog the first message is an error that ends the resident
// program; inside the dialog a message is a warning and the dialog stays.
#pragma once

#include <windows.h>

void AlertUser(const char* text);

// The box itself. MessageBoxA in the program; tests put a recorder here so
// that failure paths can be checked without a modal box.
extern int (WINAPI* alertMessageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
