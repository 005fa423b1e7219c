#include "wallpaper/picture_scan.h"

#include <cstdlib>

#include "wallpaper/picture_names.h"

WIN32_FIND_DATAA findData;
char currentPicturePath[kPathBufferSize];
HWND pictureListBox;

namespace {

constexpr WORD kPictureListId = 1000;

bool AnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

// The wide name in the ANSI code page; false unless it converts back to the
// same name (a '?' or a look-alike names another file, or none).
bool ExactAnsiName(const WCHAR* wide, char* name, int size)
{
    if (!WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, name, size, nullptr, nullptr)) return false;
    WCHAR back[MAX_PATH];
    return MultiByteToWideChar(CP_ACP, 0, name, -1, back, MAX_PATH) && lstrcmpW(back, wide) == 0;
}

// Fills findData from the entry when it is a picture file that can be opened
// by an ANSI name: its own, else its short name. Folders never count.
bool TakePicture(const WIN32_FIND_DATAW& entry)
{
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    char name[MAX_PATH];
    const bool exact = ExactAnsiName(entry.cFileName, name, MAX_PATH);
    if (!exact) WideCharToMultiByte(CP_ACP, 0, entry.cFileName, -1, name, MAX_PATH, nullptr, nullptr);
    if (!IsPictureName(name)) return false;  // the extension is ASCII, whatever the rest became
    if (!exact && !(entry.cAlternateFileName[0] && ExactAnsiName(entry.cAlternateFileName, name, MAX_PATH)))
        return false;

    findData.dwFileAttributes = entry.dwFileAttributes;
    findData.ftCreationTime = entry.ftCreationTime;
    findData.ftLastAccessTime = entry.ftLastAccessTime;
    findData.ftLastWriteTime = entry.ftLastWriteTime;
    findData.nFileSizeHigh = entry.nFileSizeHigh;
    findData.nFileSizeLow = entry.nFileSizeLow;
    lstrcpynA(findData.cFileName, name, MAX_PATH);
    findData.cAlternateFileName[0] = '\0';
    return true;
}

}  // namespace

int JoinPath(char* destination, const char* folder, const char* name)
{
    return JoinPathWith(destination, folder, name, AnsiLeadByte);
}

int ScanPictureFolder(HWND dialog, int stopIndex, const char* folder)
{
    // The pick use must never answer k when it did not stop at picture k.
    const int notFound = stopIndex >= 0 ? -1 : 0;
    if (dialog) SendMessageA(pictureListBox, LB_RESETCONTENT, 0, 0);  // emptied even if the folder is unreadable

    char pattern[kPathBufferSize];
    if (!JoinPath(pattern, folder, "*.*")) return notFound;  // empty folder, or a path too long
    // Wide names, so that a name the code page cannot hold is seen for what it is.
    WCHAR widePattern[kPathBufferSize];
    if (!MultiByteToWideChar(CP_ACP, 0, pattern, -1, widePattern, kPathBufferSize)) return notFound;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(widePattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return notFound;  // no such folder, or nothing in it

    int count = 0;
    bool stopped = false;
    do {
        if (!TakePicture(entry)) continue;
        if (count == stopIndex) {
            stopped = true;
            break;
        }
        if (dialog) SendMessageA(pictureListBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(findData.cFileName));
        ++count;
    } while (FindNextFileW(search, &entry));
    FindClose(search);

    if (dialog && count > 0) {
        // The list sorts its entries, so the position picks among sorted names.
        SendMessageA(pictureListBox, LB_SETCURSEL, static_cast<WPARAM>(rand() % count), 0);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kPictureListId, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(pictureListBox));
    }
    if (stopIndex >= 0) return stopped ? stopIndex : notFound;
    return count;
}
