#include "app_test_support.h"

#include <fstream>
#include <iterator>
#include <utility>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "settings/settings_dialog.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/wallpaper_job.h"

std::vector<RecordedBox> recordedBoxes;
int recordedAnswer = IDOK;
std::function<void()> whileBoxIsUp;

std::string BoxTexts()
{
    std::string texts;
    for (const RecordedBox& box : recordedBoxes) texts += box.text + "|";
    return texts;
}

std::string Shown(MessageId message) { return message == MSG_COUNT ? "" : MessageText(message) + std::string("|"); }

static int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    recordedBoxes.push_back({owner, text ? text : "<null>", caption ? caption : "<null>", type});
    if (whileBoxIsUp) std::exchange(whileBoxIsUp, nullptr)();
    return recordedAnswer;
}

static void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &entry)) {
        const std::string name = entry.cFileName, child = path + "\\" + name;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))  // read-only files too
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL), DeleteFileA(child.c_str());
        else if (name != "." && name != "..") RemoveTree(child);
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    RemoveDirectoryA(path.c_str());
}

void ShellTest::SetUp()
{
    appState = AppState{};
    mainJob = dialogJob = WallpaperJob{};
    changeAtStart = intervalMinutes = 0;
    recordedBoxes.clear(), recordedAnswer = IDOK, whileBoxIsUp = nullptr;
    alertMessageBox = questionBox = RecordMessageBox;
    appState.instance = GetModuleHandleA(nullptr);
}

void ShellTest::TearDown() { alertMessageBox = questionBox = MessageBoxA; }

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH];
    static int serial;
    GetTempPathA(MAX_PATH, temp);
    path_ = temp + ("shell-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
    RemoveTree(path_);  // left by an earlier run with the same process id
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "<missing>";
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    ASSERT_TRUE(std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size())).flush().good())
        << path;
}

std::string DeepFolder(const ScratchFolder& folder, size_t pathLength)
{
    const std::string deep = folder.Child(std::string(pathLength - folder.path().size() - 14, 'd').c_str());
    return CreateDirectoryA(deep.c_str(), nullptr), deep;
}

std::string DesktopValue(const char* name)
{
    char data[1024];
    DWORD size = sizeof data;
    const LONG status = RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", name, RRF_RT_REG_SZ, nullptr, data, &size);
    return status == 0 ? std::string(data, size) : "<missing>";
}

DibHeader Rgb24(int32_t width, int32_t height, bool topDown)
{
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    return {40, width, topDown ? -height : height, 1, 24, 0, rowBytes * static_cast<uint32_t>(height), 0, 0, 0, 0};
}

std::string BmpFile(const DibHeader& header, const std::string& masks, const std::function<uint32_t(int32_t, int32_t)>& bgr)
{
    const uint32_t offset = 54 + static_cast<uint32_t>(masks.size()), size = offset + header.biSizeImage;
    const auto bytes = [](const void* data, size_t count) { return std::string(static_cast<const char*>(data), count); };
    std::string pixels(header.biSizeImage, '\x80');
    const int32_t height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    for (int32_t stored = 0; bgr && stored < height; ++stored)
        for (int32_t x = 0; x < header.biWidth; ++x) {
            const uint32_t colour = bgr(x, header.biHeight < 0 ? stored : height - 1 - stored);
            pixels.replace(stored * (header.biSizeImage / height) + 3 * x, 3, bytes(&colour, 3));
        }
    return "BM" + bytes(&size, 4) + std::string(4, '\0') + bytes(&offset, 4) + bytes(&header, 40) + masks + pixels;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT)
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) TranslateMessage(&message), DispatchMessageA(&message);
}

static std::function<void(HWND)> pendingScript;

static void CALLBACK RunPendingScript(HWND, UINT, UINT_PTR id, DWORD)
{
    // The dialog shows once its queue first runs dry; a timer tick comes only then too.
    HWND dialog = appState.messageOwner;  // the dialog makes itself the owner of boxes
    if (pendingScript && !IsWindowVisible(dialog)) return;
    KillTimer(nullptr, id);
    const std::function<void(HWND)> script = std::exchange(pendingScript, nullptr);
    if (!script) return;  // taken by an earlier timer
    UpdateWindow(dialog);
    PumpMessages();
    script(dialog);
    if (IsWindow(dialog) && (appState.uiFlags & DialogOpen)) EndDialog(dialog, 99);
}

void PostDialogScript(const std::function<void(HWND)>& script) { pendingScript = script, SetTimer(0, 0, 10, RunPendingScript); }

INT_PTR RunDialogScript(HWND owner, const std::function<void(HWND)>& script)
{ return PostDialogScript(script), RunSettingsDialog(owner); }

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

std::string ControlText(HWND dialog, int id)
{
    char text[MAX_PATH] = "";
    return GetDlgItemTextA(dialog, id, text, sizeof text), text;
}
