#include "app_test_support.h"

#include <cstdio>

#include "app/alert_user.h"
#include "app/app_state.h"
#include "settings/wallpaper_settings.h"
#include "wallpaper/wallpaper_job.h"

std::vector<RecordedBox> recordedBoxes;

namespace {

int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    recordedBoxes.push_back({owner, text ? text : "<null>", caption ? caption : "<null>", type});
    return IDOK;
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace

void ShellTest::SetUp()
{
    appState = AppState{};
    mainJob = WallpaperJob{};
    dialogJob = WallpaperJob{};
    changeAtStart = 0;
    intervalMinutes = 0;
    recordedBoxes.clear();
    alertMessageBox = RecordMessageBox;
}

void ShellTest::TearDown()
{
    alertMessageBox = MessageBoxA;
}

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static int serial;
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%sshell-test-%lu-%d", temp, GetCurrentProcessId(), ++serial);
    path_ = name;
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

std::string ReadBytes(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "<missing>";
    std::string bytes;
    char buffer[512];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

ProbeWindow::ProbeWindow(const char* className, const char* caption) : className_(className)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, className, caption, WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleA(nullptr), this);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ProbeWindow::~ProbeWindow()
{
    DestroyWindow(window_);
    UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
}

void ProbeWindow::PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

LRESULT CALLBACK ProbeWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* probe = reinterpret_cast<ProbeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (probe != nullptr && message == WM_CLOSE) {
        probe->closes++;
        return 0;
    }
    if (probe != nullptr && message == WM_COMMAND) {
        probe->commands.push_back(wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
