// Test driver for the end-to-end runs: stays up beside the program (keeping
// Wine's virtual desktop alive) and clicks OK on each box titled with its name
// (--keep: leaves them up) until OUTDIR\stop appears, or ten minutes have passed.
// A box without an OK button (the yes/no question) is answered no. OUTDIR gets
// "ready" and box-K.txt per box (its text in code page 932).
//
// Commands: the runner writes OUTDIR\cmd-K.txt (K = 1, 2, ...; UTF-8), the
// driver carries it out and puts its output in OUTDIR\done-K.txt, written
// under another name and renamed, so the runner never reads half of it:
//   dialog              "owner=resident|none" and one line per control of the
//                       settings dialog, "ID TEXT"; "none" when no dialog is up
//   click ID            BM_CLICK posted to the dialog's control ID
//   post CLASS MSG W L  PostMessage to the top-level window of that class
//   desktop             the wallpaper's values under HKCU\Control Panel\Desktop, "name=value" lines
//   ticks CLASS N       sends N WM_TIMER (id 1) to that window, each after the
//                       last was handled; "sent=K"
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <initializer_list>

namespace {

const int kMaxBoxes = 64;

struct Box { HWND window; DWORD toldAt; };  // toldAt 0: not yet told to close

wchar_t outDir[MAX_PATH];
bool keep = false;
int boxCount = 0;
Box boxes[kMaxBoxes];
int tracked = 0;
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
    char bytes[4200];
    int n = WideCharToMultiByte(932, 0, text, -1, bytes, static_cast<int>(sizeof bytes), nullptr, nullptr);
    wchar_t name[32];
    _snwprintf(name, 32, L"box-%d.txt", ++boxCount);
    WriteOut(name, bytes, n > 0 ? n - 1 : 0);
    if (tracked < kMaxBoxes) boxes[tracked++] = {window, 0};
}

// A visible dialog-class window whose caption is the title (a box) or starts with the title and a space
// (the settings dialog).
bool IsOurs(HWND window, bool settings) {
    wchar_t cls[16], caption[64];
    return IsWindowVisible(window) && GetClassNameW(window, cls, 16) && wcscmp(cls, L"#32770") == 0 &&
           GetWindowTextW(window, caption, 64) > 0 &&
           (settings ? wcsncmp(caption, L"ミルフォス\u3000", 6) == 0 : wcscmp(caption, L"ミルフォス") == 0);
}

BOOL CALLBACK Visit(HWND window, LPARAM) {
    if (!IsOurs(window, false)) return TRUE;
    int i = 0;
    while (i < tracked && boxes[i].window != window) ++i;
    if (i == tracked) Record(window);
    if (i == tracked || keep) return TRUE;
    // A box told to close but still up is told again now and then.
    if (boxes[i].toldAt == 0 || GetTickCount() - boxes[i].toldAt > 500) {
        const int button = GetDlgItem(window, IDOK) ? IDOK : IDNO;
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

BOOL CALLBACK IsSettingsDialog(HWND window, LPARAM found) {
    if (!IsOurs(window, true)) return TRUE;
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

void DumpDialog(Output& out) {
    HWND dialog = FindSettingsDialog();
    // Answered once the program is back in its message loop, so what it was doing has been done.
    if (dialog) SendMessageW(dialog, WM_NULL, 0, 0);
    if (!dialog || !IsWindowVisible(dialog)) return out.Add(L"none\n");
    HWND owner = GetWindow(dialog, GW_OWNER);
    wchar_t ownerClass[32] = L"";
    if (owner) GetClassNameW(owner, ownerClass, 32);
    out.Add(L"owner=%ls\n", wcscmp(ownerClass, L"kestrova4095") == 0 ? L"resident" : owner ? L"desktop" : L"none");
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[MAX_PATH] = L"";
        SendMessageW(child, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(text));  // the live text, across processes
        out.Add(L"%d %ls\n", GetDlgCtrlID(child), text);
    }
}

void DumpDesktop(Output& out) {
    for (const wchar_t* name : {L"Wallpaper", L"TileWallpaper", L"WallpaperStyle", L"WallPaperOriginX",
                                L"WallPaperOriginY"}) {
        wchar_t value[2 * MAX_PATH];
        DWORD size = sizeof value;
        // A value of the wrong type is left out, so its check fails.
        if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", name, RRF_RT_REG_SZ, nullptr, value, &size) ==
            ERROR_SUCCESS)
            out.Add(L"%ls=%ls\n", name, value);
    }
}

void Carry(wchar_t* command, Output& out) {
    wchar_t* rest = nullptr;
    const wchar_t* verb = wcstok_s(command, L" \r\n", &rest);
    if (!verb) return;
    if (wcscmp(verb, L"dialog") == 0) return DumpDialog(out);
    if (wcscmp(verb, L"desktop") == 0) return DumpDesktop(out);
    if (wcscmp(verb, L"click") == 0) {
        HWND dialog = FindSettingsDialog();
        HWND control = dialog ? GetDlgItem(dialog, static_cast<int>(wcstol(rest, nullptr, 10))) : nullptr;
        return out.Add(L"%d\n", control && PostMessageW(control, BM_CLICK, 0, 0) ? 1 : 0);
    }
    const wchar_t* cls = wcstok_s(nullptr, L" \r\n", &rest);
    if (!cls) return out.Add(L"no class\n");
    HWND window = FindWindowW(cls, nullptr);
    if (wcscmp(verb, L"post") == 0) {
        unsigned long message = wcstoul(rest, &rest, 10), w = wcstoul(rest, &rest, 10);
        long l = wcstol(rest, &rest, 10);
        return out.Add(L"%d\n", window && PostMessageW(window, message, w, l) ? 1 : 0);
    }
    if (wcscmp(verb, L"ticks") == 0) {
        const long count = wcstol(rest, nullptr, 10);
        long sent = 0;
        DWORD_PTR result;
        while (sent < count && window && SendMessageTimeoutW(window, WM_TIMER, 1, 0, SMTO_NORMAL, 60000, &result))
            ++sent;
        return out.Add(L"sent=%ld\n", sent);
    }
    out.Add(L"unknown command\n");
}

// Carries out the runner's next command file, if it is there yet.
void CarryNextCommand() {
    wchar_t name[32], path[MAX_PATH], part[MAX_PATH];
    _snwprintf(name, 32, L"cmd-%d.txt", commandCount + 1);
    if (!OutPath(path, name)) return;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char bytes[2048] = "";
    DWORD got = 0;
    ReadFile(file, bytes, sizeof bytes - 1, &got, nullptr);
    CloseHandle(file);
    bytes[got] = '\0';
    wchar_t command[2048];
    if (MultiByteToWideChar(CP_UTF8, 0, bytes, -1, command, 2048) <= 0) command[0] = L'\0';
    static Output out;
    out.used = 0;
    Carry(command, out);
    _snwprintf(name, 32, L"done-%d.txt", ++commandCount);
    if (WriteOut(L"done.part", out.text, out.used) && OutPath(part, L"done.part") && OutPath(path, name))
        MoveFileW(part, path);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    keep = argc == 3 && wcscmp(argv[2], L"--keep") == 0;
    if (argc < 2 || argc > 2 + keep || wcslen(argv[1]) >= MAX_PATH) {
        fputs("usage: e2e_driver OUTDIR [--keep]\n", stderr);
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
        if (GetFileAttributesW(stop) != INVALID_FILE_ATTRIBUTES || GetTickCount() - start >= 600000) break;
    }
    return 0;
}
