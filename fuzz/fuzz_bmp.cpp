// Arbitrary bytes as the part of a .bmp file the reader keeps (everything after the 14-byte file header): the
// layout check, then for what it takes, the picture fields and the fit on a few screens. Every byte that GDI or
// the writer may read, worked out here the plain way, is touched, so ASan reports a bound that is too generous.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

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

void CheckFit(WallpaperJob* job, int32_t screenWidth, int32_t screenHeight)
{
    FitToScreenSize(job, screenWidth, screenHeight);
    // A thin picture stretched may round its screen-shaped side down to 0: GDI then draws nothing.
    const bool sound = job->targetWidth >= 1 && job->originX >= 0 && job->originX + job->targetWidth <= screenWidth &&
                       job->targetHeight >= 1 && job->originY >= 0 && job->originY + job->targetHeight <= screenHeight &&
                       job->sourceRectWidth >= 0 && job->sourceRectWidth <= job->sourceWidth &&
                       job->sourceRectHeight >= 0 && job->sourceRectHeight <= job->sourceHeight &&
                       job->needsShrink == (job->sourceWidth > screenWidth && job->sourceHeight > screenHeight);
    if (!sound) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kBmpMinimumImageSize) return 0;  // the reader refuses shorter files before it looks inside
    std::vector<uint8_t> image(data, data + size);  // an exact, aligned copy, like the reader's global block
    WallpaperJob job{};
    job.header = reinterpret_cast<DibHeader*>(image.data());
    if (CheckBmpImage(image.data(), static_cast<uint32_t>(size)) != 0 || AcceptPicture(&job, "fuzz.bmp") != 0) return 0;
    const DibHeader& header = *job.header;
    // GDI's reading: the header, bit-field masks at byte 40 (after a 40-byte header, they come before the
    // colour table), up to 256 colour entries when biClrUsed names them at any depth, then the rows.
    const uint32_t masks = header.biCompression == 3 ? 12 : header.biCompression == 6 ? 16 : 0;
    const uint64_t colours = header.biClrUsed ? (header.biClrUsed < 256 ? header.biClrUsed : 256)
                                              : header.biBitCount <= 8 ? 1u << header.biBitCount : 0;
    const uint64_t tableStart = header.biSize + (header.biSize == 40 ? masks : 0);
    const uint64_t rowBytes = (static_cast<uint64_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
    Touch(image.data(), header.biSize);
    Touch(image.data() + 40, masks);
    Touch(image.data() + tableStart, 4 * colours);
    if (job.sourceBits != image.data() + tableStart + 4 * colours) __builtin_trap();  // GDI would draw the wrong bytes
    Touch(job.sourceBits, header.biCompression == 0 || masks ? rowBytes * static_cast<uint64_t>(job.sourceHeight)
                                                              : header.biSizeImage);
    for (job.displayMode = 0; job.displayMode < 3; ++job.displayMode)
        for (const auto& [width, height] : {std::pair{1024, 768}, {1920, 1080}, {1, 1}}) CheckFit(&job, width, height);
    return 0;
}
