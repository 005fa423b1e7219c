// The picture loader's entry to the JPEG decoder: one open file in, one
// movable global block holding a 24-bit DibImage out.
#pragma once

#include <windows.h>

#include "jpeg/jpeg_decoder.h"

// Chooses the scale (1, 2, 4 or 8) a picture of the given frame size is
// decoded at; context is the one handed to DecodeJpegFile.
typedef int (*JpegScalePicker)(void* context, uint32_t width, uint32_t height);

// Owns `file` from the call on and closes it on every path. A block already
// in *image is freed and *image cleared first. With a picker, the frame size
// read from the file is handed to it and the picture is decoded at the scale
// it returns (a scale other than 1, 2, 4 or 8 is JPEG_INVALID); when the
// frame size cannot be read, the picker is not asked and the decode at 1/1
// gives the result. On JPEG_OK *image holds an unlocked GMEM_MOVEABLE |
// GMEM_ZEROINIT block with the DibImage, which the caller owns; on any other
// result it is null. Shows nothing.
JpegResult DecodeJpegFile(HANDLE file, HGLOBAL* image, JpegScalePicker pick = nullptr, void* context = nullptr);
