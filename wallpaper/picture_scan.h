// The walk over the picture folder, and the path buffers it fills (Win32).
#pragma once

#include <windows.h>

#include "wallpaper/wallpaper_job.h"

// Every scan enumerates into this; after a pick its cFileName is the picture.
// The settings dialog also uses cFileName as scratch for list-box text.
extern WIN32_FIND_DATAA findData;

// The full path of the picture to load; LoadPicture reads only this.
extern char currentPicturePath[kPathBufferSize];

// The settings dialog's picture list (control 1000), stored by the dialog.
extern HWND pictureListBox;

// The portable join with the ANSI code page's lead-byte test.
int JoinPath(char* destination, const char* folder, const char* name);

// dialog null, stopIndex -1: counts the pictures.
// dialog null, stopIndex k >= 0: stops at picture k with its name in
//   findData and returns k; returns -1 when there is no picture k.
// dialog set, stopIndex -1: fills pictureListBox, selects an entry at random
//   and posts the list's selection change to the dialog; returns the count.
int ScanPictureFolder(HWND dialog, int stopIndex, const char* folder);
