// TEMPORARY: the pane is a plain sunken static until its drawing is built.
#include "settings/preview_pane.h"

HWND previewPane;
WNDPROC previewDefaultProc;

LRESULT CALLBACK PreviewPaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(previewDefaultProc, window, message, wParam, lParam);
}

void FitPreviewPane() {}
