// Where a picture goes on the screen: the target size, the part of the
// picture used, the centring origin, and whether it must be shrunk first.
#pragma once

#include <cstdint>

#include "wallpaper/wallpaper_job.h"

// Fills needsShrink, the screen and target sizes, the source rectangle and the
// origin from the job's sourceWidth, sourceHeight and displayMode.
void FitToScreenSize(WallpaperJob* job, int32_t screenWidth, int32_t screenHeight);

// The same on the primary screen's size (Win32 layer).
void FitToScreen(WallpaperJob* job);
