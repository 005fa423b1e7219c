// The settings text: the first line read by byte position, where long lines
// are cut, when a file is unusable, and a write that never reached the disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "settings/settings_format.h"
#include "base/wallpaper_settings.h"

namespace {

WallpaperJob job;
const std::string longFolder(258, 'f'), cutLine = std::string(74, '9') + "\n";

bool FakePathExists(const char* path) { return strcmp(path, "C:\\P") == 0 || path == longFolder || path == cutLine; }

// "outcome:atStart mode minutes folder" after a load over stale values (5), so what a load leaves alone shows.
std::string Load(const std::string& bytes)
{
    changeAtStart = intervalMinutes = job.displayMode = 5;
    strcpy(job.folder, "old");
    FILE* file = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), file), rewind(file);
    const int outcome = LoadSettings(file, FakePathExists, &job);
    return fclose(file), std::to_string(outcome) + ":" + std::to_string(changeAtStart) + " " + std::to_string(job.displayMode)
           + " " + std::to_string(intervalMinutes) + " " + job.folder;
}

TEST(SettingsText, FileBytesAndWhatTheyLoad)
{
    // First lines before "\nC:\\P" and the start flag, mode and minutes they give; mode 3 is Center, the line
    // break is a byte too, and numbers past 32 bits must not wrap round to a small interval.
    const std::pair<std::string, std::string> firstLines[] = {
        {"1230", "1 2 30"}, {"030", "0 0 0"}, {"215", "0 1 5"}, {"1\xff" "5", "1 0 5"}, {"1", "1 2 0"}, {"", "0 0 0"},
        {"10999", "1 0 999"}, {"101000", "1 0 60"}, {"10-1", "1 0 60"}, {"10-0", "1 0 0"}, {"10x", "1 0 0"},
        {"10 \t+8x9", "1 0 8"}, {"104294967301", "1 0 60"}, {"10-4294967295", "1 0 60"},
        {"1099999999999999999999", "1 0 60"}};
    for (const auto& [line, loaded] : firstLines) EXPECT_EQ(Load(line + "\nC:\\P"), "0:" + loaded + " C:\\P") << line;
    // 126 bytes make the first line, the rest of it the folder; 258 bytes make the folder.
    EXPECT_EQ(Load("123" + std::string(197, '9') + "\nC:\\P"), "0:1 2 60 " + cutLine);
    EXPECT_EQ(Load("100\n" + longFolder + "tail"), "0:1 0 0 " + longFolder);
    // Unusable: the folder is emptied and the first line not applied; a line break after a folder stays in its name.
    for (const char* bytes : {"", "1230\n", "1230", "1230\nC:\\Gone", "1230\nC:\\P\n", "1230\nC:\\P\nmore"})
        EXPECT_EQ(Load(bytes), "1:5 5 5 ") << bytes;
}

TEST(SettingsText, WriterReportsAFullDiskAndTheIniNameIsMadeInPlace)
{
    FILE* file = tmpfile();  // start flag, mode, interval, in that order
    EXPECT_EQ(WriteSettings(file, 1, 2, 30, "C:\\P"), 0);
    char text[16] = {};
    rewind(file);
    EXPECT_EQ(std::string(text, fread(text, 1, sizeof text, file)), "1230\nC:\\P");
    fclose(file);
#ifndef _WIN32
    FILE* full = fopen("/dev/full", "w");  // the text fits the buffer, only the flush fails
    EXPECT_EQ(WriteSettings(full, 1, 2, 30, "C:\\P"), 1);
    fclose(full);
#endif
    char path[] = "C:\\kestrova.exe", shortPath[] = "ab";
    SetFileExtension(path, static_cast<int>(strlen(path)), "ini");
    SetFileExtension(shortPath, 2, "ini");
    EXPECT_EQ(path + std::string(shortPath), "C:\\kestrova.iniab");
}

TEST(SettingsText, DialogMinutesAreAWholeNumberOrRefused)
{
    const std::pair<const char*, uint32_t> rows[] = {
        {"1", 1}, {"999", 999}, {"030", 30}, {"", 0}, {"0", 0}, {"1a", 0}, {"1 ", 0}, {"-1", 0}, {"+1", 0},
        {" 15", 15}, {"\t 7", 7}, {" ", 0}, {" -1", 0},  // leading blanks skipped, as Windows does
        {"1000", 1000}, {"99999999999", 1000}};  // above 999 stays above it, whatever its length
    for (const auto& [text, minutes] : rows) EXPECT_EQ(std::min(ParseDialogMinutes(text), 1000u), minutes) << text;
}

}  // namespace
