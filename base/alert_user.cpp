#include "base/alert_user.h"

#include "base/app_state.h"
#include "base/messages.h"

int (WINAPI* alertMessageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type) = MessageBoxA;

void AlertUser(const char* text)
{
    const bool dialogOpen = (appState.uiFlags & DialogOpen) != 0;

    // Outside the dialog only the first message is shown; every later one
    // just ends the resident program.
    if (dialogOpen || appState.errorCount == 0) {
        if (!dialogOpen) {
            appState.errorCount = 1;
            appState.uiFlags |= ErrorBoxOpen;
        }
        alertMessageBox(appState.messageOwner, text, MessageText(MSG_TITLE), MB_OK);
        if (!dialogOpen)
            appState.uiFlags &= ~ErrorBoxOpen;
        // A warning inside the dialog, with no earlier error: the dialog stays.
        if (appState.errorCount == 0)
            return;
    }
    // Closing the resident window ends the program; before it exists the
    // caller's own failure path decides.
    if (appState.residentWindow != nullptr)
        SendMessageA(appState.residentWindow, WM_CLOSE, 0, 0);
}
