// The picture loader's entry to the JPEG decoder: one open file in, one
// movable global block holding a 24-bit DibImage out.
#pragma once

#include <windows.h>

#include "jpeg/jpeg_decoder.h"

// Owns `file` from the call on and closes it on every path. A block already
// in *image is freed and *image cleared first. On JPEG_OK *image holds an
// unlocked GMEM_MOVEABLE | GMEM_ZEROINIT block with the DibImage, which the
// caller owns; on any other result it is null. Shows nothing.
JpegResult DecodeJpegFile(HANDLE file, HGLOBAL* image);
