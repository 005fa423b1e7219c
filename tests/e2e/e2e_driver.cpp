// Test driver for the end-to-end runs: stays up beside the program (keeping
// Wine's virtual desktop alive) and clicks OK on each box titled with its name
// (--keep: leaves them up) until OUTDIR\stop appears, N boxes or the timeout.
// OUTDIR gets "ready", box-K.txt per box (owner's process id, newline, text in
// code page 932) and result.txt (count, display, wallpaper values: name=value).
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

const int kMaxBoxes = 64;

struct Box { HWND window; DWORD toldAt; };  // toldAt 0: not yet told to close

wchar_t outDir[MAX_PATH];
DWORD timeoutMs = 60000;
int until = 0;
bool keep = false;
int boxCount = 0;
Box boxes[kMaxBoxes];
int tracked = 0;

bool OutPath(wchar_t* path, const wchar_t* name) {
    int n = _snwprintf(path, MAX_PATH, L"%ls\\%ls", outDir, name);
    return n > 0 && n < MAX_PATH;
}

bool WriteOut(const wchar_t* name, const char* data, int length) {
    wchar_t path[MAX_PATH];
    if (!OutPath(path, name)) return false;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr) &&
              written == static_cast<DWORD>(length);
    CloseHandle(file);
    return ok;
}

// The icon of a box is a Static without text; the message is the one with text.
BOOL CALLBACK FindText(HWND child, LPARAM text) {
    wchar_t cls[16];
    return !(GetClassNameW(child, cls, 16) && _wcsicmp(cls, L"Static") == 0 &&
             GetWindowTextW(child, reinterpret_cast<wchar_t*>(text), 2048) > 0);
}

// Converted here from the box's Unicode text, so bytes shown in another code
// page fail the comparison.
void Record(HWND window) {
    wchar_t text[2048] = L"";
    EnumChildWindows(window, FindText, reinterpret_cast<LPARAM>(text));
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char bytes[4200];
    int head = snprintf(bytes, sizeof bytes, "%lu\n", static_cast<unsigned long>(pid));
    int n = WideCharToMultiByte(932, 0, text, -1, bytes + head, static_cast<int>(sizeof bytes) - head, nullptr,
                                nullptr);
    wchar_t name[32];
    _snwprintf(name, 32, L"box-%d.txt", ++boxCount);
    WriteOut(name, bytes, head + (n > 0 ? n - 1 : 0));
    if (tracked < kMaxBoxes) boxes[tracked++] = {window, 0};
}

BOOL CALLBACK Visit(HWND window, LPARAM) {
    wchar_t cls[16], caption[64];
    if (!IsWindowVisible(window) || !GetClassNameW(window, cls, 16) || wcscmp(cls, L"#32770") != 0 ||
        GetWindowTextW(window, caption, 64) <= 0 || wcscmp(caption, L"ミルフォス") != 0)
        return TRUE;
    int i = 0;
    while (i < tracked && boxes[i].window != window) ++i;
    if (i == tracked) Record(window);
    if (i == tracked || keep) return TRUE;
    // A box told to close but still up is told again now and then.
    if (boxes[i].toldAt == 0 || GetTickCount() - boxes[i].toldAt > 500) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        boxes[i].toldAt = GetTickCount();
    }
    return TRUE;
}

// A box that has gone may hand its handle to a later window: forget it.
void ForgetClosed() {
    int kept = 0;
    for (int i = 0; i < tracked; ++i)
        if (IsWindow(boxes[i].window)) boxes[kept++] = boxes[i];
    tracked = kept;
}

void WriteResult() {
    char text[4096];
    HDC screen = GetDC(nullptr);
    int used = snprintf(text, sizeof text, "count=%d\ndisplay=%dx%dx%d\n", boxCount, GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(nullptr, screen);
    static const char* const names[] = {"Wallpaper", "TileWallpaper", "WallpaperStyle", "WallPaperOriginX",
                                        "WallPaperOriginY"};
    // A value of the wrong type is left out, so its check fails.
    for (const char* name : names) {
        char value[2 * MAX_PATH];
        DWORD size = sizeof value;
        if (RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", name, RRF_RT_REG_SZ, nullptr, value, &size) ==
            ERROR_SUCCESS)
            used += snprintf(text + used, sizeof text - used, "%s=%s\n", name, value);
    }
    WriteOut(L"result.txt", text, used);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool usable = argc >= 2 && wcslen(argv[1]) < MAX_PATH;
    for (int i = 2; usable && i < argc; ++i) {
        if (wcscmp(argv[i], L"--keep") == 0)
            keep = true;
        else if (i + 1 < argc && wcscmp(argv[i], L"--timeout") == 0)
            timeoutMs = wcstoul(argv[++i], nullptr, 10);
        else if (i + 1 < argc && wcscmp(argv[i], L"--until") == 0)
            until = static_cast<int>(wcstol(argv[++i], nullptr, 10));
        else
            usable = false;
    }
    if (!usable) {
        fputs("usage: e2e_driver OUTDIR [--timeout MS] [--until N] [--keep]\n", stderr);
        return 2;
    }
    wcscpy(outDir, argv[1]);
    // Touching the desktop joins it, so Wine keeps it up while the driver runs.
    wchar_t stop[MAX_PATH];
    if (!GetDesktopWindow() || !OutPath(stop, L"stop") || !WriteOut(L"ready", "", 0)) return 3;
    for (DWORD start = GetTickCount();; Sleep(50)) {
        ForgetClosed();
        EnumWindows(Visit, 0);
        if ((until > 0 && boxCount >= until) || GetFileAttributesW(stop) != INVALID_FILE_ATTRIBUTES ||
            GetTickCount() - start >= timeoutMs)
            break;
    }
    WriteResult();
    return 0;
}
