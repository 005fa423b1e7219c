#include <objbase.h>

#include <cstring>

#include "settings/wallpaper_settings.h"
#include "wallpaper/apply_wallpaper.h"
#include "wallpaper_test_support.h"

namespace {

using ApplyWallpaperTest = WallpaperTest;

std::string Sz(const std::string& text) { return text + '\0'; }
const char* const placementValues[] = {"TileWallpaper", "WallpaperStyle", "WallPaperOriginX", "WallPaperOriginY"};

TEST_F(ApplyWallpaperTest, RegistryRoadWritesPlacementThenSetsTheWallpaper)
{
    // This machine has no Active Desktop object: the registry road is taken.
    struct Case {
        int32_t mode, originX, originY;
        const char *tile, *style;
    };
    const Case cases[] = {{Center, 112, 84, "0", "0"}, {Tile, 0, 0, "1", "0"}, {Stretch, 0, 0, "0", "2"}};
    for (const Case& c : cases) {
        mainJob.displayMode = c.mode;
        mainJob.originX = c.originX;
        mainJob.originY = c.originY;
        const std::string path = "C:\\pictures\\mode" + std::to_string(c.mode) + ".bmp";
        mainJob.applyPath = path.c_str();
        ApplyWallpaper(&mainJob);

        // REG_SZ, with the terminating zero counted: "112" is 4 bytes.
        const std::string expected[] = {Sz(c.tile), Sz(c.style), Sz(std::to_string(c.originX)), Sz(std::to_string(c.originY))};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(DesktopValue(placementValues[i]), expected[i]) << placementValues[i];
        EXPECT_EQ(DesktopValue("Wallpaper"), Sz(path)) << c.mode;
    }
}

// A stand-in for the shell's object, registered for this process only.
struct FakeDesktop : active_desktop::Interface, IClassFactory {
    BOOL activeDesktopOn = TRUE;
    IID requested{};
    DWORD componentsSize = 0, wallpaperOptionsSize = 0, style = 99, applyFlags = 0;
    std::wstring wallpaper;
    int references = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) *object = static_cast<IClassFactory*>(this);
        if (IsEqualIID(iid, active_desktop::kInterfaceId)) *object = static_cast<active_desktop::Interface*>(this);
        if (!*object) return E_NOINTERFACE;
        ++references;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** object) override
    {
        requested = iid;
        *object = static_cast<active_desktop::Interface*>(this);
        ++references;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ApplyChanges(DWORD flags) override { return applyFlags = flags, S_OK; }
    HRESULT STDMETHODCALLTYPE GetWallpaper(LPWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetWallpaper(LPCWSTR path, DWORD) override { return wallpaper = path, S_OK; }
    HRESULT STDMETHODCALLTYPE GetWallpaperOptions(active_desktop::WallpaperOpt*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetWallpaperOptions(const active_desktop::WallpaperOpt* options, DWORD) override
    {
        wallpaperOptionsSize = options->dwSize;
        style = options->dwStyle;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPattern(LPWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPattern(LPCWSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDesktopItemOptions(active_desktop::ComponentsOpt* options, DWORD) override
    {
        componentsSize = options->dwSize;
        options->fActiveDesktop = activeDesktopOn;
        return S_OK;
    }
};

class ActiveDesktopTest : public WallpaperTest {
protected:
    void SetUp() override
    {
        WallpaperTest::SetUp();
        CoInitialize(nullptr);
        ASSERT_EQ(CoRegisterClassObject(active_desktop::kClassId, static_cast<IClassFactory*>(&fake),
                                        CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
                  S_OK);
        for (const char* name : placementValues) SetDesktopValue(name, "before");
        SetDesktopValue("Wallpaper", "before");
    }
    void TearDown() override
    {
        CoRevokeClassObject(cookie);
        CoUninitialize();
        WallpaperTest::TearDown();
    }
    FakeDesktop fake;
    DWORD cookie = 0;
};

TEST_F(ActiveDesktopTest, OnItGetsTheWallpaperAndTheRegistryIsLeftAloneOffTheRegistryRoad)
{
    mainJob.displayMode = Stretch;
    mainJob.applyPath = "C:\\\x95\x5C\\kestrova.bmp";  // "表": converted from the ANSI code page
    const int heldByCom = fake.references;
    ApplyWallpaper(&mainJob);
    ASSERT_EQ(fake.componentsSize, 12u) << "the shell's object was not asked";
    EXPECT_TRUE(IsEqualIID(fake.requested, active_desktop::kInterfaceId));
    EXPECT_EQ(fake.wallpaperOptionsSize, 8u);
    EXPECT_EQ(fake.style, static_cast<DWORD>(displayModeTable[Stretch].activeDesktopStyle));
    EXPECT_EQ(fake.applyFlags, 7u);
    wchar_t expected[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, mainJob.applyPath, -1, expected, MAX_PATH);
    EXPECT_EQ(fake.wallpaper, expected);
    EXPECT_EQ(fake.references, heldByCom);  // released
    for (const char* name : placementValues) EXPECT_EQ(DesktopValue(name), Sz("before")) << name;
    EXPECT_EQ(DesktopValue("Wallpaper"), Sz("before"));  // SystemParametersInfoA not called

    fake = FakeDesktop{};
    fake.activeDesktopOn = FALSE;
    fake.references = heldByCom;
    mainJob.displayMode = Tile;
    mainJob.applyPath = "C:\\pictures\\tile.bmp";
    ApplyWallpaper(&mainJob);
    ASSERT_EQ(fake.componentsSize, 12u);
    EXPECT_TRUE(fake.wallpaper.empty());
    EXPECT_EQ(fake.references, heldByCom);
    EXPECT_EQ(DesktopValue("TileWallpaper"), Sz("1"));
    EXPECT_EQ(DesktopValue("Wallpaper"), Sz("C:\\pictures\\tile.bmp"));
}

}  // namespace
