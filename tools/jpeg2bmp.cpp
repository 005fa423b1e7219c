// jpeg2bmp IN.jpg OUT.bmp [1|2|4|8] [--reference]
// Decodes IN.jpg with the program's decoder at 1/1, or at 1/2, 1/4 or 1/8 of
// its size, and, when that succeeds, writes OUT.bmp as the program writes
// kestrova.bmp: the 14-byte file header, the 40-byte info header and the
// pixel rows. Prints result=N and exits with N.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jpeg/jpeg_decoder.h"
#include "wallpaper/bitmap_file.h"

namespace {

void* AllocateZeroed(void*, size_t bytes) { return calloc(1, bytes); }
void Release(void*, void* memory) { free(memory); }

// The file image with the zero padding the decoder reads ahead into; false
// when the file cannot be read.
bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    bool ok = fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? ftell(file) : -1;
    ok = ok && size >= 0 && fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes->assign(static_cast<size_t>(size) + kJpegInputPadding, 0);
        ok = fread(bytes->data(), 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
        bytes->resize(static_cast<size_t>(size) + kJpegInputPadding);
    }
    fclose(file);
    return ok;
}

bool WriteBitmap(const char* path, const uint8_t* image) {
    DibHeader header;
    memcpy(&header, image, sizeof header);
    uint8_t fileHeader[kBitmapFileHeaderSize];
    FillBitmapFileHeader(fileHeader, header);
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    bool ok = fwrite(fileHeader, 1, sizeof fileHeader, file) == sizeof fileHeader;
    ok = ok && fwrite(image, 1, kDibHeaderSize + header.biSizeImage, file) == kDibHeaderSize + header.biSizeImage;
    return fclose(file) == 0 && ok;
}

// The options after the two paths: --reference and a scale 1, 2, 4 or 8, in
// any order; false for anything else.
bool ReadOptions(int count, char** options, JpegDecodeMode* mode, int* scale) {
    for (int i = 0; i < count; ++i) {
        const char* option = options[i];
        if (strcmp(option, "--reference") == 0)
            *mode = JPEG_DECODE_REFERENCE;
        else if (strlen(option) == 1 && strchr("1248", option[0]))
            *scale = option[0] - '0';
        else
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    JpegDecodeMode mode = JPEG_DECODE_FAST;
    int scale = 1;
    if (argc < 3 || argc > 5 || !ReadOptions(argc - 3, argv + 3, &mode, &scale)) {
        fprintf(stderr, "usage: jpeg2bmp IN.jpg OUT.bmp [1|2|4|8] [--reference]\n");
        return 64;
    }
    std::vector<uint8_t> file;
    if (!ReadWholeFile(argv[1], &file)) {
        printf("result=%d\n", JPEG_READ_ERROR);
        return JPEG_READ_ERROR;
    }
    const JpegOutputAllocator allocator = {AllocateZeroed, Release, nullptr};
    void* image = nullptr;
    const uint32_t size = static_cast<uint32_t>(file.size() - kJpegInputPadding);
    const JpegResult result = DecodeJpegMemory(file.data(), size, allocator, &image, mode, scale);
    if (result == JPEG_OK) {
        const bool written = WriteBitmap(argv[2], static_cast<const uint8_t*>(image));
        free(image);
        if (!written) {
            fprintf(stderr, "jpeg2bmp: cannot write %s\n", argv[2]);
            return 65;
        }
    }
    printf("result=%d\n", result);
    return result;
}
