// What the wallpaper tests add to the shell's test support: every message
// recorded as shown (as inside the settings dialog, so "once" can be counted),
// BMP files made to measure, and the desktop's registry values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app_test_support.h"

class WallpaperTest : public ShellTest {
protected:
    void SetUp() override;
    void TearDown() override;  // frees pictureBlock
};

// The texts of the boxes shown so far.
std::vector<std::string> Messages();

uint32_t Grey(int32_t x, int32_t y);

// A 24-bit BMP file whose pixel (x, y), y from the top, is colour(x, y) as 0xRRGGBB.
std::string Bmp24(int32_t width, int32_t height, uint32_t (*colour)(int32_t, int32_t) = Grey, bool topDown = false);
// An 8-bit BMP file with a grey table of biClrUsed entries (256 when 0).
std::string Bmp8(int32_t width, int32_t height, uint32_t coloursUsed);

// Writes the file into the folder and makes it currentPicturePath.
void UsePicture(const ScratchFolder& folder, const char* name, const std::string& bytes);

// A value under HKCU\Control Panel\Desktop: REG_SZ bytes with their zero, else "<missing>" or "<type N>".
std::string DesktopValue(const char* name);
void SetDesktopValue(const char* name, const char* text);
