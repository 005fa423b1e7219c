// The settings dialog's preview pane: the sunken static IDC_PREVIEW, whose
// window procedure the dialog replaces while it is open.
#pragma once

#include <windows.h>

extern HWND previewPane;
extern WNDPROC previewDefaultProc;

LRESULT CALLBACK PreviewPaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives the pane the screen's proportions, centred right of the picture list.
void FitPreviewPane();
