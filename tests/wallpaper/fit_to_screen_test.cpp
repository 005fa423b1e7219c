#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "settings/wallpaper_settings.h"
#include "wallpaper/fit_to_screen.h"

namespace {

TEST(FitToScreen, TargetSourceOriginAndShrink)
{
    struct Case {
        int32_t width, height, mode, screenWidth, screenHeight;
        int32_t shrink, targetWidth, targetHeight, sourceWidth, sourceHeight, originX, originY;
    };
    const Case cases[] = {
        // Smaller than the screen: own size (centred or not), or stretched whole.
        {800, 600, Center, 1024, 768, 0, 800, 600, 800, 600, 112, 84},
        {800, 600, Tile, 1024, 768, 0, 800, 600, 800, 600, 0, 0},
        {800, 600, Stretch, 1024, 768, 0, 1024, 768, 800, 600, 0, 0},
        {801, 601, Center, 1024, 768, 0, 801, 601, 801, 601, 111, 83},
        {1024, 768, Center, 1024, 768, 0, 1024, 768, 1024, 768, 0, 0},
        {1024, 768, Stretch, 1024, 768, 0, 1024, 768, 1024, 768, 0, 0},
        // Larger one way: cropped 1:1, or a screen-shaped part stretched; never shrunk.
        {1600, 600, Center, 1024, 768, 0, 1024, 600, 1024, 600, 0, 84},
        {1600, 600, Tile, 1024, 768, 0, 1024, 600, 1024, 600, 0, 0},
        {1600, 600, Stretch, 1024, 768, 0, 1024, 768, 800, 600, 0, 0},
        {1025, 600, Center, 1024, 768, 0, 1024, 600, 1024, 600, 0, 84},
        {600, 1600, Center, 1024, 768, 0, 600, 768, 600, 768, 212, 0},
        {600, 1600, Stretch, 1024, 768, 0, 1024, 768, 600, 450, 0, 0},
        // Larger both ways: shrunk to cover the screen, the relatively larger side cropped.
        {3000, 2000, Center, 1920, 1080, 1, 1920, 1080, 3000, 1687, 0, 0},
        {3000, 2000, Tile, 1920, 1080, 1, 1920, 1080, 3000, 1687, 0, 0},
        {3000, 2000, Stretch, 1920, 1080, 1, 1920, 1080, 3000, 1687, 0, 0},
        {2000, 1500, Center, 1024, 768, 1, 1024, 768, 2000, 1500, 0, 0},  // 51 % both: the width rule
        {2000, 3000, Center, 1024, 768, 1, 1024, 768, 2000, 1500, 0, 0},
        {1025, 769, Center, 1024, 768, 1, 1024, 768, 1025, 769, 0, 0},
        // Products past 32 bits neither wrap nor turn negative; a screen of no size divides by nothing.
        {3000, 2000000000, Center, 1920, 1080, 1, 1920, 1080, 3000, 1687, 0, 0},
        {2000000000, 3000, Center, 1920, 1080, 1, 1920, 1080, 5333, 3000, 0, 0},
        {1000, 2000000000, Stretch, 1920, 1080, 0, 1920, 1080, 1000, 562, 0, 0},
        {INT32_MAX, INT32_MAX, Center, 1920, 1080, 1, 1920, 1080, INT32_MAX, INT32_MAX, 0, 0},
        {800, 600, Stretch, 0, 0, 1, 0, 0, 0, 600, 0, 0},
    };
    for (const Case& c : cases) {
        WallpaperJob job;
        std::memset(&job, 0x5A, sizeof job);  // leftovers of an earlier picture
        job.sourceWidth = c.width;
        job.sourceHeight = c.height;
        job.displayMode = c.mode;
        FitToScreenSize(&job, c.screenWidth, c.screenHeight);
        const std::vector<int32_t> got = {job.needsShrink,     job.targetWidth,      job.targetHeight, job.sourceRectWidth,
                               job.sourceRectHeight, job.originX,         job.originY,      job.screenWidth,
                               job.screenHeight};
        const std::vector<int32_t> expected = {c.shrink,       c.targetWidth, c.targetHeight, c.sourceWidth,  c.sourceHeight,
                                    c.originX,      c.originY,     c.screenWidth,  c.screenHeight};
        EXPECT_EQ(got, expected) << c.width << " x " << c.height << " mode " << c.mode << " on "
                                                        << c.screenWidth << " x " << c.screenHeight;
    }
}

}  // namespace
