// Whole cycles of real wallpaper changes, measured in this process: whatever a
// change creates must be gone once the next cycle has run, exactly. The number
// of changes comes from KESTROVA_LEAK_CHANGES (default 15, five a cycle):
//   KESTROVA_LEAK_CHANGES=2000 scripts/wine-run.sh build/win64/tests/wallpaper_win32/wallpaper_leak_test.exe
#include "app_test_support.h"

#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

#include "base/app_state.h"
#include "jpeg/jpeg_decoder.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper/random_change.h"
#include "wallpaper/wallpaper_job.h"

namespace {

// What is alive in the process. GetProcessHandleCount and GetGuiResources read 0
// under Wine whatever is open, so handles are counted in the system's handle list
// and GDI objects in the process's GDI handle table.
struct Live {
    unsigned long long heapBytes, heapBlocks, kernelHandles, gdiObjects;
    bool operator==(const Live& other) const { return std::memcmp(this, &other, sizeof other) == 0; }
};
std::ostream& operator<<(std::ostream& out, const Live& live)
{
    return out << "heap bytes " << live.heapBytes << " in " << live.heapBlocks << " blocks, kernel handles "
               << live.kernelHandles << ", GDI objects " << live.gdiObjects;
}

// Busy bytes of every heap; global blocks are drawn from the process heap, so they count here too.
void WalkHeaps(Live& live)
{
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i) {
        HeapLock(heaps[i]);
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) live.heapBytes += entry.cbData, ++live.heapBlocks;
        HeapUnlock(heaps[i]);
    }
}

// Files, searches and registry keys are kernel handles: counted in the system's list for this process.
struct HandleEntry { USHORT process, creatorTrace; UCHAR type, attributes; USHORT value; PVOID object; ULONG access; };
template <typename Function> Function Ntdll(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}
unsigned long long KernelHandles()
{
    static const auto query = Ntdll<NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG)>("NtQuerySystemInformation");
    static ULONG_PTR list[1 << 17];  // static: the measuring must not allocate
    constexpr ULONG kSystemHandleInformation = 16;
    if (!query || query(kSystemHandleInformation, list, sizeof list, nullptr) != 0) return ~0ull;
    const HandleEntry* entries = reinterpret_cast<const HandleEntry*>(list + 1);
    unsigned long long mine = 0;
    for (ULONG_PTR k = 0; k < list[0]; ++k) mine += entries[k].process == static_cast<USHORT>(GetCurrentProcessId());
    return mine;
}

// DCs and bitmaps: the live entries of the GDI handle table the PEB points to, laid out as Wine keeps it.
struct GdiEntry { UINT64 object; ULONG owner; USHORT unique; UCHAR type, flags; UINT64 user; };
unsigned long long GdiObjects()
{
    static const auto query = Ntdll<NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG)>(
        "NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return ~0ull;
    const char* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
    const GdiEntry* table = *reinterpret_cast<const GdiEntry* const*>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
    unsigned long long live = 0;  // by type: a freed entry keeps a free-list link as its object
    for (int k = 0; table && k < 0x10000; ++k) live += table[k].type != 0;
    return table ? live : ~0ull;
}

// The last loaded picture stays for the preview; its block is left out by its own size.
Live Measure()
{
    Live live = {};
    WalkHeaps(live);
    if (pictureBlock) live.heapBytes -= GlobalSize(pictureBlock), --live.heapBlocks;
    live.kernelHandles = KernelHandles();
    live.gdiObjects = GdiObjects();
    return live;
}

std::string Wallpaper()
{
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper", RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

class LeakTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        appState.uiFlags = DialogOpen;  // every refusal shows its box, so each cycle shows one
        appState.desktopWindow = GetDesktopWindow();
        strcpy(mainJob.folder, folder.path().c_str());
    }
    ScratchFolder folder;
};

TEST_F(LeakTest, TheMeasureSeesOneMoreOfEachKind)
{
    const std::string name = folder.Child("f"), pattern = folder.Child("*");
    WriteBytes(name, "x");
    HDC screen = GetDC(nullptr);
    Live before, opened;
    for (int round = 0; round < 2; ++round) {  // the first makes what Wine keeps once made (the user's key, caches)
        before = Measure();
        HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern.c_str(), &found);
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &key);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 1000);
        opened = Measure();
        GlobalFree(block), DeleteObject(bitmap), DeleteDC(memory);
        RegCloseKey(key), FindClose(search), CloseHandle(file);
    }
    const Live closed = Measure();  // before a failure's report makes its own
    EXPECT_EQ(opened.kernelHandles, before.kernelHandles + 3) << "a file, a search and a key";
    EXPECT_EQ(opened.gdiObjects, before.gdiObjects + 2) << "a DC and a bitmap";
    EXPECT_GE(opened.heapBytes, before.heapBytes + 1000);
    EXPECT_EQ(closed, before);
    ReleaseDC(nullptr, screen);
}

TEST_F(LeakTest, WholeCyclesOfChangesLeaveNothingBehind)
{
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    WriteBytes(folder.Child("small.bmp"), SolidBmp(200, 150));
    WriteBytes(folder.Child("large.bmp"), SolidBmp(2 * width, 2 * height));
    WriteBytes(folder.Child("broken.jpg"), std::string("\xFF\xD8 not a picture", 16));
    WriteBytes(folder.Child("small.jpg"), ReadBytes(KESTROVA_SOURCE_DIR "/tests/jpeg/data/h2v2-133x109-rst2b-noise.jpg"));
    // One flat colour, by cjpeg -sample 2x2: larger than the screen both ways, yet small to keep.
    WriteBytes(folder.Child("large.jpg"), ReadBytes(KESTROVA_SOURCE_DIR "/tests/wallpaper_win32/data/large-2400x1800.jpg"));
    // In this order, each its own way: shown from its file, refused, shrunk, written, shrunk and written.
    struct Pick { const char* name; std::string path, wallpaper; unsigned seed; } picks[] = {
        {"small.bmp", "", "small.bmp"}, {"broken.jpg", "", "small.bmp"}, {"large.bmp", "", "kestrova.bmp"},
        {"small.jpg", "", "kestrova.bmp"}, {"large.jpg", "", "kestrova.bmp"}};
    // The random change itself, with a seed whose draw is the wanted picture.
    const int count = ScanPictureFolder(nullptr, -1, mainJob.folder);
    ASSERT_EQ(count, 5);
    for (Pick& pick : picks) {
        pick.path = folder.Child(pick.name), pick.wallpaper = folder.Child(pick.wallpaper.c_str());
        int index = 0;
        while (ScanPictureFolder(nullptr, index, mainJob.folder) == index && strcmp(findData.cFileName, pick.name))
            ++index;
        for (pick.seed = 1; srand(pick.seed), rand() % count != index;) ++pick.seed;
    }
    const char* changes = getenv("KESTROVA_LEAK_CHANGES");
    const int cycles = std::max(3, (changes ? atoi(changes) : 15) / 5);
    std::vector<Live> after(cycles);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (const Pick& pick : picks) {
            srand(pick.seed);
            ChangeWallpaperAtRandom();
            ASSERT_STREQ(currentPicturePath, pick.path.c_str());  // the wanted draw
            ASSERT_EQ(Wallpaper(), pick.wallpaper) << pick.name << " in cycle " << cycle + 1;
        }
        ASSERT_EQ(BoxTexts(), std::string(LoadFailureText(JPEG_INVALID)) + "|") << "cycle " << cycle + 1;
        recordedBoxes.clear();
        after[cycle] = Measure();
    }
    // The first cycle fills what stays (the screen's DC, caches). From the second on, the same pictures in the same
    // order make and free the same blocks and handles, so every cycle must end exactly as the second did.
    std::printf("after cycle 2: %s\nafter cycle %d (%d changes): %s\n", ::testing::PrintToString(after[1]).c_str(),
                cycles, 5 * cycles, ::testing::PrintToString(after.back()).c_str());
    for (int cycle = 2; cycle < cycles; ++cycle) EXPECT_EQ(after[cycle], after[1]) << "after cycle " << cycle + 1;
}

}  // namespace
