// The record that carries one wallpaper change, and its two process-wide
// instances: mainJob (the random change; its displayMode and folder are the
// saved settings) and dialogJob (the settings dialog and its preview).
// Every rule about the picture's size reads the file's own size; a JPEG that
// will be shrunk is held in the block at a reduced size, and only the blits
// read the block's size.
#pragma once

#include <cstdint>

#include "base/dib_image.h"

constexpr int kPathBufferSize = 260;

struct WallpaperJob {
    DibHeader* header;        // the locked picture block after a load; the shrink's header after a shrink
    const char* applyPath;    // the file handed to the desktop
    uint8_t* outputBits;      // pixels the writer writes
    uint8_t* shrunkBits;      // shrunk pixels, owned by the job during one change
    uint8_t* sourceBits;      // first pixel row of the loaded picture
    int32_t needsShrink;
    int32_t displayMode;
    int32_t storedHeight;     // the block's own biHeight (its sign is the row order)
    int32_t sourceWidth;      // the picture file's own size, whatever size the block holds it at
    int32_t sourceHeight;
    int32_t reduction;        // the block holds the picture at 1/reduction (2, 4 or 8); any other value: full size
    int32_t blockWidth;       // the picture in the block: sourceWidth / reduction, rounded up
    int32_t blockHeight;
    int32_t screenWidth;
    int32_t screenHeight;
    int32_t originX;
    int32_t originY;
    int32_t targetWidth;
    int32_t targetHeight;
    int32_t sourceRectWidth;  // the part of the picture used, in the file's pixels: what the fitting rules decide
    int32_t sourceRectHeight;
    // The same part in the block's pixels, rows counted up from its bottom row: what the blits take.
    int32_t blockRectWidth;
    int32_t blockRectHeight;
    char folder[kPathBufferSize];
};

extern WallpaperJob mainJob;
extern WallpaperJob dialogJob;
