#include "app_test_support.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/alert_user.h"
#include "app/app_state.h"
#include "settings/wallpaper_settings.h"
#include "wallpaper/wallpaper_job.h"

std::vector<RecordedBox> recordedBoxes;

static int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    recordedBoxes.push_back({owner, text ? text : "<null>", caption ? caption : "<null>", type});
    return IDOK;
}

static void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &entry)) {
        std::string name = entry.cFileName, child = path + "\\" + name;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only files too
            DeleteFileA(child.c_str());
        } else if (name != "." && name != "..") {
            RemoveTree(child);
        }
    }
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    RemoveDirectoryA(path.c_str());
}

void ShellTest::SetUp()
{
    appState = AppState{};
    mainJob = dialogJob = WallpaperJob{};
    changeAtStart = intervalMinutes = 0;
    recordedBoxes.clear();
    alertMessageBox = RecordMessageBox;
}

void ShellTest::TearDown() { alertMessageBox = MessageBoxA; }

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH], name[MAX_PATH];
    static int serial;
    GetTempPathA(MAX_PATH, temp);
    snprintf(name, sizeof name, "%sshell-test-%lu-%d", temp, GetCurrentProcessId(), ++serial);
    path_ = name;
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
    std::ofstream file(path, std::ios::binary);
    ASSERT_TRUE(file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush().good()) << path;
}
