// The layout of a loaded picture: where its colour table and pixels lie, and
// whether a BMP file's own header describes only bytes that were read.
#pragma once

#include <cstdint>

#include "base/dib_image.h"
#include "wallpaper/wallpaper_job.h"

// The shortest DibImage the BMP reader takes (the file less its 14-byte
// file header): the 40-byte header and 4 bytes.
constexpr uint32_t kBmpMinimumImageSize = 44;

// Entries of the colour table GDI reads after the header: biClrUsed up to
// 256 at any depth, else 1 << biBitCount up to 8 bits per pixel, else none.
uint64_t DibColourTableEntries(const DibHeader& header);

// Where GDI takes the first pixel row to be: after the header, the bit-field
// masks that follow a 40-byte header, and the colour table.
uint64_t DibPixelOffset(const DibHeader& header);

// Whether the header's pixel rows (padded to 4 bytes) fit in `available`
// bytes. A width below 1 has no rows; no product can overflow.
bool DibRowsFit(const DibHeader& header, uint64_t available);

// 0 when everything the header describes lies inside the `size` bytes at
// `image`: the header itself, the colour table, the bit-field masks, and the
// pixel rows (or, for a compressed bitmap, its biSizeImage bytes); else
// JPEG_INVALID. Width below 1 and sizes whose arithmetic overflows are invalid.
int CheckBmpImage(const uint8_t* image, uint32_t size);

// Takes job->header as the loaded picture: sets shrunkBits to null, applyPath,
// outputBits (past the header), sourceBits (at DibPixelOffset) and
// storedHeight. A job whose reduction is 2, 4 or 8 keeps the file's size it
// has, and the block must hold exactly that size reduced; any other reduction
// becomes 1 and the source size is the block's. JPEG_INVALID when the bit
// count, width or height is 0 (or the height has no absolute value), or the
// block holds another size than the reduction says.
int AcceptPicture(WallpaperJob* job, const char* path);
