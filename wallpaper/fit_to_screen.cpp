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

}  // namespace

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
}
