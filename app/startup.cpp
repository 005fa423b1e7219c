#include "app/startup.h"

#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "app/resident_window.h"
#include "base/messages.h"
#include "settings/settings_file.h"
#include "settings/settings_format.h"

namespace {

// Fills appState.shortcutPath from the user's Startup folder. 1 only when the
// shell's allocator cannot be had (reported by the caller).
int FindShortcutPath()
{
    IMalloc* shellMalloc = nullptr;
    if (FAILED(SHGetMalloc(&shellMalloc)) || shellMalloc == nullptr)
        return 1;

    // An unknown Startup folder leaves the path empty; the item list is only
    // read when the shell filled it.
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_STARTUP, &items)) && items != nullptr) {
        char folder[MAX_PATH] = "";
        if (SHGetPathFromIDListA(items, folder))
            BuildShortcutPath(appState.shortcutPath, folder);
        shellMalloc->Free(items);
    }
    shellMalloc->Release();
    return 0;
}

// Fewer than 24 bits per pixel cannot show the pictures as they are.
bool DisplayHasColourDepth()
{
    HDC screen = GetDC(appState.desktopWindow);
    if (screen == nullptr)
        return false;
    int bitsPerPixel = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(appState.desktopWindow, screen);
    return bitsPerPixel >= 24;
}

// Shows a start-up failure and ends the run.
int Refuse(MessageId message)
{
    AlertUser(MessageText(message));
    return 1;
}

}  // namespace

BOOL IsManualStart(const char* commandTail)
{
    return _stricmp(commandTail != nullptr ? commandTail : "", "auto") != 0;
}

void HandOverToRunningCopy()
{
    // Every box of the program carries the title as caption; the resident
    // window has none and the settings dialog a longer one.
    HWND box = FindWindowA(nullptr, MessageText(MSG_TITLE));
    if (box != nullptr) {
        SetForegroundWindow(box);
        return;
    }
    HWND resident = FindWindowA(kResidentClassName, nullptr);
    if (resident != nullptr) {
        // This copy was just started by the user, so it holds the foreground:
        // passing that on lets the running copy's dialog come to the front.
        DWORD residentProcess = 0;
        GetWindowThreadProcessId(resident, &residentProcess);
        AllowSetForegroundWindow(residentProcess);
        PostMessageA(resident, WM_COMMAND, IDM_SETTINGS, 0);
        return;
    }
    MessageBeep(0);
}

BOOL HasThreeLetterExtension(const char* path, int pathLength)
{
    return pathLength >= 4 && path[pathLength - 4] == '.';
}

void BuildShortcutPath(char* shortcutPath, const char* startupFolder)
{
    static const char shortcutName[] = "\\ミルフォス.lnk";
    size_t folderLength = strlen(startupFolder);

    shortcutPath[0] = '\0';
    if (folderLength == 0 || folderLength + sizeof shortcutName > MAX_PATH)
        return;  // no folder, or the full name would not fit in its buffer
    memcpy(shortcutPath, startupFolder, folderLength);
    memcpy(shortcutPath + folderLength, shortcutName, sizeof shortcutName);
}

int ReportSettingsOutcome(int outcome)
{
    if (outcome == SETTINGS_LOADED)
        return 0;
    appState.settingsFailed = 1;
    if (outcome == SETTINGS_MISSING) {
        // A first manual start has no file yet: the dialog makes one.
        if (appState.manualStart)
            return 0;
        return Refuse(MSG_SETTINGS_MISSING);
    }
    AlertUser(MessageText(MSG_SETTINGS_BROKEN));
    return appState.manualStart ? 0 : 1;
}

int InitInstance()
{
    // The mutex is never released or closed: it marks this copy until the
    // process ends.
    SetLastError(0);
    if (CreateMutexA(nullptr, TRUE, kInstanceMutexName) == nullptr)
        return 1;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        HandOverToRunningCopy();
        return 1;
    }

    srand(static_cast<unsigned>(time(nullptr)));

    // One byte short of the buffer, so the path always keeps its terminator.
    GetModuleFileNameA(nullptr, appState.programPath, MAX_PATH - 1);
    if (FindShortcutPath() != 0)
        return Refuse(MSG_NO_MEMORY);

    appState.programPathLength = static_cast<int>(strlen(appState.programPath));
    if (!HasThreeLetterExtension(appState.programPath, appState.programPathLength))
        return Refuse(MSG_BAD_EXTENSION);

    appState.desktopWindow = GetDesktopWindow();
    if (appState.desktopWindow == nullptr)
        return Refuse(MSG_NO_DESKTOP);
    if (!DisplayHasColourDepth())
        return Refuse(MSG_COLOUR_DEPTH);

    appState.appIcon = LoadIconA(appState.instance, "ICON");

    // kestrova.exe keeps its settings in kestrova.ini beside it.
    SetFileExtension(appState.programPath, appState.programPathLength, "ini");
    return ReportSettingsOutcome(ReadSettingsFile(appState.programPath));
}
