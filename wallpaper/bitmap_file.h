// The file header of kestrova.bmp: 'BM', the total size, two zero reserved
// fields and the offset of the pixels. No colour table is written: the file
// holds the header and then the pixels, little-endian throughout.
#pragma once

#include <cstdint>

#include "base/dib_image.h"

constexpr uint32_t kBitmapFileHeaderSize = 14;

// Fills the 14 bytes at `fileHeader` for a file of the given info header
// (header.biSize bytes) followed by header.biSizeImage pixel bytes.
void FillBitmapFileHeader(uint8_t* fileHeader, const DibHeader& header);
