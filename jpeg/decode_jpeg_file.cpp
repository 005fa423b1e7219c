// Reads the whole file into one zero-padded global block and decodes it into
// a movable global block.
#include "jpeg/decode_jpeg_file.h"

namespace {

// Every block the output allocator hands out is a locked movable block; the
// handle is found again from its address.
void* AllocateLockedBlock(void*, size_t bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!block) return NULL;
    void* memory = GlobalLock(block);
    if (!memory) GlobalFree(block);
    return memory;
}

void ReleaseLockedBlock(void*, void* memory) {
    HGLOBAL block = GlobalHandle(memory);
    GlobalUnlock(block);
    GlobalFree(block);
}

// The scale the picker asks for; 1 without a picker or a readable frame size.
int PickScale(const uint8_t* fileBytes, DWORD size, JpegScalePicker pick, void* context) {
    uint32_t width = 0, height = 0;
    if (!pick || ReadJpegFrameSize(fileBytes, size, &width, &height) != JPEG_OK) return 1;
    return pick(context, width, height);
}

}  // namespace

JpegResult DecodeJpegFile(HANDLE file, HGLOBAL* image, JpegScalePicker pick, void* context) {
    if (*image) GlobalFree(*image);
    *image = NULL;

    JpegResult result = JPEG_OK;
    HGLOBAL fileMemory = NULL;
    uint8_t* fileBytes = NULL;
    const DWORD size = SetFilePointer(file, 0, NULL, FILE_END);
    if (size == INVALID_SET_FILE_POINTER) result = JPEG_READ_ERROR;  // size unavailable
    if (result == JPEG_OK) {
        SetFilePointer(file, 0, NULL, FILE_BEGIN);
        // bytesLeft is 32-bit signed: no larger file can be decoded.
        if (size > 0x7FFFFFFFu - kJpegInputPadding) result = JPEG_NO_MEMORY;
    }
    if (result == JPEG_OK) {
        fileMemory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + kJpegInputPadding);
        if (fileMemory) fileBytes = static_cast<uint8_t*>(GlobalLock(fileMemory));
        if (!fileBytes) result = JPEG_NO_MEMORY;
    }
    DWORD count = 0;
    if (result == JPEG_OK && !ReadFile(file, fileBytes, size, &count, NULL)) result = JPEG_READ_ERROR;
    CloseHandle(file);

    if (result == JPEG_OK) {
        const JpegOutputAllocator allocator = {AllocateLockedBlock, ReleaseLockedBlock, NULL};
        void* picture = NULL;
        const int scale = PickScale(fileBytes, size, pick, context);
        result = DecodeJpegMemory(fileBytes, size, allocator, &picture, JPEG_DECODE_FAST, scale);
        if (result == JPEG_OK) {
            *image = GlobalHandle(picture);
            GlobalUnlock(*image);
        }
    }
    if (fileBytes) GlobalUnlock(fileMemory);
    if (fileMemory) GlobalFree(fileMemory);
    return result;
}
