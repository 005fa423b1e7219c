// The entry: the start-up checks, then the manual road (the settings dialog)
// or the automatic one (one change), then, with an interval set, the
// resident window's message loop.
#include <windows.h>

#include "base/app_state.h"
#include "app/resident_window.h"
#include "app/startup.h"
#include "settings/settings_dialog.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/random_change.h"

namespace {

// Whether the run goes on after its road: a manual start only when the
// dialog saved the settings; an automatic start whatever its change gave.
bool TakeRoad()
{
    if (appState.manualStart)
        return RunSettingsDialog(appState.desktopWindow) == IDOK;
    if (changeAtStart)
        ChangeWallpaperAtRandom();
    return true;
}

// Stays resident while the interval change is on. The exit code is that of
// the quit message, which the resident window posts with 0.
int StayResident()
{
    if (intervalMinutes == 0 || CreateResidentWindow() != 0)
        return 0;
    MSG message = {};
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return 0;  // the queue is gone; do not spin on it
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int)
{
    appState.instance = instance;
    appState.manualStart = IsManualStart(commandTail);

    int exitCode = 0;
    if (InitInstance() == 0 && TakeRoad())
        exitCode = StayResident();

    if (pictureBlock != nullptr) {
        GlobalFree(pictureBlock);
        pictureBlock = nullptr;
    }
    return exitCode;
}
