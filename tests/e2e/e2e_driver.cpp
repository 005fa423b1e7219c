// Test driver for the end-to-end runs: stays up beside the program (keeping
// Wine's virtual desktop alive) and clicks OK on each box titled with its name
// (--keep: leaves them up) until OUTDIR\stop appears, or ten minutes have passed.
// A box without an OK button (a yes/no question) is answered no. OUTDIR gets
// "ready" and box-K.txt per box (its text in code page 932).
//
// Commands: the runner writes OUTDIR\cmd-K.txt (K = 1, 2, ...), the driver
// carries it out and puts its output (UTF-8) in OUTDIR\done-K.txt:
//   dialog              "owner=resident|desktop|none" and one line per control of
//                       the settings dialog, "ID TEXT"; "none" when no dialog is up
//   click ID            BM_CLICK posted to the dialog's control ID
//   post CLASS MSG W L  PostMessage to the top-level window of that class; "1" if posted
//   desktop             the wallpaper's values under HKCU\Control Panel\Desktop, "name=value" lines
//   ticks CLASS N       sends N WM_TIMER (id 1) to that window, each after the
//                       last was handled; "sent=K"
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring outDir;
bool keep = false;
int boxCount = 0, commandCount = 0;
struct Box { HWND window; DWORD toldAt; };  // toldAt 0: not yet told to close
std::vector<Box> boxes;

std::wstring OutPath(const std::wstring& name) { return outDir + L"\\" + name; }

// Written under another name and renamed, so the runner never reads half of it.
bool WriteOut(const std::wstring& name, const std::string& data) {
    const std::wstring part = OutPath(L"out.part");
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                    written == data.size();
    CloseHandle(file);
    return ok && MoveFileExW(part.c_str(), OutPath(name).c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string Encode(const std::wstring& text, UINT codePage) {
    std::string bytes(text.size() * 4, '\0');
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                                      static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(n > 0 ? n : 0);
    return bytes;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[32] = L"";
    GetClassNameW(window, name, 32);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[2048] = L"";
    GetWindowTextW(window, text, 2048);
    return text;
}

// A box's caption is the title; the settings dialog's starts with the title and a space.
bool IsOurs(HWND window, bool settings) {
    if (!IsWindowVisible(window) || ClassOf(window) != L"#32770") return false;
    const std::wstring caption = TextOf(window);
    return settings ? caption.rfind(L"ミルフォス\u3000", 0) == 0 : caption == L"ミルフォス";
}

// The icon of a box is a Static without text; the message is the one with text. Converted here from
// Unicode, so bytes shown in another code page fail the comparison.
void Record(HWND box) {
    std::wstring text;
    for (HWND child = GetWindow(box, GW_CHILD); child && text.empty(); child = GetWindow(child, GW_HWNDNEXT))
        if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0) text = TextOf(child);
    WriteOut(L"box-" + std::to_wstring(++boxCount) + L".txt", Encode(text, 932));
    boxes.push_back({box, 0});
}

BOOL CALLBACK Visit(HWND window, LPARAM) {
    if (!IsOurs(window, false)) return TRUE;
    auto box = std::find_if(boxes.begin(), boxes.end(), [window](const Box& b) { return b.window == window; });
    if (box == boxes.end()) return Record(window), TRUE;
    // A box told to close but still up is told again now and then.
    if (!keep && (box->toldAt == 0 || GetTickCount() - box->toldAt > 500)) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgItem(window, IDOK) ? IDOK : IDNO, BN_CLICKED), 0);
        box->toldAt = GetTickCount();
    }
    return TRUE;
}

BOOL CALLBACK FindSettings(HWND window, LPARAM found) {
    if (!IsOurs(window, true)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

std::wstring Dialog() {
    HWND dialog = nullptr;
    EnumWindows(FindSettings, reinterpret_cast<LPARAM>(&dialog));
    // Answered once the program is back in its message loop, so what it was doing has been done.
    if (dialog) SendMessageW(dialog, WM_NULL, 0, 0);
    if (!dialog || !IsWindowVisible(dialog)) return L"none\n";
    HWND owner = GetWindow(dialog, GW_OWNER);
    std::wstring out = owner == nullptr ? L"owner=none\n" : ClassOf(owner) == L"kestrova4095" ? L"owner=resident\n"
                                                                                               : L"owner=desktop\n";
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[MAX_PATH] = L"";
        SendMessageW(child, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(text));  // the live text, across processes
        out += std::to_wstring(GetDlgCtrlID(child)) + L" " + text + L"\n";
    }
    return out;
}

std::wstring Desktop() {
    std::wstring out;
    for (const wchar_t* name : {L"Wallpaper", L"TileWallpaper", L"WallpaperStyle", L"WallPaperOriginX",
                                L"WallPaperOriginY"}) {
        wchar_t value[2 * MAX_PATH];
        DWORD size = sizeof value;
        // A value of the wrong type is left out, so its check fails.
        if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", name, RRF_RT_REG_SZ, nullptr, value, &size) ==
            ERROR_SUCCESS)
            out += name + (L"=" + std::wstring(value)) + L"\n";
    }
    return out;
}

std::wstring Carry(const char* command) {
    char verb[16] = "", cls[64] = "";
    unsigned long message = 0, w = 0;
    long number = 0;
    sscanf(command, "%15s", verb);
    if (strcmp(verb, "dialog") == 0) return Dialog();
    if (strcmp(verb, "desktop") == 0) return Desktop();
    if (sscanf(command, "click %ld", &number) == 1) {
        HWND dialog = nullptr;
        EnumWindows(FindSettings, reinterpret_cast<LPARAM>(&dialog));
        HWND control = dialog ? GetDlgItem(dialog, static_cast<int>(number)) : nullptr;
        return control && PostMessageW(control, BM_CLICK, 0, 0) ? L"1\n" : L"0\n";
    }
    if (sscanf(command, "post %63s %lu %lu %ld", cls, &message, &w, &number) == 4) {
        HWND window = FindWindowA(cls, nullptr);
        return window && PostMessageW(window, message, w, number) ? L"1\n" : L"0\n";
    }
    if (sscanf(command, "ticks %63s %ld", cls, &number) == 2) {
        HWND window = FindWindowA(cls, nullptr);
        long sent = 0;
        DWORD_PTR result;
        while (sent < number && window && SendMessageTimeoutW(window, WM_TIMER, 1, 0, SMTO_NORMAL, 60000, &result))
            ++sent;
        return L"sent=" + std::to_wstring(sent) + L"\n";
    }
    return L"unknown command\n";
}

// Carries out the runner's next command file, if it is there yet.
void CarryNextCommand() {
    const std::wstring path = OutPath(L"cmd-" + std::to_wstring(commandCount + 1) + L".txt");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char command[256] = "";
    DWORD got = 0;
    ReadFile(file, command, sizeof command - 1, &got, nullptr);
    CloseHandle(file);
    command[got] = '\0';
    WriteOut(L"done-" + std::to_wstring(++commandCount) + L".txt", Encode(Carry(command), CP_UTF8));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    keep = argc == 3 && wcscmp(argv[2], L"--keep") == 0;
    if (argc < 2 || argc > 2 + keep || wcslen(argv[1]) >= MAX_PATH) {
        fputs("usage: e2e_driver OUTDIR [--keep]\n", stderr);
        return 2;
    }
    outDir = argv[1];
    // Touching the desktop joins it, so Wine keeps it up while the driver runs.
    const std::wstring stop = OutPath(L"stop");
    if (!GetDesktopWindow() || !WriteOut(L"ready", "")) return 3;
    for (DWORD start = GetTickCount();; Sleep(50)) {
        // A box that has gone may hand its handle to a later window: forget it.
        boxes.erase(std::remove_if(boxes.begin(), boxes.end(), [](const Box& box) { return !IsWindow(box.window); }),
                    boxes.end());
        EnumWindows(Visit, 0);
        CarryNextCommand();
        if (GetFileAttributesW(stop.c_str()) != INVALID_FILE_ATTRIBUTES || GetTickCount() - start >= 600000) break;
    }
    return 0;
}
