// Where a picture goes on the screen: the target size, the part of the
// picture used, the centring origin, and whether it must be shrunk first.
#pragma once

#include <cstdint>

#include "wallpaper/wallpaper_job.h"

// Fills needsShrink, the screen and target sizes, the source rectangle and the
// origin from the job's sourceWidth, sourceHeight and displayMode; then the
// block's size and the source rectangle in its pixels from the job's
// reduction. The rectangle keeps the picture's left and bottom edges; its
// right and top edges move out by less than `reduction` file pixels.
void FitToScreenSize(WallpaperJob* job, int32_t screenWidth, int32_t screenHeight);

// The largest reduction, 1, 2, 4 or 8, at which the fitted source rectangle
// still has at least the target's size both ways, so that the shrink still
// only shrinks: 1 for a picture that is not shrunk.
int32_t ChooseReduction(const WallpaperJob& job);

// The same on the primary screen's size (Win32 layer).
void FitToScreen(WallpaperJob* job);
