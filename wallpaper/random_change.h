// The automatic change: a random picture of mainJob's folder becomes the wallpaper.
#pragma once

// Reports its own failures through AlertUser; has no result.
void ChangeWallpaperAtRandom();
