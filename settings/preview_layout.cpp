#include "settings/preview_layout.h"

#include <algorithm>
#include <cstdint>

#include "base/wallpaper_settings.h"

namespace {

constexpr int64_t kMinimumCopySize = 16;

// a * b / c, truncated toward zero; 64 bits, so that a picture side in the
// millions times a pane side cannot wrap round. The result is at most
// max(a, b) in every use here, so it fits back into 32 bits.
int32_t Scaled(int64_t a, int64_t b, int64_t c)
{
    const int64_t value = a * b / c;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// A copy that scaled to nothing is drawn one pixel thick. One under 16
// pixels is drawn 16, and the other direction grows by the same factor, up
// to the pane, so that a small picture stays recognisable.
void KeepMinimumSize(int32_t* size, int32_t* other, int32_t otherPane)
{
    if (*size < 1) {
        *size = 1;
    } else if (*size < kMinimumCopySize) {
        *other = std::min(Scaled(*other, kMinimumCopySize, *size), otherPane);
        *size = kMinimumCopySize;
    }
}

// Copies from `start` on, `step` apart, that begin inside the pane.
int32_t CopyCount(int32_t start, int32_t step, int32_t pane)
{
    return start < pane ? (pane - 1 - start) / step + 1 : 0;
}

}  // namespace

PreviewLayout LayOutPreview(const WallpaperJob& job, int32_t paneWidth, int32_t paneHeight)
{
    PreviewLayout layout{};
    layout.paneWidth = paneWidth;
    layout.paneHeight = paneHeight;
    layout.usedWidth = job.blockRectWidth;
    layout.usedHeight = job.blockRectHeight;
    layout.pictureHeight = job.blockHeight;
    if (job.screenWidth < 1 || job.screenHeight < 1 || paneWidth < 1 || paneHeight < 1) return layout;
    if (layout.usedWidth < 1 || layout.usedHeight < 1) return layout;

    layout.copyWidth = Scaled(job.targetWidth, paneWidth, job.screenWidth);
    layout.copyHeight = Scaled(job.targetHeight, paneHeight, job.screenHeight);
    KeepMinimumSize(&layout.copyWidth, &layout.copyHeight, paneHeight);
    KeepMinimumSize(&layout.copyHeight, &layout.copyWidth, paneWidth);

    const bool center = job.displayMode == Center;
    const bool tile = job.displayMode == Tile;
    if (center && layout.copyWidth < paneWidth) layout.startX = (paneWidth - layout.copyWidth) >> 1;
    if (center && layout.copyHeight < paneHeight) layout.startY = (paneHeight - layout.copyHeight) >> 1;
    layout.stepX = tile ? layout.copyWidth : paneWidth;
    layout.stepY = tile ? layout.copyHeight : paneHeight;
    layout.columns = CopyCount(layout.startX, layout.stepX, paneWidth);
    layout.rows = CopyCount(layout.startY, layout.stepY, paneHeight);
    return layout;
}

PreviewCopy PreviewCopyAt(const PreviewLayout& layout, int32_t column, int32_t row)
{
    PreviewCopy copy;
    copy.x = layout.startX + column * layout.stepX;
    copy.y = layout.startY + row * layout.stepY;
    copy.width = std::min(layout.copyWidth, layout.paneWidth - copy.x);
    copy.height = std::min(layout.copyHeight, layout.paneHeight - copy.y);
    copy.sourceWidth = Scaled(layout.usedWidth, copy.width, layout.copyWidth);
    copy.sourceHeight = Scaled(layout.usedHeight, copy.height, layout.copyHeight);
    // A copy cut at the bottom shows the picture's top rows. The stretching
    // blit counts source rows from the picture's bottom row whether it is
    // stored bottom-up or top-down, so both start that many rows up.
    const bool whole = copy.height == layout.copyHeight;
    copy.sourceY = whole ? 0 : layout.pictureHeight - copy.sourceHeight;
    return copy;
}

int32_t SkipPreviewRows(PreviewLayout* layout, const DibHeader& header)
{
    const uint32_t bits = header.biBitCount;
    const bool uncompressed = header.biCompression == 0 || header.biCompression == 3 || header.biCompression == 6;
    const bool whole = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!uncompressed || !whole || header.biWidth < 1 || layout->rows < 1 || layout->copyHeight < 1) return 1;
    const uint64_t rowBits = (static_cast<uint64_t>(header.biWidth) * bits + 31) / 32 * 32;
    int64_t step = std::min<int64_t>(layout->usedHeight / layout->copyHeight, INT32_MAX * uint64_t{bits} / rowBits);
    while (step > 1 && step * rowBits % bits != 0) --step;  // 24 bits: three rows may be needed for a whole pixel
    if (step <= 1) return 1;
    layout->usedHeight = static_cast<int32_t>(layout->usedHeight / step);
    layout->pictureHeight = static_cast<int32_t>(layout->pictureHeight / step);
    return static_cast<int32_t>(step);
}

DibHeader EveryNthRow(const DibHeader& header, int32_t step)
{
    DibHeader rows = header;
    const uint64_t rowBits = (static_cast<uint64_t>(header.biWidth) * header.biBitCount + 31) / 32 * 32;
    rows.biWidth = static_cast<int32_t>(rowBits * step / header.biBitCount);
    rows.biHeight = header.biHeight / step;
    rows.biSizeImage = 0;
    return rows;
}

bool PlacePreviewPane(const ScreenRect& dialog, const ScreenRect& list, const ScreenRect& pane, int32_t clientOriginX,
                      int32_t clientOriginY, int32_t screenWidth, int32_t screenHeight, PanePlacement* placement)
{
    if (screenWidth < 1 || screenHeight < 1) return false;  // no proportions to take
    const int64_t room = (int64_t{dialog.right} - list.right) - (int64_t{clientOriginX} - dialog.left);
    const int32_t height = pane.bottom - pane.top;
    const int32_t width = Scaled(screenWidth, height, screenHeight);
    if (width == pane.right - pane.left || room <= width) return false;

    placement->x = static_cast<int32_t>(list.right - clientOriginX + ((room - width) >> 1));
    placement->y = pane.top - clientOriginY;
    placement->width = width;
    placement->height = height;
    return true;
}
