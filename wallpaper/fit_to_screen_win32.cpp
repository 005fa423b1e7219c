#include <windows.h>

#include "wallpaper/fit_to_screen.h"

void FitToScreen(WallpaperJob* job)
{
    FitToScreenSize(job, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}
