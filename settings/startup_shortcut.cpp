#include "settings/startup_shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "base/app_state.h"
#include "settings/settings_format.h"

namespace {

// The shell's published identifiers, spelled out here: taking them from
// libuuid would link in its whole table of identifiers, a third of the program.
const CLSID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

}  // namespace

void CreateStartupShortcut()
{
    if (appState.shortcutPath[0] == '\0') return;  // the Startup folder is unknown
    const HRESULT started = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(kPersistFile, reinterpret_cast<void**>(&file)))) {
            SetFileExtension(appState.programPath, appState.programPathLength, "exe");
            link->SetPath(appState.programPath);
            link->SetDescription(nullptr);
            link->SetArguments("auto");
            link->SetWorkingDirectory(nullptr);
            link->SetIconLocation(nullptr, 0);
            link->SetShowCmd(SW_SHOWNORMAL);
            wchar_t widePath[MAX_PATH];
            if (MultiByteToWideChar(CP_ACP, 0, appState.shortcutPath, -1, widePath, MAX_PATH) > 0)
                file->Save(widePath, TRUE);
            file->Release();
        }
        link->Release();
    }
    // Only a start of our own is ended here; COM already running in this thread stays.
    if (SUCCEEDED(started)) CoUninitialize();
}

void DeleteStartupShortcut()
{
    if (GetFileAttributesA(appState.shortcutPath) != INVALID_FILE_ATTRIBUTES)
        DeleteFileA(appState.shortcutPath);
}
