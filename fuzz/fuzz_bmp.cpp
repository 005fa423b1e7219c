// Arbitrary bytes as the part of a .bmp file the reader keeps (everything after
// the 14-byte file header): the layout check, then for what it takes, the
// picture fields and the fit on a few screens. Every byte that GDI or the
// writer may read is touched, so ASan reports a bound that is too generous.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "wallpaper/fit_to_screen.h"
#include "wallpaper/picture_layout.h"

namespace {

volatile uint8_t sink;

void Touch(const uint8_t* bytes, uint64_t count)
{
    uint8_t sum = 0;
    for (uint64_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
    sink = sum;
}

void Require(bool condition)
{
    if (!condition) __builtin_trap();
}

// Worked out here the plain way, apart from the check under test.
void TouchEverythingDescribed(const WallpaperJob& job)
{
    const DibHeader& header = *job.header;
    const uint8_t* start = reinterpret_cast<const uint8_t*>(job.header);
    Touch(start, header.biSize);
    Touch(job.outputBits, static_cast<uint64_t>(job.sourceBits - job.outputBits));  // colour table
    if (header.biCompression == 3) Touch(start + 40, 12);
    if (header.biCompression == 6) Touch(start + 40, 16);
    if (header.biCompression == 0 || header.biCompression == 3 || header.biCompression == 6) {
        const uint64_t rowBytes = (static_cast<uint64_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
        Touch(job.sourceBits, rowBytes * static_cast<uint64_t>(job.sourceHeight));
    } else {
        Touch(job.sourceBits, header.biSizeImage);
    }
}

void CheckFit(WallpaperJob* job, int32_t screenWidth, int32_t screenHeight)
{
    FitToScreenSize(job, screenWidth, screenHeight);
    Require(job->targetWidth >= 1 && job->targetWidth <= screenWidth);
    Require(job->targetHeight >= 1 && job->targetHeight <= screenHeight);
    // A thin picture stretched may round its screen-shaped side down to 0: GDI then draws nothing.
    Require(job->sourceRectWidth >= 0 && job->sourceRectHeight >= 0);
    Require(job->originX >= 0 && job->originX + job->targetWidth <= screenWidth);
    Require(job->originY >= 0 && job->originY + job->targetHeight <= screenHeight);
    Require(job->needsShrink == (job->sourceWidth > screenWidth && job->sourceHeight > screenHeight));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader refuses files shorter than 58 bytes before it looks inside.
    if (size < kBmpMinimumImageSize) return 0;

    // An exact, aligned copy, like the reader's global block.
    uint8_t* image = static_cast<uint8_t*>(std::malloc(size));
    if (!image) return 0;
    std::memcpy(image, data, size);

    if (CheckBmpImage(image, static_cast<uint32_t>(size)) == 0) {
        WallpaperJob job{};
        job.header = reinterpret_cast<DibHeader*>(image);
        if (AcceptPicture(&job, "fuzz.bmp") == 0) {
            TouchEverythingDescribed(job);
            for (int32_t mode = 0; mode < 3; ++mode) {
                job.displayMode = mode;
                CheckFit(&job, 1024, 768);
                CheckFit(&job, 1920, 1080);
                CheckFit(&job, 1, 1);
            }
        }
    }
    std::free(image);
    return 0;
}
