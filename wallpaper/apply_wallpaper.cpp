#include "wallpaper/apply_wallpaper.h"

#include <cstdio>
#include <cstring>

#include "base/wallpaper_settings.h"

namespace active_desktop {

const CLSID kClassId = {0x75048700, 0xEF1F, 0x11D0, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};
const IID kInterfaceId = {0xF490EB00, 0x1240, 0x11D1, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};

}  // namespace active_desktop

namespace {

// A mode from outside the table is shown centred rather than read past it.
int32_t KnownMode(int32_t mode) { return (mode >= Center && mode <= Stretch) ? mode : Center; }

void ApplyThroughActiveDesktop(active_desktop::Interface* desktop, const WallpaperJob* job)
{
    WCHAR widePath[kPathBufferSize] = {};
    MultiByteToWideChar(CP_ACP, 0, job->applyPath, -1, widePath, kPathBufferSize);
    widePath[kPathBufferSize - 1] = L'\0';
    desktop->SetWallpaper(widePath, 0);
    const active_desktop::WallpaperOpt options = {
        sizeof options, static_cast<DWORD>(displayModeTable[KnownMode(job->displayMode)].activeDesktopStyle)};
    desktop->SetWallpaperOptions(&options, 0);
    desktop->ApplyChanges(active_desktop::kApplyAll);
}

void SetStringValue(HKEY key, const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(std::strlen(text) + 1));
}

void ApplyThroughRegistry(const WallpaperJob* job)
{
    // Only written: full access is refused under restrictive policies.
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        SetStringValue(key, "TileWallpaper", job->displayMode == Tile ? "1" : "0");
        SetStringValue(key, "WallpaperStyle", job->displayMode == Stretch ? "2" : "0");
        char number[16];
        std::snprintf(number, sizeof number, "%d", static_cast<int>(job->originX));
        SetStringValue(key, "WallPaperOriginX", number);
        std::snprintf(number, sizeof number, "%d", static_cast<int>(job->originY));
        SetStringValue(key, "WallPaperOriginY", number);
        RegCloseKey(key);
    }
    // Without SPIF_SENDWININICHANGE: no change notice is broadcast.
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(job->applyPath), SPIF_UPDATEINIFILE);
}

}  // namespace

void ApplyWallpaper(WallpaperJob* job)
{
    active_desktop::ComponentsOpt components = {sizeof components, FALSE, FALSE};
    CoInitialize(nullptr);
    active_desktop::Interface* desktop = nullptr;
    const HRESULT created = CoCreateInstance(active_desktop::kClassId, nullptr, CLSCTX_INPROC_SERVER,
                                             active_desktop::kInterfaceId, reinterpret_cast<void**>(&desktop));
    if (SUCCEEDED(created) && desktop) {
        desktop->GetDesktopItemOptions(&components, 0);
        if (components.fActiveDesktop) ApplyThroughActiveDesktop(desktop, job);
        desktop->Release();
    }
    CoUninitialize();
    if (components.fActiveDesktop) return;  // the shell keeps the wallpaper; registry left alone
    ApplyThroughRegistry(job);
}
