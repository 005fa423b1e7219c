// LoadPicture: a .bmp file read as it is, anything else through the JPEG
// decoder at the reduction the fit allows, then accepted as the job's picture
// and fitted to the screen.
#include <cstdint>
#include <cstdio>

#include "base/alert_user.h"
#include "jpeg/decode_jpeg_file.h"
#include "base/messages.h"
#include "wallpaper/bitmap_file.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/fit_to_screen.h"
#include "wallpaper/picture_layout.h"
#include "wallpaper/picture_names.h"
#include "wallpaper/picture_scan.h"

HGLOBAL pictureBlock;
WallpaperJob* pictureJob;

namespace {

// Reads the file after its 14-byte file header into a new pictureBlock,
// locked into job->header. Returns 0 or a loader code; on failure whatever it
// made is left for the caller's clean-up.
int ReadBmpFile(HANDLE file, WallpaperJob* job)
{
    const DWORD fileSize = GetFileSize(file, nullptr);
    if (fileSize == INVALID_FILE_SIZE) return JPEG_READ_ERROR;  // size unknown

    uint8_t fileHeader[kBitmapFileHeaderSize];
    DWORD got = 0;
    if (!ReadFile(file, fileHeader, sizeof fileHeader, &got, nullptr) || got != sizeof fileHeader)
        return JPEG_READ_ERROR;  // shorter than a file header
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return JPEG_INVALID;  // not a bitmap file

    const DWORD rest = fileSize - kBitmapFileHeaderSize;
    if (rest < kBmpMinimumImageSize) return JPEG_INVALID;  // shorter than 58 bytes

    pictureBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, rest);
    if (!pictureBlock) return JPEG_NO_MEMORY;
    job->header = static_cast<DibHeader*>(GlobalLock(pictureBlock));
    if (!job->header) return JPEG_NO_MEMORY;

    if (!ReadFile(file, job->header, rest, &got, nullptr) || got != rest) return JPEG_READ_ERROR;  // file shrank
    // Its own header must describe only bytes that are here: GDI trusts it.
    const int layout = CheckBmpImage(reinterpret_cast<const uint8_t*>(job->header), rest);
    if (layout != 0) return layout;

    GlobalUnlock(pictureBlock);
    job->header = nullptr;
    return 0;
}

// Once the frame size is known: the picture is fitted at that size, and
// decoded no larger than the shrink needs, which also keeps the block held
// between changes small.
int PickReduction(void* context, uint32_t width, uint32_t height)
{
    WallpaperJob* job = static_cast<WallpaperJob*>(context);
    if (width > INT32_MAX || height > INT32_MAX) return 1;  // no such frame; the decode refuses it
    job->sourceWidth = static_cast<int32_t>(width);
    job->sourceHeight = static_cast<int32_t>(height);
    job->reduction = 1;
    FitToScreen(job);
    job->reduction = ChooseReduction(*job);
    return job->reduction;
}

// Reads or decodes the picture file into pictureBlock; closes the file.
int ReadPictureFile(HANDLE file, WallpaperJob* job)
{
    job->reduction = 1;
    if (PictureExtensionIndex(currentPicturePath) != 0) return DecodeJpegFile(file, &pictureBlock, PickReduction, job);
    const int code = ReadBmpFile(file, job);
    CloseHandle(file);
    return code;
}

// Locks the loaded block as the job's picture and fits it to the screen.
int AcceptLoadedPicture(WallpaperJob* job)
{
    job->header = static_cast<DibHeader*>(GlobalLock(pictureBlock));
    if (!job->header) return JPEG_NO_MEMORY;
    const int code = AcceptPicture(job, currentPicturePath);
    if (code != 0) return code;
    FitToScreen(job);
    return 0;
}

}  // namespace

int LoadPicture(WallpaperJob* job)
{
    if (pictureBlock) GlobalFree(pictureBlock);  // one picture in memory at a time
    pictureBlock = nullptr;
    pictureJob = nullptr;
    job->header = nullptr;

    HANDLE file = CreateFileA(currentPicturePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        char text[400];
        std::snprintf(text, sizeof text, MessageText(MSG_CANNOT_OPEN_FORMAT), currentPicturePath);
        AlertUser(text);
        return -1;
    }

    int code = ReadPictureFile(file, job);
    if (code == 0) code = AcceptLoadedPicture(job);
    if (code == 0) {
        pictureJob = job;
        return 0;  // pictureBlock stays locked once for the caller
    }

    // Gone before the box: its modal loop dispatches paints, which must not find the refused picture.
    if (job->header) GlobalUnlock(pictureBlock);
    if (pictureBlock) GlobalFree(pictureBlock);
    pictureBlock = nullptr;
    job->header = nullptr;
    job->outputBits = job->sourceBits = nullptr;
    AlertUser(LoadFailureText(code));
    return code;
}
