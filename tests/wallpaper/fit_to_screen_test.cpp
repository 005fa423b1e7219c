#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/wallpaper_settings.h"
#include "wallpaper/fit_to_screen.h"

namespace {

constexpr int32_t C = Center, T = Tile, S = Stretch;

TEST(FitToScreen, TargetSourceOriginShrinkAndReduction)
{
    // Picture w, h, mode, screen w, h -> shrink, target w, h, source rectangle w, h, origin x, y. Larger one way: cropped
    // 1:1, or a screen-shaped part stretched; both ways: shrunk to cover, the relatively larger side cropped (51 %: width).
    const std::vector<int32_t> cases[] = {
        {800, 600, C, 1024, 768, 0, 800, 600, 800, 600, 112, 84}, {801, 601, C, 1024, 768, 0, 801, 601, 801, 601, 111, 83},
        {800, 600, S, 1024, 768, 0, 1024, 768, 800, 600, 0, 0}, {1024, 768, C, 1024, 768, 0, 1024, 768, 1024, 768, 0, 0},
        {1600, 600, C, 1024, 768, 0, 1024, 600, 1024, 600, 0, 84}, {1600, 600, T, 1024, 768, 0, 1024, 600, 1024, 600, 0, 0},
        {1600, 600, S, 1024, 768, 0, 1024, 768, 800, 600, 0, 0}, {1025, 600, C, 1024, 768, 0, 1024, 600, 1024, 600, 0, 84},
        {600, 1600, C, 1024, 768, 0, 600, 768, 600, 768, 212, 0}, {600, 1600, S, 1024, 768, 0, 1024, 768, 600, 450, 0, 0},
        {3000, 2000, C, 1920, 1080, 1, 1920, 1080, 3000, 1687, 0, 0}, {1025, 769, C, 1024, 768, 1, 1024, 768, 1025, 769, 0, 0},
        {2000, 1500, C, 1024, 768, 1, 1024, 768, 2000, 1500, 0, 0}, {2000, 3000, S, 1024, 768, 1, 1024, 768, 2000, 1500, 0, 0},
        {2000, 1505, C, 1024, 768, 1, 1024, 768, 2000, 1505, 0, 0} /* 51 % both, yet never wider than the picture */,
        {1024, 600, S, 1024, 768, 0, 1024, 768, 1024, 600, 0, 0} /* as wide as the screen: the whole picture */,
        {1000, 2000000000, S, 1920, 1080, 0, 1920, 1080, 1000, 562, 0, 0}, {800, 600, S, 0, 0, 1, 0, 0, 0, 600, 0, 0},
        {INT32_MAX, INT32_MAX, C, 1920, 1080, 1, 1920, 1080, INT32_MAX, INT32_MAX, 0, 0}};
    for (const std::vector<int32_t>& c : cases) {
        WallpaperJob job;
        std::memset(&job, 0x5A, sizeof job);  // leftovers of an earlier picture
        job.sourceWidth = c[0], job.sourceHeight = c[1], job.displayMode = c[2];
        FitToScreenSize(&job, c[3], c[4]);
        EXPECT_EQ(std::vector<int32_t>({c[0], c[1], c[2], job.screenWidth, job.screenHeight, job.needsShrink,
                                        job.targetWidth, job.targetHeight, job.sourceRectWidth, job.sourceRectHeight,
                                        job.originX, job.originY}), c);
    }
    // A reduction still only shrinks. Picture w, h, mode, screen w, h -> reduction, source rectangle in the reduced
    // picture w, h (rows from the bottom).
    const std::vector<int32_t> reduced[] = {
        {6000, 4000, C, 1024, 768, 4, 1334, 1000}, {2048, 1536, C, 1024, 768, 2, 1024, 768} /* exactly twice */,
        {2047, 1536, C, 1024, 768, 1, 2047, 1536}, {2048, 1535, C, 1024, 768, 1, 2046, 1535} /* a pixel short */,
        {8192, 6144, C, 1024, 768, 8, 1024, 768}, {16384, 12288, C, 1024, 768, 8, 2048, 1536} /* 8 at most */,
        {4096, 700, C, 1024, 768, 1, 1024, 700}, {4096, 700, S, 1024, 768, 1, 933, 700} /* larger one way: not shrunk */,
        {4096, 3072, T, 1024, 768, 4, 1024, 768}, {4096, 3072, S, 1024, 768, 4, 1024, 768}, {800, 600, S, 1024, 768, 1, 800, 600},
        {4100, 12001, C, 1024, 768, 4, 1025, 770} /* top edge 2 rows up */, {6000, 4000, C, 1920, 1080, 2, 3000, 1688},
        {800, 600, S, 0, 0, 1, 0, 600} /* no screen */};
    for (const std::vector<int32_t>& c : reduced) {
        WallpaperJob job{};
        job.sourceWidth = c[0], job.sourceHeight = c[1], job.displayMode = c[2];
        FitToScreenSize(&job, c[3], c[4]);
        job.reduction = ChooseReduction(job), FitToScreenSize(&job, c[3], c[4]);
        EXPECT_EQ(std::vector<int32_t>({c[0], c[1], c[2], c[3], c[4], job.reduction, job.blockRectWidth, job.blockRectHeight}), c);
    }
}

}  // namespace
