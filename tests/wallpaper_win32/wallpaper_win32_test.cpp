#include <set>

#include "base/app_state.h"
#include "app_test_support.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/apply_wallpaper.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_names.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper/pipeline_steps.h"
#include "wallpaper/random_change.h"

#include <sddl.h>

namespace {

class WallpaperTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        appState.uiFlags = DialogOpen;  // so that "once" can be counted
        appState.desktopWindow = GetDesktopWindow();
        pipelineBusy = 0;
        if (pictureBlock) GlobalFree(pictureBlock), pictureBlock = nullptr;  // an earlier test's picture
        strcpy(mainJob.folder, folder.path().c_str());
    }
    void UsePicture(const char* name, const std::string& bytes)  // no bytes: no file
    {
        if (!bytes.empty()) WriteBytes(folder.Child(name), bytes);
        strcpy(currentPicturePath, folder.Child(name).c_str());
    }
    ScratchFolder folder;
};

// The wallpaper's values on the desktop key.
std::vector<std::string> DesktopValues()
{
    std::vector<std::string> values;
    for (const char* name : {"TileWallpaper", "WallpaperStyle", "WallPaperOriginX", "WallPaperOriginY", "Wallpaper"})
        values.push_back(DesktopValue(name));
    return values;
}

std::string Sz(const std::string& text) { return text + '\0'; }

TEST_F(WallpaperTest, ScanCountsPicksOpensAndTheRandomChangeReachesEveryPicture)
{
    for (const std::string& unsearchable : {std::string(""), folder.Child("nowhere"), folder.path()})
        EXPECT_TRUE(ScanPictureFolder(nullptr, -1, unsearchable.c_str()) == 0 &&
                    ScanPictureFolder(nullptr, 0, unsearchable.c_str()) == -1) << unsearchable;
    ChangeWallpaperAtRandom();
    EXPECT_EQ(BoxTexts(), Shown(MSG_NO_PICTURES));
    for (const char* name : {"a.JPG", "b.Jpeg", "c.bmp", "KESTROVA.BMP", "d.gif", "e", "f.jpg.txt"})
        WriteBytes(folder.Child(name), "x");
    // A folder named like a picture, and names that code page 932 cannot hold ("été", a macron).
    CreateDirectoryA(folder.Child("x.jpg").c_str(), nullptr);
    const std::wstring wideFolder(folder.path().begin(), folder.path().end());
    for (const wchar_t* name : {L"\\\u00e9t\u00e9.bmp", L"\\\u0101.jpg", L"\\kestrova.bm~"})
        CloseHandle(CreateFileW((wideFolder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    pictureListBox = CreateWindowA("LISTBOX", "", LBS_SORT | LBS_HASSTRINGS, 0, 0, 9, 9, 0, 0, 0, 0);
    const int count = ScanPictureFolder(pictureListBox, -1, (folder.path() + "\\").c_str());
    EXPECT_EQ(count, 5);
    EXPECT_EQ(ScanPictureFolder(nullptr, count, mainJob.folder), -1) << "the count and the pick see the same names";
    std::set<std::string> listed, picked;
    for (int k = 0; k < count; ++k) {
        char name[MAX_PATH] = {};
        SendMessageA(pictureListBox, LB_GETTEXT, k, reinterpret_cast<LPARAM>(name));
        ASSERT_EQ(ScanPictureFolder(nullptr, k, mainJob.folder), k);
        for (const char* opened : {name, findData.cFileName}) EXPECT_NE(ReadBytes(folder.Child(opened)), "<missing>") << opened;
        listed.insert(folder.Child(name));
    }
    DestroyWindow(pictureListBox);
    for (unsigned seed = 1; seed <= 30; ++seed)  // each load fails: none of the files is a picture inside
        srand(seed), ChangeWallpaperAtRandom(), picked.insert(currentPicturePath);
    EXPECT_EQ(picked, listed);
    for (const char* name : {"a.JPG", "b.Jpeg", "c.bmp"}) EXPECT_EQ(listed.count(folder.Child(name)), 1u) << name;
}

// A refused picture shows its message once and keeps nothing; one that fits is shown, a BMP from its own file and a
// JPEG through kestrova.bmp, written also where its path is as long as a path gets.
TEST_F(WallpaperTest, ARefusedPictureShowsItsMessageOnceKeepingNothingAndOneThatFitsIsShown)
{
    UsePicture("p.bmp", SolidBmp(1, 1));  // 58 bytes, the shortest
    ASSERT_EQ(LoadPicture(&mainJob), 0);
    EXPECT_EQ(GlobalFlags(pictureBlock) & GMEM_LOCKCOUNT, 1u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(mainJob.header), GlobalSize(pictureBlock)), SolidBmp(1, 1).substr(14));
    pipelineBusy = 1, ChangeWallpaper(&mainJob);  // as a timer tick while a change shows its message box: ignored
    EXPECT_TRUE(recordedBoxes.empty() && pipelineBusy == 1);
    pipelineBusy = 0;
    const std::string grey = ReadBytes(KESTROVA_WALLPAPER_TEST_DATA "/../../jpeg/data/grey-17x9.jpg");
    const struct { const char* name; std::string bytes; std::string message; const char* shown; } cases[] = {
        {"p.bmp", std::string(13, 'B'), MessageText(MSG_PICTURE_READ_FAILED)},
        {"p.bmp", BmpFile({40, 1, 1, 1, 24, 4, 3}), MessageText(MSG_PICTURE_INVALID)},  // 3 compressed bytes of 4
        {"p.jpg", SolidBmp(4, 4), MessageText(MSG_PICTURE_INVALID)},  // .jpg goes to the JPEG decoder
        {"gone.bmp", "", "ファイルが開けません\n" + folder.Child("gone.bmp")},
        {"p.bmp", SolidBmp(8, 8), "", "p.bmp"}, {"p.jpg", grey, "", "kestrova.bmp"}};
    const std::string kept = DesktopValue("Wallpaper");  // while only refusals come
    // The refused picture is gone before its message: a paint in the box's loop could hand it to GDI.
    whileBoxIsUp = [] { EXPECT_TRUE(pipelineBusy && !pictureBlock && !mainJob.header && !mainJob.sourceBits && !mainJob.outputBits); };
    for (const auto& c : cases) {
        UsePicture(c.name, c.bytes);
        recordedBoxes.clear();
        ChangeWallpaper(&mainJob);
        EXPECT_EQ(BoxTexts(), c.message + (c.shown ? "" : "|")) << c.name;
        EXPECT_TRUE(!pipelineBusy && (c.shown || (!pictureBlock && !mainJob.header && !pictureJob))) << c.name;
        EXPECT_EQ(DesktopValue("Wallpaper"), c.shown ? Sz(folder.Child(c.shown)) : kept) << c.name;
    }
    strcpy(mainJob.folder, DeepFolder(folder, 259).c_str());
    ChangeWallpaper(&mainJob);
    EXPECT_EQ(BoxTexts() + ReadBytes(mainJob.folder + std::string("\\kestrova.bmp")).substr(0, 2), "BM");
}

TEST_F(WallpaperTest, ShrinkAndWriteCleanUpAndEachFailureShowsItsMessageAndKeepsTheWallpaperWhole)
{
    const uint32_t width = GetSystemMetrics(SM_CXSCREEN) + 1, height = GetSystemMetrics(SM_CYSCREEN) + 1;
    const std::string masks("\0\0\xFF\0\0\xFF\0\0\xFF\0\0\0", 12), kestrova = folder.Child("kestrova.bmp");
    // Bit fields: the rows start after the masks.
    UsePicture("big.bmp", BmpFile({40, int32_t(width), int32_t(height), 1, 32, 3, 4 * width * height}, masks));
    ChangeWallpaper(&mainJob);
    // The picture is kept for the preview, unlocked.
    EXPECT_TRUE(recordedBoxes.empty() && !mainJob.shrunkBits && !pipelineBusy && !(GlobalFlags(pictureBlock) & GMEM_LOCKCOUNT));
    const std::string wallpaper = ReadBytes(kestrova);
    EXPECT_EQ(wallpaper.substr(30, 4) + wallpaper.substr(54, 3), std::string(4, '\0') + "\x80\x80\x80")
        << "BI_RGB whatever GDI said; the first pixel is the picture's, not a mask";
    // A JPEG twice the screen both ways is decoded at half size, yet makes today's wallpaper: 1024 x 768 at 0, 0,
    // the top 8 of its 1568 rows cropped, red and green above, blue and yellow below (cjpeg -quality 90 -optimize).
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN) * 1000 + GetSystemMetrics(SM_CYSCREEN), 1024768);
    UsePicture("q.jpg", ReadBytes(KESTROVA_WALLPAPER_TEST_DATA "/quarters-2080x1568.jpg"));
    mainJob.displayMode = Center;
    ChangeWallpaper(&mainJob);
    EXPECT_TRUE(mainJob.reduction == 2 && mainJob.sourceWidth == 2080 && mainJob.sourceHeight == 1568);
    const std::string quarters = ReadBytes(kestrova);
    ASSERT_EQ(quarters.size(), 54u + 1024 * 768 * 4);
    EXPECT_EQ(DesktopValues(), (std::vector<std::string>{Sz("0"), Sz("0"), Sz("0"), Sz("0"), Sz(kestrova)}));
    // Blue, green, red as 0 or 1 each, `row` rows from the top and `x` columns in: the corners, then where the
    // quarters meet (776 of the 1560 rows kept are red, 382.03 of 768).
    std::string bits;
    for (const auto& [row, x] : {std::pair{0, 8}, {0, 1015}, {767, 8}, {767, 1015}, {381, 8}, {383, 8}, {8, 511}, {8, 513}})
        for (int channel = 0; channel < 3; ++channel)
            bits += static_cast<uint8_t>(quarters[54 + 4 * ((767 - row) * 1024 + x) + channel]) > 127 ? '1' : '0';
    EXPECT_EQ(bits, "001010100011" "001100001010");
    UsePicture("big.bmp", "");
    ChangeWallpaper(&mainJob);
    const std::vector<std::string> before = DesktopValues();
    mainJob.targetWidth = mainJob.targetHeight = 0x7FFFFFF;  // no bitmap of that size: stage 1 at the latest
    for (HWND desktop : {reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x7FFF0001)), GetDesktopWindow()})
        EXPECT_EQ((appState.desktopWindow = desktop, ShrinkToScreen(&mainJob)), nullptr);  // no screen DC first: silent
    UsePicture("big64.bmp", BmpFile({40, int32_t(width), int32_t(height), 1, 64, 0, 8 * width * height}));  // GDI draws none
    ChangeWallpaper(&mainJob);
    // Not written: with no folder, for a header that claims more pixels than were read, when the pixels cannot be
    // read after the first page (as a disk that fills up), and with kestrova.bmp a folder.
    UsePicture("p.bmp", SolidBmp(1, 1));
    ASSERT_EQ(LoadPicture(&mainJob), 0);
    mainJob.folder[0] = '\0';
    WriteAndApplyBitmap(&mainJob);
    strcpy(mainJob.folder, folder.path().c_str()), mainJob.header->biSizeImage = 5;
    WriteAndApplyBitmap(&mainJob);
    uint8_t* pages = static_cast<uint8_t*>(VirtualAlloc(nullptr, 1 << 20, MEM_RESERVE, PAGE_NOACCESS));
    VirtualAlloc(pages, 4096, MEM_COMMIT, PAGE_READWRITE);
    DibHeader cut{40, 512, 512, 1, 32, 0, 1 << 20};
    mainJob.header = &cut, mainJob.shrunkBits = mainJob.outputBits = pages;
    WriteAndApplyBitmap(&mainJob);
    mainJob.shrunkBits = nullptr, VirtualFree(pages, 0, MEM_RELEASE);
    EXPECT_EQ(ReadBytes(kestrova), wallpaper) << "the wallpaper on show is kept byte for byte";
    DeleteFileA(kestrova.c_str()), CreateDirectoryA(kestrova.c_str(), nullptr);
    ASSERT_EQ(LoadPicture(&mainJob), 0);
    WriteAndApplyBitmap(&mainJob);
    EXPECT_TRUE(RemoveDirectoryA(kestrova.c_str())) << "nothing was written inside it";
    EXPECT_EQ(ReadBytes(folder.Child(kOutputBitmapPartName)), "<missing>") << "a failed write leaves no part file";
    const std::string notCreated = Shown(MSG_TEMP_NOT_CREATED);
    EXPECT_EQ(BoxTexts(), "画像の縮小に失敗しました (1)|画像の縮小に失敗しました (2)|" + notCreated + notCreated +
                              Shown(MSG_TEMP_WRITE_FAILED) + notCreated + notCreated);
    EXPECT_EQ(DesktopValues(), before);
}

// A stand-in for the shell's object, registered for this process only: it logs the calls it gets.
struct FakeDesktop : active_desktop::Interface, IClassFactory {
    BOOL activeDesktopOn = TRUE;
    std::wstring log;
    int references = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) *object = static_cast<IClassFactory*>(this);
        if (IsEqualIID(iid, active_desktop::kInterfaceId)) *object = static_cast<active_desktop::Interface*>(this);
        return *object ? (++references, S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override { return QueryInterface(iid, out); }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ApplyChanges(DWORD flags) override { return Log(L"apply ", flags); }
    HRESULT STDMETHODCALLTYPE SetWallpaper(LPCWSTR path, DWORD) override { return Log(path + std::wstring(L" "), 0); }
    HRESULT STDMETHODCALLTYPE SetWallpaperOptions(const active_desktop::WallpaperOpt* options, DWORD) override
    { return Log(L"style ", options->dwStyle); }
    HRESULT STDMETHODCALLTYPE GetWallpaper(LPWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetWallpaperOptions(active_desktop::WallpaperOpt*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPattern(LPWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPattern(LPCWSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDesktopItemOptions(active_desktop::ComponentsOpt* options, DWORD) override
    { return options->fActiveDesktop = activeDesktopOn, Log(L"components", 0); }
    HRESULT Log(const std::wstring& call, DWORD value)
    { return log += call + (value ? std::to_wstring(value) : L"") + L"; ", S_OK; }
};

TEST_F(WallpaperTest, ApplyGoesToActiveDesktopWhenOnElseToTheRegistry)
{
    FakeDesktop fake;
    DWORD cookie = 0;
    CoInitialize(nullptr);
    ASSERT_EQ(CoRegisterClassObject(active_desktop::kClassId, static_cast<IClassFactory*>(&fake), CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie), S_OK);
    const std::vector<std::string> before = DesktopValues();
    mainJob.displayMode = Stretch, mainJob.originX = 112, mainJob.originY = 84;
    mainJob.applyPath = "C:\\表\\kestrova.bmp";  // code page 932, with 0x5C as a trail byte
    ApplyWallpaper(&mainJob);
    EXPECT_EQ(fake.log, L"components; C:\\表\\kestrova.bmp ; style 2; apply 7; ");
    EXPECT_EQ(DesktopValues(), before);
    // Off: the object is released unused; the placement and the wallpaper go to the registry, also when policy
    // grants no more than setting and reading values on the desktop key.
    const struct { int32_t mode; const char* access; std::vector<std::string> values; } rows[] = {
        {Stretch, "D:(A;;KA;;;WD)", {Sz("0"), Sz("2"), Sz("112"), Sz("84"), Sz(mainJob.applyPath)}},
        {Tile, "D:(A;;0x60003;;;WD)", {Sz("1"), Sz("0"), Sz("112"), Sz("84"), Sz(mainJob.applyPath)}}};
    for (const auto& row : rows) {
        HKEY key;
        PSECURITY_DESCRIPTOR rights;
        RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, WRITE_DAC, &key);
        ConvertStringSecurityDescriptorToSecurityDescriptorA(row.access, SDDL_REVISION_1, &rights, nullptr);
        EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, rights), ERROR_SUCCESS);
        LocalFree(rights), RegCloseKey(key);
        fake.activeDesktopOn = FALSE, fake.log.clear(), mainJob.displayMode = row.mode;
        ApplyWallpaper(&mainJob);
        EXPECT_EQ(fake.log, L"components; ");
        EXPECT_EQ(DesktopValues(), row.values);
    }
    CoRevokeClassObject(cookie), CoUninitialize();
    EXPECT_EQ(fake.references, 0);
}

}  // namespace
