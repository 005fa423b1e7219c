#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "settings/wallpaper_settings.h"
#include "wallpaper/fit_to_screen.h"

namespace {

struct Fit {
    int32_t needsShrink, targetWidth, targetHeight, sourceRectWidth, sourceRectHeight, originX, originY;
};

bool operator==(const Fit& a, const Fit& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::ostream& operator<<(std::ostream& out, const Fit& f)
{
    return out << "shrink " << f.needsShrink << " target " << f.targetWidth << "x" << f.targetHeight << " source "
               << f.sourceRectWidth << "x" << f.sourceRectHeight << " origin (" << f.originX << "," << f.originY << ")";
}

// Fits on a job full of leftovers from an earlier picture: every field must be rewritten.
Fit FitOn(int32_t width, int32_t height, int32_t mode, int32_t screenWidth, int32_t screenHeight)
{
    WallpaperJob job;
    std::memset(&job, 0x5A, sizeof job);
    job.sourceWidth = width;
    job.sourceHeight = height;
    job.displayMode = mode;
    FitToScreenSize(&job, screenWidth, screenHeight);
    EXPECT_EQ(job.screenWidth, screenWidth);
    EXPECT_EQ(job.screenHeight, screenHeight);
    return {job.needsShrink,     job.targetWidth, job.targetHeight, job.sourceRectWidth,
            job.sourceRectHeight, job.originX,     job.originY};
}

TEST(FitToScreen, SmallerPictureIsCentredOrStretched)
{
    EXPECT_EQ(FitOn(800, 600, Center, 1024, 768), (Fit{0, 800, 600, 800, 600, 112, 84}));
    EXPECT_EQ(FitOn(800, 600, Tile, 1024, 768), (Fit{0, 800, 600, 800, 600, 0, 0}));
    EXPECT_EQ(FitOn(800, 600, Stretch, 1024, 768), (Fit{0, 1024, 768, 800, 600, 0, 0}));
    // Odd margins round down.
    EXPECT_EQ(FitOn(801, 601, Center, 1024, 768), (Fit{0, 801, 601, 801, 601, 111, 83}));
}

TEST(FitToScreen, ExactScreenSizeNeedsNothing)
{
    for (int32_t mode : {Center, Tile, Stretch}) {
        EXPECT_EQ(FitOn(1024, 768, mode, 1024, 768), (Fit{0, 1024, 768, 1024, 768, 0, 0})) << mode;
    }
}

TEST(FitToScreen, LargerOneWayIsCroppedNotShrunk)
{
    // Too wide: the leftmost screen-width columns at their own size, or a screen-shaped part stretched.
    EXPECT_EQ(FitOn(1600, 600, Center, 1024, 768), (Fit{0, 1024, 600, 1024, 600, 0, 84}));
    EXPECT_EQ(FitOn(1600, 600, Tile, 1024, 768), (Fit{0, 1024, 600, 1024, 600, 0, 0}));
    EXPECT_EQ(FitOn(1600, 600, Stretch, 1024, 768), (Fit{0, 1024, 768, 800, 600, 0, 0}));
    // One pixel wider than the screen but not taller.
    EXPECT_EQ(FitOn(1025, 600, Center, 1024, 768), (Fit{0, 1024, 600, 1024, 600, 0, 84}));
    EXPECT_EQ(FitOn(1025, 768, Center, 1024, 768), (Fit{0, 1024, 768, 1024, 768, 0, 0}));
    // Too tall.
    EXPECT_EQ(FitOn(600, 1600, Center, 1024, 768), (Fit{0, 600, 768, 600, 768, 212, 0}));
    EXPECT_EQ(FitOn(600, 1600, Stretch, 1024, 768), (Fit{0, 1024, 768, 600, 450, 0, 0}));
    EXPECT_EQ(FitOn(1024, 769, Tile, 1024, 768), (Fit{0, 1024, 768, 1024, 768, 0, 0}));
}

TEST(FitToScreen, LargerBothWaysIsShrunkToCoverTheScreen)
{
    // Percentages 64 and 54: the relatively wider picture loses width.
    for (int32_t mode : {Center, Tile, Stretch}) {
        EXPECT_EQ(FitOn(3000, 2000, mode, 1920, 1080), (Fit{1, 1920, 1080, 3000, 1687, 0, 0})) << mode;
    }
    // 2000 x 1500 on 1024 x 768: both 51, a tie crops the width, which here crops nothing.
    EXPECT_EQ(FitOn(2000, 1500, Center, 1024, 768), (Fit{1, 1024, 768, 2000, 1500, 0, 0}));
    // Relatively taller: the height is cropped.
    EXPECT_EQ(FitOn(2000, 3000, Center, 1024, 768), (Fit{1, 1024, 768, 2000, 1500, 0, 0}));
    // One pixel larger both ways is already a shrink.
    EXPECT_EQ(FitOn(1025, 769, Center, 1024, 768), (Fit{1, 1024, 768, 1025, 769, 0, 0}));
}

TEST(FitToScreen, HugeOrOddSizesNeitherWrapNorDivideByZero)
{
    // 1920 x 2,000,000,000 would wrap a 32-bit product.
    EXPECT_EQ(FitOn(3000, 2000000000, Center, 1920, 1080), (Fit{1, 1920, 1080, 3000, 1687, 0, 0}));
    EXPECT_EQ(FitOn(2000000000, 3000, Center, 1920, 1080), (Fit{1, 1920, 1080, 5333, 3000, 0, 0}));
    EXPECT_EQ(FitOn(1000, 2000000000, Stretch, 1920, 1080), (Fit{0, 1920, 1080, 1000, 562, 0, 0}));
    // A source side beyond 32 bits saturates instead of turning negative.
    const Fit largest = FitOn(INT32_MAX, INT32_MAX, Center, 1920, 1080);
    EXPECT_EQ(largest.sourceRectWidth, INT32_MAX);
    EXPECT_EQ(largest.sourceRectHeight, INT32_MAX);
    // A screen that reports no size.
    EXPECT_EQ(FitOn(800, 600, Stretch, 0, 0), (Fit{1, 0, 0, 0, 600, 0, 0}));
}

}  // namespace
