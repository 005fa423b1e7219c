// Test driver for the end-to-end runs under Wine. It stays up beside the
// program under test (which keeps Wine's virtual desktop alive), records
// every message box the program shows, dismisses it with OK, and on its way
// out reports what the desktop looks like to a Windows program.
//
//   e2e_driver OUTDIR [--timeout MS] [--until N] [--keep]
//
// Files written to OUTDIR (a Unix folder reached through Wine's Z: drive):
//   ready          once the driver is connected to the desktop
//   box-K.txt      the text of the K-th box (K from 1), code page 932 bytes
//   box-K.pid      the process id that owns it
//   count.txt      how many boxes were seen
//   display.txt    "WIDTHxHEIGHTxBITS" of the screen
//   registry.txt   the wallpaper values of HKCU\Control Panel\Desktop, UTF-8
// It ends when OUTDIR\stop appears, when --until N boxes were seen (then it
// leaves the last ones up when --keep is given), or after --timeout ms.
// The exit code is the number of boxes seen, or 200 and up for a usage error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

const wchar_t kTitle[] = L"ミルフォス";
const int kPollMs = 50;
const int kMaxBoxes = 64;
const int kRetryDismissMs = 500;

struct Driver {
    wchar_t outDir[MAX_PATH];
    DWORD timeoutMs;
    int until;           // 0: no count ends the watch
    bool keep;           // leave boxes up
    int boxCount;
    HWND seen[kMaxBoxes];
    DWORD dismissedAt[kMaxBoxes];
    int seenCount;
};

Driver driver;

bool OutPath(wchar_t* path, const wchar_t* name) {
    int n = _snwprintf(path, MAX_PATH, L"%ls\\%ls", driver.outDir, name);
    return n > 0 && n < MAX_PATH;
}

bool WriteBytes(const wchar_t* name, const void* data, DWORD length) {
    wchar_t path[MAX_PATH];
    if (!OutPath(path, name)) return false;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, length, &written, nullptr) && written == length;
    CloseHandle(file);
    return ok;
}

bool WriteText(const wchar_t* name, const char* text) {
    return WriteBytes(name, text, static_cast<DWORD>(strlen(text)));
}

bool OutFileExists(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    return OutPath(path, name) && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// Wide text to the given code page; false when it does not fit.
bool Narrow(UINT codePage, const wchar_t* wide, char* out, int outSize) {
    int n = WideCharToMultiByte(codePage, 0, wide, -1, out, outSize, nullptr, nullptr);
    if (n == 0) out[0] = 0;
    return n != 0;
}

struct TextSearch {
    wchar_t text[2048];
    bool found;
};

BOOL CALLBACK FindStaticText(HWND child, LPARAM param) {
    TextSearch* search = reinterpret_cast<TextSearch*>(param);
    wchar_t className[32];
    if (!GetClassNameW(child, className, 32) || _wcsicmp(className, L"Static") != 0) return TRUE;
    // The icon of a box is a Static without text; the message is the one with text.
    if (GetWindowTextW(child, search->text, 2048) <= 0) return TRUE;
    search->found = true;
    return FALSE;
}

bool IsProgramBox(HWND window) {
    wchar_t className[32];
    wchar_t caption[64];
    if (!IsWindowVisible(window)) return false;
    if (!GetClassNameW(window, className, 32) || wcscmp(className, L"#32770") != 0) return false;
    if (GetWindowTextW(window, caption, 64) <= 0) return false;
    return wcscmp(caption, kTitle) == 0;
}

int SeenIndex(HWND window) {
    for (int i = 0; i < driver.seenCount; ++i)
        if (driver.seen[i] == window) return i;
    return -1;
}

// A box that has gone may hand its handle to a later window: forget it.
void ForgetClosedBoxes() {
    int kept = 0;
    for (int i = 0; i < driver.seenCount; ++i) {
        if (!IsWindow(driver.seen[i])) continue;
        driver.seen[kept] = driver.seen[i];
        driver.dismissedAt[kept] = driver.dismissedAt[i];
        ++kept;
    }
    driver.seenCount = kept;
}

void Dismiss(int index) {
    PostMessageW(driver.seen[index], WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    driver.dismissedAt[index] = GetTickCount();
}

// The text is converted from the box's Unicode text to code page 932 here, so
// a program that showed its bytes in another code page fails the comparison.
void RecordBox(HWND window) {
    TextSearch search;
    search.text[0] = 0;
    search.found = false;
    EnumChildWindows(window, FindStaticText, reinterpret_cast<LPARAM>(&search));

    char bytes[4096];
    Narrow(932, search.text, bytes, sizeof bytes);
    ++driver.boxCount;
    wchar_t name[32];
    _snwprintf(name, 32, L"box-%d.txt", driver.boxCount);
    WriteBytes(name, bytes, static_cast<DWORD>(strlen(bytes)));

    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char pidText[32];
    snprintf(pidText, sizeof pidText, "%lu\n", static_cast<unsigned long>(pid));
    _snwprintf(name, 32, L"box-%d.pid", driver.boxCount);
    WriteText(name, pidText);

    if (driver.seenCount == kMaxBoxes) return;  // counted, but no longer tracked
    driver.seen[driver.seenCount] = window;
    driver.dismissedAt[driver.seenCount] = 0;
    ++driver.seenCount;
}

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM) {
    if (!IsProgramBox(window)) return TRUE;
    int index = SeenIndex(window);
    if (index < 0) {
        RecordBox(window);
        index = SeenIndex(window);
        if (index < 0) return TRUE;
    }
    bool lastWanted = driver.until > 0 && driver.boxCount >= driver.until;
    if (driver.keep && (lastWanted || driver.until == 0)) return TRUE;
    // A box that was told to close but is still up gets told again now and then.
    if (driver.dismissedAt[index] == 0 || GetTickCount() - driver.dismissedAt[index] > kRetryDismissMs)
        Dismiss(index);
    return TRUE;
}

void AppendRegistryValue(HKEY key, const wchar_t* name, char* out, size_t outSize) {
    wchar_t data[MAX_PATH + 1];
    DWORD type = 0;
    DWORD size = sizeof data - sizeof(wchar_t);
    char nameUtf8[64];
    Narrow(CP_UTF8, name, nameUtf8, sizeof nameUtf8);
    size_t used = strlen(out);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
        snprintf(out + used, outSize - used, "%s:missing\n", nameUtf8);
        return;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        snprintf(out + used, outSize - used, "%s:type %lu\n", nameUtf8, static_cast<unsigned long>(type));
        return;
    }
    data[size / sizeof(wchar_t)] = 0;
    char value[4 * MAX_PATH];
    Narrow(CP_UTF8, data, value, sizeof value);
    snprintf(out + used, outSize - used, "%s=%s\n", nameUtf8, value);
}

void WriteRegistry() {
    static const wchar_t* const names[] = {L"Wallpaper", L"TileWallpaper", L"WallpaperStyle",
                                           L"WallPaperOriginX", L"WallPaperOriginY"};
    char text[8192] = "";
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (const wchar_t* name : names) AppendRegistryValue(key, name, text, sizeof text);
        RegCloseKey(key);
    }
    WriteText(L"registry.txt", text);
}

void WriteDisplay() {
    HDC screen = GetDC(nullptr);
    int bits = screen ? GetDeviceCaps(screen, BITSPIXEL) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    char text[64];
    snprintf(text, sizeof text, "%dx%dx%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), bits);
    WriteText(L"display.txt", text);
}

bool ParseArguments(int argc, wchar_t** argv) {
    if (argc < 2 || wcslen(argv[1]) >= MAX_PATH) return false;
    wcscpy(driver.outDir, argv[1]);
    driver.timeoutMs = 60000;
    for (int i = 2; i < argc; ++i) {
        if (wcscmp(argv[i], L"--keep") == 0) {
            driver.keep = true;
        } else if (wcscmp(argv[i], L"--timeout") == 0 && i + 1 < argc) {
            driver.timeoutMs = static_cast<DWORD>(wcstoul(argv[++i], nullptr, 10));
        } else if (wcscmp(argv[i], L"--until") == 0 && i + 1 < argc) {
            driver.until = static_cast<int>(wcstol(argv[++i], nullptr, 10));
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (!ParseArguments(argc, argv)) {
        fputs("usage: e2e_driver OUTDIR [--timeout MS] [--until N] [--keep]\n", stderr);
        return 200;
    }
    // Touching the desktop joins it, so Wine keeps it up while the driver runs.
    if (!GetDesktopWindow()) return 201;
    WriteDisplay();
    if (!WriteText(L"ready", "ready\n")) return 202;

    DWORD start = GetTickCount();
    for (;;) {
        ForgetClosedBoxes();
        EnumWindows(VisitTopLevel, 0);
        if (driver.until > 0 && driver.boxCount >= driver.until) break;
        if (OutFileExists(L"stop")) break;
        if (GetTickCount() - start >= driver.timeoutMs) break;
        Sleep(kPollMs);
    }

    WriteRegistry();
    char countText[32];
    snprintf(countText, sizeof countText, "%d\n", driver.boxCount);
    WriteText(L"count.txt", countText);
    return driver.boxCount < 200 ? driver.boxCount : 199;
}
