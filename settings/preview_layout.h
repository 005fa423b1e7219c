// The preview pane's arithmetic, without a window: where the copies of the
// picture go on a pane that stands for the whole screen, which part of the
// picture each copy shows, and where the pane itself goes in the dialog.
#pragma once

#include <cstdint>

#include "base/dib_image.h"
#include "wallpaper/wallpaper_job.h"

// How the picture lies on the pane, in pane pixels.
struct PreviewLayout {
    int32_t copyWidth, copyHeight;  // one copy, at least 16 pane pixels in each direction that has any
    int32_t startX, startY;         // the first copy
    int32_t stepX, stepY;           // from one copy to the next
    int32_t columns, rows;          // copies across and down; 0 when nothing is drawn
    int32_t paneWidth, paneHeight;
    // The part of the picture one whole copy shows, never larger than the
    // picture, in pixels of the picture the block holds.
    int32_t usedWidth, usedHeight;
    int32_t pictureHeight;
};

// One copy: the pane rectangle it covers and the picture rectangle it shows.
// The source starts at the picture's left edge; sourceY counts rows up from
// its bottom row, as the stretching blit does for either row order.
struct PreviewCopy {
    int32_t x, y, width, height;
    int32_t sourceY, sourceWidth, sourceHeight;
};

// From a job that FitToScreen has filled (target, screen, mode, the block's
// height and the source rectangle in its pixels), on a pane whose client area
// is paneWidth x paneHeight.
PreviewLayout LayOutPreview(const WallpaperJob& job, int32_t paneWidth, int32_t paneHeight);

// The copy in `column` (0 <= column < columns) and `row` (0 <= row < rows).
// Copies at the right and bottom edges are cut to the pane and show the
// picture's left columns and top rows.
PreviewCopy PreviewCopyAt(const PreviewLayout& layout, int32_t column, int32_t row);

// How many picture rows a paint may step over at a time: each copy still gets
// a row per pane pixel, and `step` rows hold a whole number of pixels, so that
// every step-th row reads as a picture of its own (see EveryNthRow). The
// layout's rows are then counted in that picture. 1, and the layout as it
// was, for a compressed picture.
int32_t SkipPreviewRows(PreviewLayout* layout, const DibHeader& header);

// The header of the picture made of every step-th row of `header`'s, in the
// same memory: `step` rows become one (the blit uses only its left part),
// and the rows that make a whole step are kept.
DibHeader EveryNthRow(const DibHeader& header, int32_t step);

// Window rectangles in screen coordinates.
struct ScreenRect {
    int32_t left, top, right, bottom;
};

struct PanePlacement {
    int32_t x, y, width, height;  // in the dialog's client coordinates
};

// The pane with the screen's proportions at its own height, centred in the
// room between the list's right edge and the dialog's right edge (less the
// dialog's left frame). False when the pane should stay as it is: it has
// those proportions already, they do not fit into the room, or the screen
// reports no size.
bool PlacePreviewPane(const ScreenRect& dialog, const ScreenRect& list, const ScreenRect& pane, int32_t clientOriginX,
                      int32_t clientOriginY, int32_t screenWidth, int32_t screenHeight, PanePlacement* placement);
