// Which directory entries are pictures, and how a folder and a file name
// become one path. Names and paths are ANSI code page bytes.
#pragma once

// The bitmap every change that needs one writes into the picture folder.
constexpr char kOutputBitmapName[] = "kestrova.bmp";

// The new bitmap while it is written, beside the old one: no picture
// extension, and no longer than the old name, so it fits wherever that does.
constexpr char kOutputBitmapPartName[] = "kestrova.bm~";

// 0 "bmp", 1 "jpg", 2 "jpeg" (ASCII case ignored) for the text after the last
// '.'; -1 for any other extension, no '.', or nothing after it.
int PictureExtensionIndex(const char* name);

// The name is kestrova.bmp, ASCII case ignored.
bool IsOutputBitmapName(const char* name);

// A picture: a known extension, and never our own output bitmap.
bool IsPictureName(const char* name);

// Whether a byte starts a double-byte character in the code page at hand.
typedef bool (*LeadByteTest)(unsigned char byte);

// The lead bytes of code page 932, for builds without the platform's test.
bool IsCp932LeadByte(unsigned char byte);

// Writes folder, a '\' unless the folder's last character is ':' or '\', and
// name into the 260-byte destination. Returns the length written, or 0 when
// the folder is empty (nothing written) or the path would not fit (the
// destination is left empty, so a stale path is never used).
int JoinPathWith(char* destination, const char* folder, const char* name, LeadByteTest isLeadByte);

// The length of the folder part of a path, up to and including its last '\'
// (a trail byte 0x5C is not one); 0 when there is none.
int FolderPartLength(const char* path, LeadByteTest isLeadByte);
