#include "settings/preview_pane.h"

#include <cstdint>
#include <cstring>

#include "settings/preview_layout.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/fit_to_screen.h"
#include "wallpaper/picture_layout.h"
#include "wallpaper/picture_scan.h"

HWND previewPane;
WNDPROC previewDefaultProc;

namespace {

ScreenRect WindowRectOf(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// The header, masks and colour table of a picture seen as every n-th row of
// the block's: the blit walks only the rows it shows.
union RowsInfo {
    DibHeader header;
    uint32_t words[320];
};

// Draws the picture at `block` (pictureBlock, locked) in the working mode, copy by copy, column by column.
void DrawPicture(HDC dc, DibHeader* block, int32_t paneWidth, int32_t paneHeight)
{
    FitToScreen(&dialogJob);
    // Where the pixels start and how large the picture is, read from the block
    // as the loader reads it: the job's own pointers may have moved on (a
    // change leaves the shrunk picture's header there).
    WallpaperJob picture = dialogJob;
    picture.header = block;
    if (AcceptPicture(&picture, currentPicturePath) != 0) return;

    PreviewLayout layout = LayOutPreview(picture, paneWidth, paneHeight);
    const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(block);
    static RowsInfo rows;
    const uint64_t infoBytes = picture.sourceBits - reinterpret_cast<uint8_t*>(block);
    const int32_t step = infoBytes <= sizeof rows ? SkipPreviewRows(&layout, *block) : 1;
    if (step > 1) {
        std::memcpy(&rows, block, infoBytes);
        rows.header = EveryNthRow(*block, step);
        info = reinterpret_cast<const BITMAPINFO*>(&rows);
    }
    for (int32_t column = 0; column < layout.columns; ++column) {
        for (int32_t row = 0; row < layout.rows; ++row) {
            const PreviewCopy copy = PreviewCopyAt(layout, column, row);
            const int previous = SetStretchBltMode(dc, COLORONCOLOR);
            StretchDIBits(dc, copy.x, copy.y, copy.width, copy.height, 0, copy.sourceY, copy.sourceWidth,
                          copy.sourceHeight, picture.sourceBits, info, DIB_RGB_COLORS, SRCCOPY);
            if (previous != 0) SetStretchBltMode(dc, previous);
        }
    }
}

// pipelineBusy keeps a change or a preview load, started from a nested
// message loop, from replacing the picture while it is drawn.
void PaintPreview(HWND window)
{
    pipelineBusy = 1;
    FitPreviewPane();
    RECT client;
    GetClientRect(window, &client);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BACKGROUND));
    // Another job's load, or a failed one, leaves dialogJob pointing at a freed block.
    if (pictureBlock && pictureJob == &dialogJob) {
        void* block = GlobalLock(pictureBlock);
        if (block) {
            DrawPicture(dc, static_cast<DibHeader*>(block), client.right, client.bottom);
            GlobalUnlock(pictureBlock);
        }
    }
    EndPaint(window, &paint);
    pipelineBusy = 0;
}

}  // namespace

LRESULT CALLBACK PreviewPaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Painted here, the static finds nothing left to paint; while busy it
    // paints its own empty face.
    if (message == WM_PAINT && !pipelineBusy) PaintPreview(window);
    return CallWindowProcA(previewDefaultProc, window, message, wParam, lParam);
}

void FitPreviewPane()
{
    HWND dialog = GetParent(previewPane);
    POINT clientOrigin{0, 0};
    ClientToScreen(dialog, &clientOrigin);
    PanePlacement place;
    if (PlacePreviewPane(WindowRectOf(dialog), WindowRectOf(pictureListBox), WindowRectOf(previewPane), clientOrigin.x,
                         clientOrigin.y, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), &place))
        MoveWindow(previewPane, place.x, place.y, place.width, place.height, TRUE);
}
