#include "wallpaper/bitmap_file.h"

namespace {

void Put16(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* out, uint32_t value)
{
    Put16(out, value);
    Put16(out + 2, value >> 16);
}

}  // namespace

void FillBitmapFileHeader(uint8_t* fileHeader, const DibHeader& header)
{
    const uint32_t pixelOffset = kBitmapFileHeaderSize + header.biSize;
    fileHeader[0] = 'B';
    fileHeader[1] = 'M';
    Put32(fileHeader + 2, header.biSizeImage + pixelOffset);
    Put16(fileHeader + 6, 0);
    Put16(fileHeader + 8, 0);
    Put32(fileHeader + 10, pixelOffset);
}
