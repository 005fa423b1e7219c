// The in-memory picture every stage of a change passes along: a 40-byte
// BITMAPINFOHEADER, a colour table only for 8 or fewer bits per pixel, then
// pixel rows padded to 4 bytes (bottom-up for a positive height).
//
// The header is declared here without <windows.h> so that the decoder, the
// fitting and the file-format code build and are tested natively; the Win32
// layer passes a DibHeader* wherever GDI wants a BITMAPINFOHEADER*.
#pragma once

#include <cstdint>

struct DibHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;  // positive: rows stored bottom-up
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

static_assert(sizeof(DibHeader) == 40, "DibHeader must match BITMAPINFOHEADER byte for byte");

constexpr uint32_t kDibHeaderSize = 40;

// Bytes per row of a 24-bit picture: width * 3 rounded up to a multiple of 4.
constexpr uint32_t DibRowBytes24(uint32_t width) { return (width * 3u + 3u) & ~3u; }
