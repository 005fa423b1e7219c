#include "wallpaper_test_support.h"

#include <cstring>

#include "app/app_state.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"

namespace {

void Put32(std::string& out, size_t at, uint32_t value) { std::memcpy(&out[at], &value, 4); }

// File header and 40-byte info header, with room for the table and the rows.
std::string BmpShell(int32_t width, int32_t height, uint16_t bits, uint32_t tableBytes, uint32_t coloursUsed)
{
    const uint32_t pixelBytes = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4 * static_cast<uint32_t>(std::abs(height));
    std::string file(14 + 40 + tableBytes + pixelBytes, '\0');
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<uint32_t>(file.size()));
    Put32(file, 10, 14 + 40 + tableBytes);
    Put32(file, 14, 40);
    Put32(file, 18, static_cast<uint32_t>(width));
    Put32(file, 22, static_cast<uint32_t>(height));
    file[26] = 1;
    file[28] = static_cast<char>(bits);
    Put32(file, 34, pixelBytes);
    Put32(file, 46, coloursUsed);
    return file;
}

}  // namespace

void WallpaperTest::SetUp()
{
    ShellTest::SetUp();
    appState.uiFlags = DialogOpen;
    appState.desktopWindow = GetDesktopWindow();
    pipelineBusy = 0;
}

void WallpaperTest::TearDown()
{
    if (pictureBlock) GlobalFree(pictureBlock);
    pictureBlock = nullptr;
    ShellTest::TearDown();
}

std::vector<std::string> Messages()
{
    std::vector<std::string> texts;
    for (const RecordedBox& box : recordedBoxes) texts.push_back(box.text);
    return texts;
}

uint32_t Grey(int32_t, int32_t) { return 0x808080; }

std::string Bmp24(int32_t width, int32_t height, uint32_t (*colour)(int32_t, int32_t), bool topDown)
{
    std::string file = BmpShell(width, topDown ? -height : height, 24, 0, 0);
    const size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    for (int32_t y = 0; y < height; ++y) {
        char* row = &file[54 + static_cast<size_t>(topDown ? y : height - 1 - y) * rowBytes];
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t rgb = colour(x, y);
            row[3 * x] = static_cast<char>(rgb);
            row[3 * x + 1] = static_cast<char>(rgb >> 8);
            row[3 * x + 2] = static_cast<char>(rgb >> 16);
        }
    }
    return file;
}

std::string Bmp8(int32_t width, int32_t height, uint32_t coloursUsed)
{
    const uint32_t entries = coloursUsed ? coloursUsed : 256;
    std::string file = BmpShell(width, height, 8, 4 * entries, coloursUsed);
    for (uint32_t i = 0; i < entries; ++i) std::memset(&file[54 + 4 * i], static_cast<int>(i), 3);
    return file;
}

void UsePicture(const ScratchFolder& folder, const char* name, const std::string& bytes)
{
    WriteBytes(folder.Child(name), bytes);
    strcpy(currentPicturePath, folder.Child(name).c_str());
}

std::string DesktopValue(const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) != ERROR_SUCCESS) return "<missing>";
    char data[1024];
    DWORD size = sizeof data, type = 0;
    const LONG read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) return "<missing>";
    if (type != REG_SZ) return "<type " + std::to_string(type) + ">";
    return std::string(data, size);
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
