// Test driver for the end-to-end runs: stays up beside the program (keeping
// Wine's virtual desktop alive) and clicks OK on each box titled with its name
// (--keep: leaves them up) until OUTDIR\stop appears, N boxes or the timeout.
// OUTDIR gets "ready", box-K.txt per box (owner's process id, newline, text in
// code page 932) and result.txt (count, display, wallpaper values: name=value).
// A box without an OK button (the yes/no question) gets the answer set by the
// command "answer ID" (IDNO until then).
//
// Commands: the runner writes OUTDIR\cmd-K.txt (K = 1, 2, ...; UTF-8), the
// driver carries it out and writes OUTDIR\done-K.txt with its output:
//   dialog              the settings dialog's controls, one per line:
//                       id class enabled checked text [items=a|b sel=N]; first
//                       line "owner=resident|desktop|none pid=P"; "none" when no dialog
//   set ID TEXT         WM_SETTEXT to the dialog's control ID (sent, so the
//                       program's change handling has run when it returns)
//   click ID            BM_CLICK posted to the dialog's control ID
//   select ID N         a list or combo selection N, notified as the user's would be
//   post CLASS MSG W L  PostMessage to the top-level window of that class
//   window CLASS        "found=0|1 visible=0|1 caption=TEXT pid=P"
//   answer ID           the button a yes/no box gets from now on
//   wallpaper           the desktop's Wallpaper value
//   ticks CLASS N       sends N WM_TIMER (id 1) to that window, each after the
//                       last was handled; "sent=K ms=T"
//   counters PID        that process's memory and object counts
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdarg>
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
int answer = IDNO;
int commandCount = 0;

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
        const int button = GetDlgItem(window, IDOK) ? IDOK : answer;
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
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

// The program's settings dialog: its caption starts with the title and a space.
BOOL CALLBACK IsSettingsDialog(HWND window, LPARAM found) {
    wchar_t cls[16], caption[64];
    if (!IsWindowVisible(window) || !GetClassNameW(window, cls, 16) || wcscmp(cls, L"#32770") != 0 ||
        GetWindowTextW(window, caption, 64) <= 0 || wcsncmp(caption, L"ミルフォス\u3000", 6) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND FindSettingsDialog() {
    HWND found = nullptr;
    EnumWindows(IsSettingsDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct Output {
    char text[16384];
    int used = 0;
    void Add(const wchar_t* format, ...) {
        wchar_t wide[4096];
        va_list args;
        va_start(args, format);
        _vsnwprintf(wide, 4096, format, args);
        va_end(args);
        wide[4095] = L'\0';
        int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text + used, static_cast<int>(sizeof text) - used - 1,
                                    nullptr, nullptr);
        if (n > 0) used += n - 1;
    }
};

void DumpItems(HWND control, Output& out, UINT countMessage, UINT textMessage, UINT selectionMessage) {
    int count = static_cast<int>(SendMessageW(control, countMessage, 0, 0));
    out.Add(L" items=");
    for (int k = 0; k < count && k < 200; ++k) {
        wchar_t item[MAX_PATH] = L"";
        SendMessageW(control, textMessage, k, reinterpret_cast<LPARAM>(item));
        out.Add(L"%ls%ls", k ? L"|" : L"", item);
    }
    out.Add(L" sel=%d", static_cast<int>(SendMessageW(control, selectionMessage, 0, 0)));
}

void DumpDialog(Output& out) {
    HWND dialog = FindSettingsDialog();
    if (!dialog) {
        out.Add(L"none\n");
        return;
    }
    HWND owner = GetWindow(dialog, GW_OWNER);
    wchar_t ownerClass[32] = L"";
    if (owner) GetClassNameW(owner, ownerClass, 32);
    DWORD pid = 0;
    GetWindowThreadProcessId(dialog, &pid);
    out.Add(L"owner=%ls pid=%lu\n", !owner ? L"none" : wcscmp(ownerClass, L"kestrova4095") == 0 ? L"resident"
                                                                                            : L"desktop",
            static_cast<unsigned long>(pid));
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[32] = L"", text[MAX_PATH] = L"";
        GetClassNameW(child, cls, 32);
        SendMessageW(child, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(text));  // the live text, across processes
        const int checked = _wcsicmp(cls, L"Button") == 0 ? static_cast<int>(SendMessageW(child, BM_GETCHECK, 0, 0)) : 0;
        out.Add(L"%d %ls %d %d %ls", GetDlgCtrlID(child), cls, IsWindowEnabled(child) ? 1 : 0, checked, text);
        if (_wcsicmp(cls, L"ListBox") == 0) DumpItems(child, out, LB_GETCOUNT, LB_GETTEXT, LB_GETCURSEL);
        if (_wcsicmp(cls, L"ComboBox") == 0) DumpItems(child, out, CB_GETCOUNT, CB_GETLBTEXT, CB_GETCURSEL);
        out.Add(L"\n");
    }
}

void Carry(wchar_t* command, Output& out) {
    wchar_t* rest = nullptr;
    const wchar_t* verb = wcstok_s(command, L" \r\n", &rest);
    if (!verb) return;
    if (wcscmp(verb, L"dialog") == 0) return DumpDialog(out);
    if (wcscmp(verb, L"wallpaper") == 0) {
        wchar_t value[2 * MAX_PATH] = L"";
        DWORD size = sizeof value;
        RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper", RRF_RT_REG_SZ, nullptr, value, &size);
        return out.Add(L"%ls\n", value);
    }
    if (wcscmp(verb, L"answer") == 0) {
        answer = static_cast<int>(wcstol(rest, nullptr, 10));
        return out.Add(L"ok\n");
    }
    if (wcscmp(verb, L"ticks") == 0) {
        const wchar_t* cls = wcstok_s(nullptr, L" \r\n", &rest);
        HWND window = cls ? FindWindowW(cls, nullptr) : nullptr;
        const long count = wcstol(rest, nullptr, 10);
        const DWORD started = GetTickCount();
        long sent = 0;
        DWORD_PTR result;
        while (sent < count && window && SendMessageTimeoutW(window, WM_TIMER, 1, 0, SMTO_NORMAL, 60000, &result))
            ++sent;
        return out.Add(L"sent=%ld ms=%lu\n", sent, static_cast<unsigned long>(GetTickCount() - started));
    }
    if (wcscmp(verb, L"counters") == 0) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, wcstoul(rest, nullptr, 10));
        if (!process) return out.Add(L"no process\n");
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
        DWORD handles = 0;
        GetProcessHandleCount(process, &handles);
        out.Add(L"private=%llu workingset=%llu peakworkingset=%llu handles=%lu gdi=%lu user=%lu\n",
                static_cast<unsigned long long>(memory.PrivateUsage),
                static_cast<unsigned long long>(memory.WorkingSetSize),
                static_cast<unsigned long long>(memory.PeakWorkingSetSize), static_cast<unsigned long>(handles),
                static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
                static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)));
        CloseHandle(process);
        return;
    }
    if (wcscmp(verb, L"window") == 0 || wcscmp(verb, L"post") == 0) {
        const wchar_t* cls = wcstok_s(nullptr, L" \r\n", &rest);
        HWND window = cls ? FindWindowW(cls, nullptr) : nullptr;
        if (verb[0] == L'p') {
            unsigned long message = wcstoul(rest, &rest, 10), w = wcstoul(rest, &rest, 10);
            long l = wcstol(rest, &rest, 10);
            return out.Add(L"%d\n", window && PostMessageW(window, message, w, l) ? 1 : 0);
        }
        wchar_t caption[64] = L"";
        DWORD pid = 0;
        if (window) GetWindowTextW(window, caption, 64), GetWindowThreadProcessId(window, &pid);
        return out.Add(L"found=%d visible=%d caption=%ls pid=%lu\n", window ? 1 : 0,
                       window && IsWindowVisible(window) ? 1 : 0, caption, static_cast<unsigned long>(pid));
    }
    HWND dialog = FindSettingsDialog();
    const int id = static_cast<int>(wcstol(rest, &rest, 10));
    HWND control = dialog ? GetDlgItem(dialog, id) : nullptr;
    if (!control) return out.Add(L"no control %d\n", id);
    if (wcscmp(verb, L"set") == 0) {
        if (*rest == L' ') ++rest;
        rest[wcscspn(rest, L"\r\n")] = L'\0';
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(rest));
    } else if (wcscmp(verb, L"click") == 0) {
        PostMessageW(control, BM_CLICK, 0, 0);
    } else if (wcscmp(verb, L"select") == 0) {
        wchar_t cls[32] = L"";
        GetClassNameW(control, cls, 32);
        const bool list = _wcsicmp(cls, L"ListBox") == 0;
        SendMessageW(control, list ? LB_SETCURSEL : CB_SETCURSEL, wcstol(rest, nullptr, 10), 0);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, list ? LBN_SELCHANGE : CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control));
    } else {
        return out.Add(L"unknown command\n");
    }
    out.Add(L"ok\n");
}

// Carries out the runner's next command file, if it is there yet.
void CarryNextCommand() {
    wchar_t name[32], path[MAX_PATH];
    _snwprintf(name, 32, L"cmd-%d.txt", commandCount + 1);
    if (!OutPath(path, name)) return;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char bytes[2048] = "";
    DWORD got = 0;
    ReadFile(file, bytes, sizeof bytes - 1, &got, nullptr);
    CloseHandle(file);
    if (got == 0 || bytes[got - 1] != '\n') return;  // still being written
    bytes[got] = '\0';
    wchar_t command[2048];
    if (MultiByteToWideChar(CP_UTF8, 0, bytes, -1, command, 2048) <= 0) command[0] = L'\0';
    static Output out;
    out.used = 0;
    Carry(command, out);
    _snwprintf(name, 32, L"done-%d.txt", ++commandCount);
    WriteOut(name, out.text, out.used);
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
        CarryNextCommand();
        if ((until > 0 && boxCount >= until) || GetFileAttributesW(stop) != INVALID_FILE_ATTRIBUTES ||
            GetTickCount() - start >= timeoutMs)
            break;
    }
    WriteResult();
    return 0;
}
