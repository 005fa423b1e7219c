// The text of kestrova.ini: two lines, "%d%d%d\n%s". The first holds
// changeAtStart, the display mode and the interval side by side, read back by
// byte position; the second is the picture folder, to the end of the file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "wallpaper/wallpaper_job.h"

enum SettingsOutcome {
    SETTINGS_LOADED = 0,
    SETTINGS_UNUSABLE = 1,  // a line is missing or the folder does not exist
    SETTINGS_MISSING = 2,   // the file could not be opened (decided by the caller)
};

// Tells whether a file or folder of that name exists. On Windows this is
// GetFileAttributesA; tests pass their own.
using PathExistsFn = bool (*)(const char* path);

// Reads the settings from a file opened in text mode into changeAtStart,
// intervalMinutes and job's displayMode and folder. SETTINGS_LOADED when both
// lines were read and the folder exists; otherwise SETTINGS_UNUSABLE, with
// job->folder emptied and the other three settings untouched.
int LoadSettings(FILE* file, PathExistsFn pathExists, WallpaperJob* job);

// Writes the two lines, without a line break after the folder. 0 when every
// byte reached the file (it is flushed), 1 on any write error.
int WriteSettings(FILE* file, int32_t atStart, int32_t displayMode, uint32_t minutes,
                  const char* folder);

// The interval as the first line gives it from byte 2 on: decimal digits
// after blanks and one optional sign; anything that is not 0 to 999 is 60.
uint32_t ParseIntervalMinutes(const char* text);

// The dialog's minutes as a whole unsigned decimal number after any leading
// blanks: the value, or 0 for an empty text or one with anything else but
// digits (0 is refused as well).
uint32_t ParseDialogMinutes(const char* text);

// Writes three letters and a terminator over the last three characters of a
// path of pathLength bytes: the settings file is the program's path with
// "ini" there. Shorter paths are left alone.
void SetFileExtension(char* path, int pathLength, const char* threeLetters);
