// The two settings that live outside mainJob, and the display-mode table.
#include "base/wallpaper_settings.h"

int32_t changeAtStart;
uint32_t intervalMinutes;

// Row index = DisplayMode; the dialog fills its combo box in this order.
const DisplayModeRow displayModeTable[3] = {
    {"中央に表示", 0},
    {"並べて表示", 1},
    {"拡大表示", 2},
};
