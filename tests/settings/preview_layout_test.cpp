// The preview pane's layout: each picture fitted to a 1024 x 768 screen as a change would, then laid out on the pane.
#include <gtest/gtest.h>

#include <vector>

#include "settings/preview_layout.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/fit_to_screen.h"

namespace {

constexpr int32_t C = Center, T = Tile, S = Stretch, kMax = INT32_MAX;

struct Row {
    const char* label;
    int32_t width, storedHeight, mode, paneWidth, paneHeight;
    std::vector<int32_t> layout;  // copy w, h, start x, y, step x, y, columns, rows
    std::vector<int32_t> first, last;  // x, y, w, h, source y, w, h of the first and the last copy drawn
    int32_t rowStep = 1;  // every how many rows of a 24-bit picture a paint reads
};

std::vector<int32_t> Values(const PreviewCopy& c)
{ return {c.x, c.y, c.width, c.height, c.sourceY, c.sourceWidth, c.sourceHeight}; }

TEST(PreviewLayout, CopiesAndTheirSourceRectangles)
{
    const Row rows[] = {
        {"centre", 512, 384, C, 210, 158, {105, 79, 52, 39, 210, 158, 1, 1}, {52, 39, 105, 79, 0, 512, 384}, {}, 4},
        {"tile, last column and row cut: left columns, top rows", 300, 200, T, 210, 158, {61, 41, 0, 0, 61, 41, 4, 4},
         {0, 0, 61, 41, 0, 300, 200}, {183, 123, 27, 35, 30, 132, 170}, 4},
        {"top-down, cut at the bottom: top rows, counted from the bottom too", 300, -200, T, 210, 158,
         {61, 41, 0, 0, 61, 41, 4, 4}, {0, 0, 61, 41, 0, 300, 200}, {183, 123, 27, 35, 30, 132, 170}, 4},
        {"tile of the left 1024 columns", 1600, 600, T, 210, 158, {210, 123, 0, 0, 210, 123, 1, 2},
         {0, 0, 210, 123, 0, 1024, 600}, {0, 123, 210, 35, 430, 1024, 170}, 4},
        {"stretch fills the pane", 300, 200, S, 210, 158, {210, 158, 0, 0, 210, 158, 1, 1}, {0, 0, 210, 158, 0, 300, 200}, {}},
        {"wide one: full width, centred down", 1600, 600, C, 210, 158, {210, 123, 0, 17, 210, 158, 1, 1},
         {0, 17, 210, 123, 0, 1024, 600}, {}, 4},
        {"pane not screen-shaped", 512, 384, C, 140, 158, {70, 79, 35, 39, 140, 158, 1, 1}, {35, 39, 70, 79, 0, 512, 384}, {}, 4},
        // Under 16 pane pixels: 16, the other side grown alike (width first), up to the pane; nothing becomes 1.
        {"4 x 4 grows to 16 x 16", 20, 20, C, 210, 158, {16, 16, 97, 71, 210, 158, 1, 1}, {97, 71, 16, 16, 0, 20, 20}, {}},
        {"0 high drawn 1 high", 500, 1, C, 210, 158, {102, 1, 54, 78, 210, 158, 1, 1}, {54, 78, 102, 1, 0, 500, 1}, {}},
        {"growth stops at the pane", 10, 300, C, 210, 158, {16, 158, 97, 0, 210, 158, 1, 1}, {97, 0, 16, 158, 0, 10, 300}, {}},
        {"width grown before height", 20, 60, C, 210, 158, {16, 48, 97, 55, 210, 158, 1, 1}, {97, 55, 16, 48, 0, 20, 60}, {}},
        {"tiny tile: 1 x 1 copies", 2, 2, T, 210, 158, {1, 1, 0, 0, 1, 1, 210, 158}, {0, 0, 1, 1, 0, 2, 2},
         {209, 157, 1, 1, 0, 2, 2}},
        {"no pane", 300, 200, T, 0, 158, {0, 0, 0, 0, 0, 0, 0, 0}, {}, {}},
        // The fit's tie of percentages asks for 2006 columns of a 2000-column picture.
        {"source cut to the picture", 2000, 1505, C, 210, 158, {210, 158, 0, 0, 210, 158, 1, 1},
         {0, 0, 210, 158, 0, 2000, 1505}, {}, 9},
        {"30000 wide", 30000, 20000, C, 210, 158, {210, 158, 0, 0, 210, 158, 1, 1}, {0, 0, 210, 158, 0, 26666, 20000}, {}, 126},
        // Source side times pane side: just inside 32 bits, just past them, far past them.
        {"2147483520", 10226112, 7669584, S, 210, 158, {210, 158, 0, 0, 210, 158, 1, 1},
         {0, 0, 210, 158, 0, 10226112, 7669584}, {}, 210},
        {"2147483730", 10226113, 7669585, S, 210, 158, {210, 158, 0, 0, 210, 158, 1, 1},
         {0, 0, 210, 158, 0, 10226113, 7669585}, {}, 207},
        {"largest", kMax, kMax, T, 210, 158, {210, 158, 0, 0, 210, 158, 1, 1}, {0, 0, 210, 158, 0, kMax, kMax}, {}},
    };
    for (const Row& row : rows) {
        WallpaperJob job{};
        job.sourceWidth = row.width, job.storedHeight = row.storedHeight, job.displayMode = row.mode;
        job.sourceHeight = row.storedHeight < 0 ? -row.storedHeight : row.storedHeight;
        FitToScreenSize(&job, 1024, 768);
        const PreviewLayout l = LayOutPreview(job, row.paneWidth, row.paneHeight);
        EXPECT_EQ(std::vector<int32_t>({l.copyWidth, l.copyHeight, l.startX, l.startY, l.stepX, l.stepY, l.columns,
                                        l.rows}), row.layout) << row.label;
        if (l.columns < 1 || l.rows < 1) continue;
        EXPECT_EQ(Values(PreviewCopyAt(l, 0, 0)), row.first) << row.label;
        EXPECT_EQ(Values(PreviewCopyAt(l, l.columns - 1, l.rows - 1)), row.last.empty() ? row.first : row.last) << row.label;
        PreviewLayout skipped = l;
        EXPECT_EQ(SkipPreviewRows(&skipped, {40, row.width, row.storedHeight, 1, 24, 0, 0, 0, 0, 0, 0}), row.rowStep)
            << row.label;
    }
    WallpaperJob noScreen{};
    noScreen.sourceWidth = noScreen.sourceHeight = noScreen.storedHeight = 300;
    FitToScreenSize(&noScreen, 0, 0);
    EXPECT_EQ(LayOutPreview(noScreen, 210, 158).columns, 0);
}

TEST(PreviewLayout, PaneTakesTheScreensShapeCentredRightOfTheList)
{
    // Dialog right edge, screen w, h -> moved, x, y, w, h. The dialog starts at x 100 with a 3-pixel left
    // frame; the list ends at 267; the 220 x 162 pane stands at 277, 120; the client origin is 103, 75.
    const std::vector<int32_t> rows[] = {
        {500, 1024, 768, 1, 171, 45, 216, 162}, {487, 1024, 768, 1, 164, 45, 216, 162},  // room 230, 217 (rounds down)
        {486, 1024, 768, 0, 0, 0, 0, 0} /* room 216: none to spare */, {500, 1920, 1080, 0, 0, 0, 0, 0} /* 288 wide */,
        {500, 1024, 0, 0, 0, 0, 0, 0}, {500, 1100, 810, 0, 0, 0, 0, 0} /* 220 wide already */};
    for (const std::vector<int32_t>& row : rows) {
        PanePlacement p{};
        const bool moved = PlacePreviewPane({100, 50, row[0], 400}, {110, 100, 267, 300}, {277, 120, 497, 282}, 103, 75,
                                            row[1], row[2], &p);
        EXPECT_EQ(std::vector<int32_t>({row[0], row[1], row[2], moved, p.x, p.y, p.width, p.height}), row);
    }
}

}  // namespace
