// changebench PICTURE SCREEN_WIDTH SCREEN_HEIGHT RUNS OUT_FOLDER
// Runs the change pipeline on PICTURE in this process, RUNS times, as for a
// screen of the given size, writing kestrova.bmp into OUT_FOLDER and applying
// it, and prints the median time of each stage in milliseconds:
//   read     the file into memory (the JPEG road's padded block; for a .bmp,
//            the file header)
//   decode   the JPEG decoder at the chosen reduction, or the BMP read and
//            layout check, without ...
//   touch    ... the first touch of the output block (allocation and one
//            write per page, done before the decoder or the read gets it)
//   fit      the frame size read, the fit and the reduction chosen from it,
//            and FitToScreen on the decoded picture
//   shrink   the GDI stretch and read-back (0 when no shrink is needed)
//   write    kestrova.bmp
//   apply    the desktop apply
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "jpeg/jpeg_decoder.h"
#include "wallpaper/apply_wallpaper.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/fit_to_screen.h"
#include "wallpaper/picture_layout.h"
#include "wallpaper/picture_names.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper/pipeline_steps.h"

namespace {

enum Stage { Read, Decode, Touch, Fit, Shrink, Write, Apply, StageCount };
const char* const kStageNames[StageCount] = {"read", "decode", "touch", "fit", "shrink", "write", "apply"};

double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int WINAPI PrintBox(HWND, LPCSTR text, LPCSTR, UINT)
{
    std::fprintf(stderr, "changebench: message: %s\n", text);
    return IDOK;
}

double touchTime;

// The decoder's allocator in the program (a locked movable zero-filled
// block), with every page written once here so that its first-touch cost is
// timed apart from the decode.
void* AllocateTouched(void*, size_t bytes)
{
    const double start = Now();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    uint8_t* memory = block ? static_cast<uint8_t*>(GlobalLock(block)) : nullptr;
    for (size_t offset = 0; memory && offset < bytes; offset += 4096) memory[offset] = 0;
    touchTime += Now() - start;
    return memory;
}

void ReleaseBlock(void*, void* memory)
{
    HGLOBAL block = GlobalHandle(memory);
    GlobalUnlock(block);
    GlobalFree(block);
}

// Reads the whole file into a new block with `padding` zero bytes after it.
HGLOBAL ReadWhole(const char* path, DWORD skip, DWORD padding, DWORD* size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    *size = GetFileSize(file, nullptr) - skip;
    SetFilePointer(file, static_cast<LONG>(skip), nullptr, FILE_BEGIN);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, *size + padding);
    DWORD got = 0;
    void* memory = block ? GlobalLock(block) : nullptr;
    const bool read = memory && ReadFile(file, memory, *size, &got, nullptr) && got == *size;
    CloseHandle(file);
    if (memory) GlobalUnlock(block);
    if (!read && block) GlobalFree(block);
    return read ? block : nullptr;
}

// One change; false when a stage failed.
bool RunOnce(const char* path, int32_t screenWidth, int32_t screenHeight, double* times)
{
    WallpaperJob* job = &mainJob;
    double start = Now();
    double fitTime = 0;
    touchTime = 0;
    if (pictureBlock) GlobalFree(pictureBlock);
    pictureBlock = nullptr;
    DWORD size = 0;
    if (PictureExtensionIndex(path) != 0) {
        HGLOBAL file = ReadWhole(path, 0, kJpegInputPadding, &size);
        if (!file) return false;
        times[Read] = Now() - start;
        // As the loader's picker: fitted at the frame's size, decoded at the reduction the fit allows.
        start = Now();
        const uint8_t* bytes = static_cast<uint8_t*>(GlobalLock(file));
        uint32_t frameWidth = 0, frameHeight = 0;
        if (ReadJpegFrameSize(bytes, size, &frameWidth, &frameHeight) != JPEG_OK) return false;
        job->sourceWidth = static_cast<int32_t>(frameWidth), job->sourceHeight = static_cast<int32_t>(frameHeight);
        job->reduction = 1;
        FitToScreenSize(job, screenWidth, screenHeight);
        job->reduction = ChooseReduction(*job);
        fitTime = Now() - start;
        start = Now();
        void* picture = nullptr;
        const JpegOutputAllocator allocator = {AllocateTouched, ReleaseBlock, nullptr};
        const JpegResult result = DecodeJpegMemory(bytes, size, allocator, &picture, JPEG_DECODE_FAST, job->reduction);
        GlobalUnlock(file);
        GlobalFree(file);
        if (result != JPEG_OK) return false;
        pictureBlock = GlobalHandle(picture);
        job->header = static_cast<DibHeader*>(picture);
    } else {
        // As the BMP reader: the file header, then the rest in one read into the picture block.
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        uint8_t fileHeader[kBitmapFileHeaderSize];
        DWORD got = 0;
        size = GetFileSize(file, nullptr) - kBitmapFileHeaderSize;
        const bool headerRead = ReadFile(file, fileHeader, sizeof fileHeader, &got, nullptr) && got == sizeof fileHeader;
        void* memory = headerRead ? AllocateTouched(nullptr, size) : nullptr;
        const bool read = memory && ReadFile(file, memory, size, &got, nullptr) && got == size;
        CloseHandle(file);
        if (memory) pictureBlock = GlobalHandle(memory);
        if (!read) return false;
        times[Read] = Now() - start - touchTime;
        start = Now() - touchTime;  // so that the decode stage below is the check alone
        job->header = static_cast<DibHeader*>(memory);
        job->reduction = 1;
        if (CheckBmpImage(static_cast<uint8_t*>(memory), size) != 0) return false;
    }
    times[Touch] = touchTime;
    times[Decode] = Now() - start - touchTime;

    start = Now();
    if (AcceptPicture(job, path) != 0) return false;
    FitToScreenSize(job, screenWidth, screenHeight);
    times[Fit] = Now() - start + fitTime;

    start = Now();
    if (job->needsShrink && !(job->header = ShrinkToScreen(job))) return false;
    times[Shrink] = Now() - start;

    start = Now();
    if (WriteBitmapFile(job) != 0) return false;
    times[Write] = Now() - start;

    start = Now();
    job->applyPath = tempPath;
    ApplyWallpaper(job);
    times[Apply] = Now() - start;

    if (job->shrunkBits) GlobalFree(job->shrunkBits);
    job->shrunkBits = nullptr;
    GlobalUnlock(pictureBlock);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: changebench PICTURE SCREEN_WIDTH SCREEN_HEIGHT RUNS OUT_FOLDER\n");
        return 64;
    }
    alertMessageBox = PrintBox;
    appState.uiFlags = DialogOpen;
    appState.desktopWindow = GetDesktopWindow();
    const int32_t width = std::atoi(argv[2]), height = std::atoi(argv[3]);
    const int runs = std::max(1, std::atoi(argv[4]));
    lstrcpynA(mainJob.folder, argv[5], kPathBufferSize);
    mainJob.displayMode = 0;

    std::vector<std::vector<double>> samples(StageCount);
    for (int run = 0; run < runs; ++run) {
        double times[StageCount] = {};
        if (!RunOnce(argv[1], width, height, times)) {
            std::fprintf(stderr, "changebench: %s: a stage failed\n", argv[1]);
            return 1;
        }
        for (int stage = 0; stage < StageCount; ++stage) samples[stage].push_back(times[stage]);
    }
    double total = 0;
    for (int stage = 0; stage < StageCount; ++stage) {
        std::vector<double>& values = samples[stage];
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        const double median = values[values.size() / 2];
        total += median;
        std::printf("%s=%.2f ", kStageNames[stage], median);
    }
    std::printf("sum=%.2f\n", total);
    return 0;
}
