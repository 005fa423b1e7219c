// Arbitrary bytes as the part of a .bmp file the reader keeps (after the 14-byte file header): what the layout check
// takes, the bytes GDI then reads are touched (walked as GDI lays them out) so ASan reports a bound too generous.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "wallpaper/fit_to_screen.h"
#include "wallpaper/picture_layout.h"

namespace {

volatile uint8_t sink;

// The info header (later versions, 52 to 124 bytes, hold their masks), the masks after a 40-byte one, the colour
// table (biClrUsed entries, at most 256, else a full palette up to 8 bits), the rows padded to 4 bytes (or for
// run-length and other codings biSizeImage bytes).
std::vector<std::pair<uint64_t, uint64_t>> GdiReads(const uint8_t* dib)
{
    const auto field = [dib](size_t at, int bytes) {
        uint32_t value = 0;
        while (bytes--) value = value << 8 | dib[at + bytes];
        return value;
    };
    const uint32_t size = field(0, 4), bits = field(14, 2), coding = field(16, 4);
    const int64_t width = static_cast<int32_t>(field(4, 4)), height = static_cast<int32_t>(field(8, 4));
    const uint64_t masks = size != 40 ? 0 : coding == 3 ? 12 : coding == 6 ? 16 : 0;
    uint64_t entries = std::min<uint64_t>(field(32, 4), 256), pixels = field(20, 4);
    if (entries == 0 && bits <= 8) entries = uint64_t{1} << bits;
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bits + 7) / 8;
    if (coding == 0 || coding == 3 || coding == 6) pixels = (rowBytes + (4 - rowBytes % 4) % 4) * (height < 0 ? -height : height);
    return {{0, size}, {size, masks}, {size + masks, 4 * entries}, {size + masks + 4 * entries, pixels}};
}

void CheckFit(WallpaperJob* job, int32_t screenWidth, int32_t screenHeight)
{
    FitToScreenSize(job, screenWidth, screenHeight);
    if (!(job->targetWidth >= 1 && job->originX >= 0 && job->originX + job->targetWidth <= screenWidth &&
          job->targetHeight >= 1 && job->originY >= 0 && job->originY + job->targetHeight <= screenHeight &&
          job->sourceRectWidth >= 0 && job->sourceRectWidth <= job->sourceWidth &&
          job->sourceRectHeight >= 0 && job->sourceRectHeight <= job->sourceHeight &&
          job->needsShrink == (job->sourceWidth > screenWidth && job->sourceHeight > screenHeight)))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kBmpMinimumImageSize) return 0;  // the reader refuses shorter files before it looks inside
    std::vector<uint8_t> image(data, data + size);  // an exact, aligned copy, like the reader's global block
    WallpaperJob job{reinterpret_cast<DibHeader*>(image.data())};
    if (CheckBmpImage(image.data(), static_cast<uint32_t>(size)) != 0 || AcceptPicture(&job, "fuzz.bmp") != 0) return 0;
    const auto reads = GdiReads(image.data());
    for (const auto& [at, count] : reads)
        for (uint64_t i = 0; i < count; ++i) sink = static_cast<uint8_t>(sink + image[at + i]);
    if (job.sourceBits != image.data() + reads.back().first) __builtin_trap();  // GDI would draw the wrong bytes
    for (job.displayMode = 0; job.displayMode < 3; ++job.displayMode)
        for (const auto& [width, height] : {std::pair{1024, 768}, {1920, 1080}, {1, 1}}) CheckFit(&job, width, height);
    return 0;
}
