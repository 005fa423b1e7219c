// The persisted settings. changeAtStart and intervalMinutes are process-wide;
// the display mode and the folder are the displayMode and folder fields of
// mainJob (wallpaper/wallpaper_job.h), so the random change uses them directly.
#pragma once

#include <cstdint>

enum DisplayMode : int32_t {
    Center = 0,
    Tile = 1,
    Stretch = 2,
};

struct DisplayModeRow {
    const char* comboText;     // the settings dialog's combo-box text
    int32_t activeDesktopStyle;
};

extern const DisplayModeRow displayModeTable[3];

extern int32_t changeAtStart;     // 0 or 1
extern uint32_t intervalMinutes;  // 0 to 999; 0 = no timed change
