#include "wallpaper/fit_to_screen.h"

#include <cstdint>

#include "base/wallpaper_settings.h"

namespace {

// a * b / c, truncated toward zero. Worked out in 64 bits and saturated, so
// that a tall picture on a wide screen cannot wrap round; 0 for a screen
// that reports no size.
int32_t ScaledSide(int32_t a, int32_t b, int32_t c)
{
    if (c <= 0) return 0;
    const int64_t value = static_cast<int64_t>(a) * b / c;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t KnownReduction(int32_t reduction) { return reduction == 2 || reduction == 4 || reduction == 8 ? reduction : 1; }

int32_t CeilDiv(int64_t value, int32_t divisor) { return static_cast<int32_t>((value + divisor - 1) / divisor); }

int32_t Clamp(int64_t value, int32_t high) { return static_cast<int32_t>(value < 0 ? 0 : value > high ? high : value); }

// The block's size and the source rectangle in its pixels. The rectangle
// starts at the bottom row, so its top edge is the block row boundary at or
// above the file's, and its height follows from the block's.
void MapToBlock(WallpaperJob* job)
{
    const int32_t k = KnownReduction(job->reduction);
    const int64_t width = job->sourceWidth < 0 ? 0 : job->sourceWidth;
    const int64_t height = job->sourceHeight < 0 ? 0 : job->sourceHeight;
    job->blockWidth = CeilDiv(width, k);
    job->blockHeight = CeilDiv(height, k);
    job->blockRectWidth = Clamp(CeilDiv(Clamp(job->sourceRectWidth, INT32_MAX), k), job->blockWidth);
    const int64_t rowsAbove = height - Clamp(job->sourceRectHeight, INT32_MAX);
    job->blockRectHeight = Clamp(job->blockHeight - (rowsAbove < 0 ? 0 : rowsAbove / k), job->blockHeight);
}

}  // namespace

int32_t ChooseReduction(const WallpaperJob& job)
{
    if (!job.needsShrink || job.targetWidth < 1 || job.targetHeight < 1) return 1;
    for (int32_t k = 8; k > 1; k /= 2) {
        if (job.sourceRectWidth >= int64_t{k} * job.targetWidth && job.sourceRectHeight >= int64_t{k} * job.targetHeight)
            return k;
    }
    return 1;
}

void FitToScreenSize(WallpaperJob* job, int32_t screenWidth, int32_t screenHeight)
{
    const int32_t width = job->sourceWidth;
    const int32_t height = job->sourceHeight;
    const bool stretch = job->displayMode == Stretch;

    job->needsShrink = 0;
    job->originX = 0;
    job->originY = 0;
    job->sourceRectWidth = width;
    job->sourceRectHeight = height;
    job->screenWidth = job->targetWidth = screenWidth;
    job->screenHeight = job->targetHeight = screenHeight;

    if (width <= screenWidth && height <= screenHeight) {
        if (!stretch) {  // shown at its own size
            job->targetWidth = width;
            job->targetHeight = height;
        }
    } else {
        // The source width, or height, that has the screen's proportions.
        const int32_t widthLikeScreen = ScaledSide(screenWidth, height, screenHeight);
        const int32_t heightLikeScreen = ScaledSide(width, screenHeight, screenWidth);
        if (height <= screenHeight) {  // too wide only
            if (stretch) {
                job->sourceRectWidth = widthLikeScreen;
            } else {  // the leftmost columns, 1:1
                job->targetHeight = height;
                job->sourceRectWidth = screenWidth;
            }
        } else if (width <= screenWidth) {  // too tall only
            if (stretch) {
                job->sourceRectHeight = heightLikeScreen;
            } else {
                job->targetWidth = width;
                job->sourceRectHeight = screenHeight;
            }
        } else {  // larger both ways: cover the screen, crop the relatively larger side
            job->needsShrink = 1;
            // Whole percentages can tie for a picture that is relatively a little
            // taller; the width rule then asks for more columns than there are.
            if (ScaledSide(screenWidth, 100, width) <= ScaledSide(screenHeight, 100, height)) {
                job->sourceRectWidth = widthLikeScreen < width ? widthLikeScreen : width;
            } else {
                job->sourceRectHeight = heightLikeScreen < height ? heightLikeScreen : height;
            }
        }
    }

    if (job->displayMode == Center) {
        if (job->targetWidth < screenWidth) job->originX = (screenWidth - job->targetWidth) / 2;
        if (job->targetHeight < screenHeight) job->originY = (screenHeight - job->targetHeight) / 2;
    }
    MapToBlock(job);
}
