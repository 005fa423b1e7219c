// Whole cycles of real wallpaper changes, measured in this process: whatever a
// change creates must be gone once the next cycle has run, exactly. The number
// of changes comes from KESTROVA_LEAK_CHANGES (default 15, five a cycle):
//   KESTROVA_LEAK_CHANGES=2000 scripts/wine-run.sh build/win64/tests/wallpaper_win32/wallpaper_leak_test.exe
#include "app_test_support.h"

#include <winternl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/app_state.h"
#include "jpeg/jpeg_decoder.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"
#include "wallpaper/random_change.h"

namespace {

template <typename Function> Function Ntdll(const char* name)
{ return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name))); }

// Heap bytes and blocks, kernel handles, GDI objects. GetProcessHandleCount and GetGuiResources read 0 under Wine,
// so handles are counted in the system's handle list and GDI objects in the process's GDI handle table.
// The last loaded picture stays for the preview; its block is left out by its own size.
using Live = std::array<unsigned long long, 4>;  // an array: the measuring must not allocate
Live Measure()
{
    Live live = {};
    HANDLE heaps[64];  // global blocks are drawn from the process heap, so they count too
    for (DWORD i = 0, count = GetProcessHeaps(64, heaps); i < count && i < 64; ++i) {
        HeapLock(heaps[i]);
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) live[0] += entry.cbData, ++live[1];
        HeapUnlock(heaps[i]);
    }
    if (pictureBlock) live[0] -= GlobalSize(pictureBlock), --live[1];
    struct HandleEntry { USHORT process, creatorTrace; UCHAR type, attributes; USHORT value; PVOID object; ULONG access; };
    static const auto system = Ntdll<NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG)>("NtQuerySystemInformation");
    static ULONG_PTR list[1 << 17];
    const HandleEntry* entries = reinterpret_cast<const HandleEntry*>(list + 1);
    const bool listed = system && system(16 /* SystemHandleInformation */, list, sizeof list, nullptr) == 0;
    for (ULONG_PTR k = 0; listed && k < list[0]; ++k) live[2] += entries[k].process == static_cast<USHORT>(GetCurrentProcessId());
    // The live entries of the GDI handle table the PEB points to, laid out as Wine keeps it; by type, since a freed
    // entry keeps a free-list link as its object.
    struct GdiEntry { UINT64 object; ULONG owner; USHORT unique; UCHAR type, flags; UINT64 user; };
    static const auto currentPeb = Ntdll<PPEB(NTAPI*)()>("RtlGetCurrentPeb");
    const char* peb = reinterpret_cast<const char*>(currentPeb());
    const GdiEntry* table = *reinterpret_cast<const GdiEntry* const*>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
    for (int k = 0; table && k < 0x10000; ++k) live[3] += table[k].type != 0;
    return live;
}

using LeakTest = ShellTest;

TEST_F(LeakTest, WholeCyclesOfChangesLeaveNothingBehind)
{
    const ScratchFolder folder;
    appState.uiFlags = DialogOpen;  // every refusal shows its box, so each cycle shows one
    appState.desktopWindow = GetDesktopWindow();
    strcpy(mainJob.folder, folder.path().c_str());
    WriteBytes(folder.Child("small.bmp"), SolidBmp(200, 150));
    WriteBytes(folder.Child("large.bmp"), SolidBmp(2 * GetSystemMetrics(SM_CXSCREEN), 2 * GetSystemMetrics(SM_CYSCREEN)));
    WriteBytes(folder.Child("broken.jpg"), std::string("\xFF\xD8 not a picture", 16));
    WriteBytes(folder.Child("small.jpg"), ReadBytes(KESTROVA_SOURCE_DIR "/tests/jpeg/data/h2v2-133x109-rst2b-noise.jpg"));
    // One flat colour, by cjpeg -sample 2x2: larger than the screen both ways, yet small to keep.
    WriteBytes(folder.Child("large.jpg"), ReadBytes(KESTROVA_SOURCE_DIR "/tests/wallpaper_win32/data/large-2400x1800.jpg"));
    // In this order, each its own way: shown from its file, refused, shrunk, written, shrunk and written; each drawn
    // by the random change itself, with a seed whose draw is that picture.
    const std::pair<const char*, const char*> picks[] = {{"small.bmp", "small.bmp"}, {"broken.jpg", "small.bmp"},
        {"large.bmp", "kestrova.bmp"}, {"small.jpg", "kestrova.bmp"}, {"large.jpg", "kestrova.bmp"}};
    ASSERT_EQ(ScanPictureFolder(nullptr, -1, mainJob.folder), 5);
    unsigned seeds[5] = {};
    for (int index = 0; index < 5; ++index) {
        ASSERT_EQ(ScanPictureFolder(nullptr, index, mainJob.folder), index);
        const int pick = std::find_if(picks, picks + 5, [](auto& p) { return !strcmp(p.first, findData.cFileName); }) - picks;
        for (seeds[pick] = 1; srand(seeds[pick]), rand() % 5 != index;) ++seeds[pick];
    }
    const char* changes = getenv("KESTROVA_LEAK_CHANGES");
    const int cycles = std::max(3, (changes ? atoi(changes) : 15) / 5);
    std::vector<Live> after(cycles);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (int k = 0; k < 5; ++k) {
            srand(seeds[k]);
            ChangeWallpaperAtRandom();
            ASSERT_EQ(currentPicturePath, folder.Child(picks[k].first));
            ASSERT_EQ(DesktopValue("Wallpaper"), folder.Child(picks[k].second) + '\0') << "cycle " << cycle + 1;
        }
        ASSERT_EQ(BoxTexts(), std::string(LoadFailureText(JPEG_INVALID)) + "|") << "cycle " << cycle + 1;
        recordedBoxes.clear();
        after[cycle] = Measure();
    }
    // One more of each kind must show, or any cycle would pass; measured first, as a failure's report makes its own.
    HANDLE file = CreateFileA(folder.Child("small.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(folder.Child("*").c_str(), &found);
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &key);
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(8, 8, 1, 32, nullptr);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 1000);
    const Live opened = Measure(), last = after.back();
    GlobalFree(block), DeleteObject(bitmap), DeleteDC(memory);
    RegCloseKey(key), FindClose(search), CloseHandle(file);
    EXPECT_TRUE(opened[0] >= last[0] + 1000 && opened[1] > last[1]) << "a block";
    EXPECT_EQ(std::vector<unsigned long long>({opened[2] - last[2], opened[3] - last[3]}),
              std::vector<unsigned long long>({3, 2})) << "a file, a search and a key; a DC and a bitmap";
    // The first cycle fills what stays (the screen's DC, caches). From the second on, the same pictures in the same
    // order make and free the same blocks and handles, so every cycle must end exactly as the second did.
    for (int cycle = 1; cycle < cycles; cycle += cycles - 2)  // the figures a long run reports
        printf("after cycle %d: %llu heap bytes in %llu blocks, %llu kernel handles, %llu GDI objects\n", cycle + 1,
               after[cycle][0], after[cycle][1], after[cycle][2], after[cycle][3]);
    for (int cycle = 2; cycle < cycles; ++cycle) EXPECT_EQ(after[cycle], after[1]) << "after cycle " << cycle + 1;
}

}  // namespace
