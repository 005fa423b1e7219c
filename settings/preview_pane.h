// The settings dialog's preview pane: the sunken static IDC_PREVIEW, whose
// procedure the dialog replaces while it is open, shows the selected picture
// the way the desktop would, on a pane shaped like the screen.
#pragma once

#include <windows.h>

// The static IDC_PREVIEW, stored by the dialog when it opens.
extern HWND previewPane;

// The static's own procedure, kept by the dialog when it puts PreviewPaneProc
// in its place; every message goes on to it.
extern WNDPROC previewDefaultProc;

// Paints the desktop colour and the picture that LoadPicture(&dialogJob) left
// in pictureBlock, in dialogJob's display mode, unless pipelineBusy is set.
LRESULT CALLBACK PreviewPaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives previewPane the screen's proportions at its own height, centred in
// the room to the right of pictureListBox, when they fit there.
void FitPreviewPane();
