#include "wallpaper/picture_names.h"

#include <cstring>

#include "wallpaper/wallpaper_job.h"

namespace {

const char* const pictureExtensions[] = {"bmp", "jpg", "jpeg"};

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(const char* text, const char* lowerCase)
{
    for (; *text && *lowerCase; ++text, ++lowerCase) {
        if (AsciiLower(*text) != *lowerCase) return false;
    }
    return *text == *lowerCase;
}

// Length of a string that must fit a path buffer; kPathBufferSize when it does not end in time.
size_t BoundedLength(const char* text)
{
    size_t length = 0;
    while (length < kPathBufferSize && text[length]) ++length;
    return length;
}

}  // namespace

int PictureExtensionIndex(const char* name)
{
    const char* dot = std::strrchr(name, '.');
    if (!dot) return -1;
    for (int index = 0; index < 3; ++index) {
        if (EqualsIgnoringAsciiCase(dot + 1, pictureExtensions[index])) return index;
    }
    return -1;
}

bool IsOutputBitmapName(const char* name) { return EqualsIgnoringAsciiCase(name, kOutputBitmapName); }

bool IsPictureName(const char* name) { return PictureExtensionIndex(name) >= 0 && !IsOutputBitmapName(name); }

bool IsCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

int JoinPathWith(char* destination, const char* folder, const char* name, LeadByteTest isLeadByte)
{
    if (folder[0] == '\0') return 0;  // no folder to join onto

    // Walk by characters: the trail byte of "表" or "ソ" is 0x5C, which is not a separator.
    size_t folderLength = 0;
    unsigned char lastSingleByte = 0;
    while (folderLength < kPathBufferSize && folder[folderLength]) {
        const unsigned char byte = static_cast<unsigned char>(folder[folderLength]);
        if (isLeadByte(byte) && folderLength + 1 < kPathBufferSize && folder[folderLength + 1]) {
            lastSingleByte = 0;
            folderLength += 2;
        } else {
            lastSingleByte = byte;
            folderLength += 1;
        }
    }
    const size_t separatorLength = (lastSingleByte == ':' || lastSingleByte == '\\') ? 0 : 1;
    const size_t nameLength = BoundedLength(name);
    const size_t total = folderLength + separatorLength + nameLength;
    if (total >= kPathBufferSize) {  // would not fit with its terminating zero
        destination[0] = '\0';
        return 0;
    }
    std::memcpy(destination, folder, folderLength);
    if (separatorLength) destination[folderLength] = '\\';
    std::memcpy(destination + folderLength + separatorLength, name, nameLength);
    destination[total] = '\0';
    return static_cast<int>(total);
}

int FolderPartLength(const char* path, LeadByteTest isLeadByte)
{
    int folderLength = 0;
    for (int at = 0; at < static_cast<int>(kPathBufferSize) && path[at];) {
        const unsigned char byte = static_cast<unsigned char>(path[at]);
        if (isLeadByte(byte) && at + 1 < static_cast<int>(kPathBufferSize) && path[at + 1]) {
            at += 2;
            continue;
        }
        at += 1;
        if (byte == '\\') folderLength = at;
    }
    return folderLength;
}
