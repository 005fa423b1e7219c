#include "wallpaper/picture_scan.h"

#include <cstdlib>

#include "wallpaper/picture_names.h"

WIN32_FIND_DATAA findData;
char currentPicturePath[kPathBufferSize];
HWND pictureListBox;

namespace {

constexpr WORD kPictureListId = 1000;

bool AnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

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
    HANDLE search = FindFirstFileA(pattern, &findData);
    if (search == INVALID_HANDLE_VALUE) return notFound;  // no such folder, or nothing in it

    int count = 0;
    bool stopped = false;
    do {
        if (!IsPictureName(findData.cFileName)) continue;
        if (count == stopIndex) {
            stopped = true;
            break;
        }
        if (dialog) SendMessageA(pictureListBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(findData.cFileName));
        ++count;
    } while (FindNextFileA(search, &findData));
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
