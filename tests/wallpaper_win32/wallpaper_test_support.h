// Shared pieces of the Win32 wallpaper tests: a scratch folder on disk, BMP
// files made to measure, recorded messages instead of modal boxes, and the
// desktop registry values.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wallpaper/wallpaper_job.h"

// A fresh folder under the temporary directory, removed with its files.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& leaf = "");
    ~ScratchFolder();
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    void MakeFolder(const std::string& name) const;

private:
    std::string path_;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path);

// A 24-bit BMP file whose pixel (x, y), y counted from the top, has colour(x, y) as 0xRRGGBB.
std::vector<uint8_t> Bmp24(int32_t width, int32_t height, uint32_t (*colour)(int32_t x, int32_t y), bool topDown = false);
// An 8-bit BMP with a grey colour table of biClrUsed entries (256 when 0).
std::vector<uint8_t> Bmp8(int32_t width, int32_t height, uint32_t coloursUsed);

uint32_t Grey(int32_t, int32_t);

// Every AlertUser text, in order; boxes are never shown.
extern std::vector<std::string> shownMessages;

// Messages are recorded, every one is shown (as inside the settings dialog),
// pictureBlock is free and both jobs are zeroed.
class WallpaperTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The fixed text of a message id, with the %s or %d filled in where given.
std::string Text(int messageId);

struct RegistryValue {
    DWORD type = 0;
    std::string bytes;  // exactly as stored, terminating zero included
    bool present = false;
};
RegistryValue DesktopValue(const char* name);
void SetDesktopValue(const char* name, const char* text);
