#include "wallpaper/wallpaper_job.h"

// Both start zeroed: null pointers, zero numbers, an empty folder.
WallpaperJob mainJob;
WallpaperJob dialogJob;
