// ShrinkToScreen: one GDI stretch of the source rectangle (in the block's
// pixels, which a reduced decode has already made fewer) onto a bitmap of the
// target size in the screen's depth, dropping pixels (COLORONCOLOR), then the
// bitmap read back as a DibImage whose header is shrinkInfo.
#include <cstdio>
#include <cstring>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "base/messages.h"
#include "wallpaper/picture_layout.h"
#include "wallpaper/pipeline_steps.h"

ShrinkInfo shrinkInfo;

namespace {

// Stage numbers name the step that failed in the message.
enum ShrinkStage {
    StageMemoryDc = 0,
    StageBitmap = 1,
    StageStretch = 2,
    StageHeaderQuery = 3,
    StageAllocation = 4,
    StagePixelCopy = 5,
};

BITMAPINFO* ShrinkBitmapInfo() { return reinterpret_cast<BITMAPINFO*>(&shrinkInfo); }

// The target in the screen's depth, as a DIB section rather than a
// compatible bitmap: the same pixels read back, but GDI stretches into it
// without first copying the whole source into the screen's format (under
// Wine a large photo's shrink took twice as long that way).
HBITMAP CreateTargetBitmap(HDC screen, const WallpaperJob& job)
{
    BITMAPINFOHEADER target = {};
    target.biSize = sizeof target;
    target.biWidth = job.targetWidth;
    target.biHeight = job.targetHeight;
    target.biPlanes = 1;
    target.biBitCount = GetDeviceCaps(screen, BITSPIXEL) == 24 ? 24 : 32;
    void* bits = nullptr;
    return CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&target), DIB_RGB_COLORS, &bits, nullptr, 0);
}

// Stages 2 to 5 on the memory DC with the target bitmap selected. Returns the
// number of lines copied, 0 on failure with *stage at the failing step.
int StretchAndReadBack(HDC memory, HBITMAP bitmap, WallpaperJob* job, int* stage)
{
    *stage = StageStretch;
    SetStretchBltMode(memory, COLORONCOLOR);
    // Most refusals come back as 0, not GDI_ERROR; either leaves the bitmap undrawn.
    if (StretchDIBits(memory, 0, 0, job->targetWidth, job->targetHeight, 0, 0, job->blockRectWidth,
                      job->blockRectHeight, job->sourceBits, reinterpret_cast<const BITMAPINFO*>(job->header),
                      DIB_RGB_COLORS, SRCCOPY) <= 0)
        return 0;

    *stage = StageHeaderQuery;
    shrinkInfo.header.biSize = kDibHeaderSize;
    if (!GetDIBits(memory, bitmap, 0, 0, nullptr, ShrinkBitmapInfo(), DIB_RGB_COLORS)) return 0;
    // The copy below writes what the header describes; the block must hold it.
    if (!DibRowsFit(shrinkInfo.header, shrinkInfo.header.biSizeImage)) return 0;

    *stage = StageAllocation;
    job->shrunkBits = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, shrinkInfo.header.biSizeImage + 64));
    if (!job->shrunkBits) return 0;

    *stage = StagePixelCopy;
    const UINT asked = static_cast<UINT>(shrinkInfo.header.biHeight < 0 ? -shrinkInfo.header.biHeight
                                                                       : shrinkInfo.header.biHeight);
    const int copied = GetDIBits(memory, bitmap, 0, asked, job->shrunkBits, ShrinkBitmapInfo(), DIB_RGB_COLORS);
    return copied == static_cast<int>(asked) ? copied : 0;  // fewer lines would leave heap bytes in the file
}

}  // namespace

DibHeader* ShrinkToScreen(WallpaperJob* job)
{
    std::memset(&shrinkInfo, 0, sizeof shrinkInfo);
    HDC screen = GetDC(appState.desktopWindow);
    if (!screen) return nullptr;  // no message: nothing was tried

    int stage = StageMemoryDc;
    int lines = 0;
    HDC memory = CreateCompatibleDC(screen);
    if (memory) {
        stage = StageBitmap;
        HBITMAP bitmap = CreateTargetBitmap(screen, *job);
        if (bitmap) {
            HGDIOBJ previous = SelectObject(memory, bitmap);
            lines = StretchAndReadBack(memory, bitmap, job, &stage);
            SelectObject(memory, previous);
            DeleteObject(bitmap);
        }
        DeleteDC(memory);
    }
    ReleaseDC(appState.desktopWindow, screen);

    if (lines == 0) {
        char text[128];
        std::snprintf(text, sizeof text, MessageText(MSG_SHRINK_FAILED_FORMAT), stage);
        AlertUser(text);
        return nullptr;
    }
    shrinkInfo.header.biCompression = 0;  // BI_RGB, whatever GetDIBits reported
    job->outputBits = job->shrunkBits;
    return &shrinkInfo.header;
}
