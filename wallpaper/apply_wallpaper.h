// The last step of a change: the file at job->applyPath becomes the desktop
// wallpaper, placed as job->displayMode asks (Win32). Reports nothing.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "wallpaper/wallpaper_job.h"

// The part of the shell's Active Desktop interface that the apply calls,
// declared here because the system headers offer it only with the Internet
// headers. Slots in the interface's own order; later ones are never called.
namespace active_desktop {

struct ComponentsOpt {
    DWORD dwSize;
    BOOL fEnableComponents;
    BOOL fActiveDesktop;
};

struct WallpaperOpt {
    DWORD dwSize;
    DWORD dwStyle;
};

struct Interface : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ApplyChanges(DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWallpaper(LPWSTR path, UINT length, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWallpaper(LPCWSTR path, DWORD reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWallpaperOptions(WallpaperOpt* options, DWORD reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWallpaperOptions(const WallpaperOpt* options, DWORD reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPattern(LPWSTR pattern, UINT length, DWORD reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPattern(LPCWSTR pattern, DWORD reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDesktopItemOptions(ComponentsOpt* options, DWORD reserved) = 0;
};

constexpr DWORD kApplyAll = 7;  // save, regenerate and refresh

extern const CLSID kClassId;      // {75048700-EF1F-11D0-9888-006097DEACF9}
extern const IID kInterfaceId;    // {F490EB00-1240-11D1-9888-006097DEACF9}

}  // namespace active_desktop

void ApplyWallpaper(WallpaperJob* job);
