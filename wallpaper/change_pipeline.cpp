// ChangeWallpaper: load, shrink when larger than the screen both ways, write
// kestrova.bmp unless a .bmp can be shown from its own file, and apply.
#include "wallpaper/change_pipeline.h"

#include "base/alert_user.h"
#include "base/messages.h"
#include "wallpaper/apply_wallpaper.h"
#include "wallpaper/picture_names.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper/pipeline_steps.h"

int pipelineBusy;
char tempPath[kPathBufferSize];
uint8_t bmpFileHeader[kBitmapFileHeaderSize];

namespace {

// The loaded picture is written from its own block: its header and
// biSizeImage pixel bytes must lie inside that block.
bool PixelsInsidePictureBlock(const WallpaperJob* job)
{
    const uint8_t* start = reinterpret_cast<const uint8_t*>(job->header);
    const uint64_t needed = static_cast<uint64_t>(job->outputBits - start) + job->header->biSizeImage;
    return needed <= GlobalSize(pictureBlock);
}

}  // namespace

// The new bitmap is written beside kestrova.bmp and replaces it only once
// every byte is on disk: the desktop may be showing the old one, and a cut
// file would be what the next sign-in shows.
int WriteBitmapFile(WallpaperJob* job)
{
    const DibHeader& header = *job->header;
    if (!job->shrunkBits && !PixelsInsidePictureBlock(job)) return 1;  // would read past the picture

    FillBitmapFileHeader(bmpFileHeader, header);
    char partPath[kPathBufferSize];
    if (!JoinPath(tempPath, job->folder, kOutputBitmapName) || !JoinPath(partPath, job->folder, kOutputBitmapPartName))
        return 1;  // no folder, or path too long
    HANDLE file = CreateFileA(partPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;  // folder missing or read-only
    int failed = WriteChunk(file, bmpFileHeader, sizeof bmpFileHeader) ||
                 WriteChunk(file, job->header, header.biSize) ||
                 WriteChunk(file, job->outputBits, header.biSizeImage);
    if (!CloseHandle(file)) failed = 1;
    if (!failed && !MoveFileExA(partPath, tempPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) failed = 1;
    if (failed) DeleteFileA(partPath);
    return failed;
}

int WriteChunk(HANDLE file, const void* data, DWORD length)
{
    DWORD written = 0;
    if (WriteFile(file, data, length, &written, nullptr) && written == length) return 0;
    AlertUser(MessageText(MSG_TEMP_WRITE_FAILED));
    return 1;
}

void WriteAndApplyBitmap(WallpaperJob* job)
{
    if (WriteBitmapFile(job) != 0) {
        AlertUser(MessageText(MSG_TEMP_NOT_CREATED));
        return;
    }
    job->applyPath = tempPath;
    ApplyWallpaper(job);
}

void ChangeWallpaper(WallpaperJob* job)
{
    if (pipelineBusy) return;  // a change is halted in a message box; it goes on afterwards
    pipelineBusy = 1;
    if (LoadPicture(job) != 0) {  // message shown, no picture kept
        pipelineBusy = 0;
        return;
    }

    if (job->needsShrink) {
        job->header = ShrinkToScreen(job);
        if (job->header) WriteAndApplyBitmap(job);
    } else if (PictureExtensionIndex(currentPicturePath) == 0) {
        ApplyWallpaper(job);  // a .bmp that fits is shown from its own file
    } else {
        WriteAndApplyBitmap(job);
    }

    if (job->shrunkBits) GlobalFree(job->shrunkBits);
    job->shrunkBits = nullptr;
    GlobalUnlock(pictureBlock);  // the picture stays for the preview
    pipelineBusy = 0;
}
