// Load, fit, shrink, write kestrova.bmp and apply: one wallpaper change.
#pragma once

#include <windows.h>

#include "wallpaper/wallpaper_job.h"

// The movable global block of the last loaded picture (a DibImage), or null.
// A change leaves it allocated and unlocked; the program frees it at exit.
extern HGLOBAL pictureBlock;

// The job whose load filled pictureBlock, or null when no block is loaded.
// The preview draws only a picture that the dialog's own job loaded: the
// other job's pointers do not lead into this block.
extern WallpaperJob* pictureJob;

// Set for the whole of a change (and by the preview's paint): a nested change does nothing.
extern int pipelineBusy;

void ChangeWallpaper(WallpaperJob* job);

// 0: loaded, pictureBlock locked once; -1: file could not be opened; 1-4: loader codes.
// Every failure has shown its message and left pictureBlock null.
int LoadPicture(WallpaperJob* job);
