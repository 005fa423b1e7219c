// The steps of a change after the load, and the process-wide buffers they
// share (Win32). Changes run one at a time, guarded by pipelineBusy.
#pragma once

#include <windows.h>

#include <cstdint>

#include "wallpaper/bitmap_file.h"
#include "wallpaper/wallpaper_job.h"

// The path of kestrova.bmp; the settings dialog also uses it as scratch space.
extern char tempPath[kPathBufferSize];

// The file header of the kestrova.bmp being written.
extern uint8_t bmpFileHeader[kBitmapFileHeaderSize];

// The shrunk picture's header, with room for the masks or the full colour
// table that GetDIBits may put after it. Zeroed before each shrink.
struct ShrinkInfo {
    DibHeader header;
    uint32_t colours[258];
};
extern ShrinkInfo shrinkInfo;

// Stretches the job's source rectangle onto a target-sized bitmap in the
// screen's format and reads it back: &shrinkInfo.header, with shrunkBits and
// outputBits set. Null on failure, with the message shown (none when the
// screen's device context is unavailable); a shrunkBits block already made
// stays in the job for the caller to free.
DibHeader* ShrinkToScreen(WallpaperJob* job);

// 0 when all `length` bytes were written; else shows the write message and returns 1.
int WriteChunk(HANDLE file, const void* data, DWORD length);

// Writes kestrova.bmp into the job's folder, its path into tempPath: 0 when
// the whole file replaced the old one, 1 when the old one was left as it was
// (with the write message when a chunk failed).
int WriteBitmapFile(WallpaperJob* job);

// Writes kestrova.bmp into the job's folder (file header, info header,
// pixels) and hands it to the desktop. On failure shows the message that
// kestrova.bmp cannot be made and leaves the desktop alone.
void WriteAndApplyBitmap(WallpaperJob* job);
