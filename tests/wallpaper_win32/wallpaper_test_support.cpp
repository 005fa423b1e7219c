#include "wallpaper_test_support.h"

#include <cstring>

#include "app/alert_user.h"
#include "app/app_state.h"
#include "resources/messages.h"
#include "wallpaper/change_pipeline.h"

std::vector<std::string> shownMessages;

namespace {

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR, UINT)
{
    shownMessages.push_back(text);
    return IDOK;
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
            else DeleteFileA(full.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value) { std::memcpy(&out[at], &value, 4); }

// File header and a 40-byte info header; the caller fills table and pixels.
std::vector<uint8_t> BmpShell(int32_t width, int32_t height, uint16_t bits, uint32_t tableBytes, uint32_t coloursUsed)
{
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4;
    const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(height < 0 ? -height : height);
    std::vector<uint8_t> file(14 + 40 + tableBytes + pixelBytes, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<uint32_t>(file.size()));
    Put32(file, 10, 14 + 40 + tableBytes);
    Put32(file, 14, 40);
    Put32(file, 18, static_cast<uint32_t>(width));
    Put32(file, 22, static_cast<uint32_t>(height));
    file[26] = 1;
    file[28] = static_cast<uint8_t>(bits);
    Put32(file, 34, pixelBytes);
    Put32(file, 46, coloursUsed);
    return file;
}

}  // namespace

ScratchFolder::ScratchFolder(const std::string& leaf)
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static int serial;
    path_ = std::string(base) + "kestrova-wallpaper-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++serial);
    CreateDirectoryA(path_.c_str(), nullptr);
    if (!leaf.empty()) {
        path_ += "\\" + leaf;
        CreateDirectoryA(path_.c_str(), nullptr);
    }
}

ScratchFolder::~ScratchFolder()
{
    const size_t cut = path_.find("\\", path_.find("kestrova-wallpaper-"));
    RemoveTree(cut == std::string::npos ? path_ : path_.substr(0, cut));
}

void ScratchFolder::Write(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    HANDLE file = CreateFileA(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << File(name);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

void ScratchFolder::MakeFolder(const std::string& name) const { CreateDirectoryA(File(name).c_str(), nullptr); }

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

uint32_t Grey(int32_t, int32_t) { return 0x808080; }

std::vector<uint8_t> Bmp24(int32_t width, int32_t height, uint32_t (*colour)(int32_t x, int32_t y), bool topDown)
{
    std::vector<uint8_t> file = BmpShell(width, topDown ? -height : height, 24, 0, 0);
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    for (int32_t y = 0; y < height; ++y) {
        const int32_t storedRow = topDown ? y : height - 1 - y;
        uint8_t* row = &file[54 + static_cast<size_t>(storedRow) * rowBytes];
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t rgb = colour(x, y);
            row[3 * x] = static_cast<uint8_t>(rgb);
            row[3 * x + 1] = static_cast<uint8_t>(rgb >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(rgb >> 16);
        }
    }
    return file;
}

std::vector<uint8_t> Bmp8(int32_t width, int32_t height, uint32_t coloursUsed)
{
    const uint32_t entries = coloursUsed ? coloursUsed : 256;
    std::vector<uint8_t> file = BmpShell(width, height, 8, 4 * entries, coloursUsed);
    for (uint32_t i = 0; i < entries; ++i) file[54 + 4 * i] = file[55 + 4 * i] = file[56 + 4 * i] = static_cast<uint8_t>(i);
    return file;
}

void WallpaperTest::SetUp()
{
    shownMessages.clear();
    alertMessageBox = RecordBox;
    appState.uiFlags = DialogOpen;  // every message is shown, so "once" can be counted
    appState.errorCount = 0;
    appState.residentWindow = nullptr;
    appState.desktopWindow = GetDesktopWindow();
    pipelineBusy = 0;
    std::memset(&mainJob, 0, sizeof mainJob);
    std::memset(&dialogJob, 0, sizeof dialogJob);
}

void WallpaperTest::TearDown()
{
    if (pictureBlock) GlobalFree(pictureBlock);
    pictureBlock = nullptr;
}

std::string Text(int messageId) { return MessageText(static_cast<MessageId>(messageId)); }

RegistryValue DesktopValue(const char* name)
{
    RegistryValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    char data[1024];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
        value.present = true;
        value.bytes.assign(data, size);
    }
    RegCloseKey(key);
    return value;
}

void SetDesktopValue(const char* name, const char* text)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(std::strlen(text) + 1));
    RegCloseKey(key);
}
