// The settings text: what each first line means by byte position, when a file
// is unusable, and that what the writer writes the reader reads back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "settings/settings_format.h"
#include "settings/wallpaper_settings.h"

namespace {

// The folders that "exist" for these tests, and the last name asked about.
std::string askedPath;
int existenceTests;

bool FakePathExists(const char* path)
{
    askedPath = path;
    existenceTests++;
    return strcmp(path, "C:\\Pictures") == 0 || strcmp(path, "C:\\Pictures\\a.jpg") == 0
           || strcmp(path, ".") == 0 || strcmp(path, std::string(258, 'f').c_str()) == 0;
}

class SettingsText : public ::testing::Test {
protected:
    void SetUp() override
    {
        changeAtStart = 0;
        intervalMinutes = 0;
        job = WallpaperJob{};
        askedPath.clear();
        existenceTests = 0;
    }

    int Load(const std::string& bytes)
    {
        FILE* file = tmpfile();
        EXPECT_NE(file, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), file);
        rewind(file);
        int outcome = LoadSettings(file, FakePathExists, &job);
        fclose(file);
        return outcome;
    }

    std::string Write(int32_t atStart, int32_t mode, uint32_t minutes, const char* folder)
    {
        FILE* file = tmpfile();
        EXPECT_NE(file, nullptr);
        EXPECT_EQ(WriteSettings(file, atStart, mode, minutes, folder), 0);
        std::string bytes(static_cast<size_t>(ftell(file)), '\0');
        rewind(file);
        EXPECT_EQ(fread(&bytes[0], 1, bytes.size(), file), bytes.size());
        fclose(file);
        return bytes;
    }

    WallpaperJob job;
};

TEST_F(SettingsText, FirstLineIsReadByBytePosition)
{
    ASSERT_EQ(Load("1230\nC:\\Pictures"), SETTINGS_LOADED);
    EXPECT_EQ(changeAtStart, 1);
    EXPECT_EQ(job.displayMode, Stretch);
    EXPECT_EQ(intervalMinutes, 30u);
    EXPECT_STREQ(job.folder, "C:\\Pictures");

    // The mode digit keeps only its two low bits: 3 is Center.
    ASSERT_EQ(Load("030\nC:\\Pictures"), SETTINGS_LOADED);
    EXPECT_EQ(changeAtStart, 0);
    EXPECT_EQ(job.displayMode, Center);
    EXPECT_EQ(intervalMinutes, 0u);

    // Only the digit 1 switches the change at start on.
    ASSERT_EQ(Load("215\nC:\\Pictures"), SETTINGS_LOADED);
    EXPECT_EQ(changeAtStart, 0);
    EXPECT_EQ(job.displayMode, Tile);
    EXPECT_EQ(intervalMinutes, 5u);

    // Whatever the mode byte holds, the mode is one the table has.
    for (int byte = 1; byte < 256; byte++) {
        if (byte == '\n')
            continue;
        SCOPED_TRACE(byte);
        ASSERT_EQ(Load(std::string("1") + static_cast<char>(byte) + "5\nC:\\Pictures"), SETTINGS_LOADED);
        EXPECT_EQ(job.displayMode, (byte & 3) == 3 ? 0 : (byte & 3));
    }

    // A line of two bytes: the line break itself is the mode byte.
    ASSERT_EQ(Load("1\nC:\\Pictures"), SETTINGS_LOADED);
    EXPECT_EQ(changeAtStart, 1);
    EXPECT_EQ(job.displayMode, '\n' & 3);
    EXPECT_EQ(intervalMinutes, 0u);

    // A line that is only its line break reads as all zeros, never as
    // leftovers of the buffer.
    intervalMinutes = 7;
    ASSERT_EQ(Load("\nC:\\Pictures"), SETTINGS_LOADED);
    EXPECT_EQ(changeAtStart, 0);
    EXPECT_EQ(job.displayMode, Center);
    EXPECT_EQ(intervalMinutes, 0u);
}

TEST_F(SettingsText, IntervalOutsideOneToNineNineNineBecomesSixty)
{
    const struct {
        const char* text;
        uint32_t minutes;
    } cases[] = {
        {"999", 999}, {"1000", 60}, {"-1", 60}, {"0", 0}, {"x", 0},
        {"", 0}, {"-0", 0}, {"+8", 8}, {" \t12", 12}, {"7x9", 7},
        {"0030", 30},
        // Numbers past 32 bits must not wrap round to a small interval.
        {"4294967296", 60}, {"4294967301", 60}, {"99999999999999999999", 60},
        {"-4294967295", 60}, {"-2147483648", 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_EQ(Load(std::string("10") + c.text + "\nC:\\Pictures"), SETTINGS_LOADED);
        EXPECT_EQ(intervalMinutes, c.minutes);
    }
}

TEST_F(SettingsText, UnusableFileEmptiesFolderAndAppliesNothing)
{
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"one line with its line break", "1230\n"},
        {"one line without line break", "1230"},
        {"folder that does not exist", "1230\nC:\\Gone"},
        // The line break stays in the folder's name, so it never exists.
        {"line break after the folder", "1230\nC:\\Pictures\n"},
        {"third line", "1230\nC:\\Pictures\nmore"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Earlier values stay: the first line is applied only after the second passed.
        changeAtStart = 0;
        intervalMinutes = 5;
        job.displayMode = Tile;
        strcpy(job.folder, "old");
        EXPECT_EQ(Load(c.bytes), SETTINGS_UNUSABLE);
        EXPECT_STREQ(job.folder, "");
        EXPECT_EQ(changeAtStart, 0);
        EXPECT_EQ(intervalMinutes, 5u);
        EXPECT_EQ(job.displayMode, Tile);
    }
}

TEST_F(SettingsText, FolderIsTestedAsReadIncludingItsLineBreak)
{
    EXPECT_EQ(Load("1230\nC:\\Pictures\n"), SETTINGS_UNUSABLE);
    EXPECT_EQ(askedPath, "C:\\Pictures\n");

    // Only existence counts: a plain file passes as the folder.
    EXPECT_EQ(Load("1230\nC:\\Pictures\\a.jpg"), SETTINGS_LOADED);
    EXPECT_STREQ(job.folder, "C:\\Pictures\\a.jpg");

    // The "." that the dialog saves for a folder it could not find.
    EXPECT_EQ(Load("000\n."), SETTINGS_LOADED);
    EXPECT_STREQ(job.folder, ".");

    // A file that ends early is unusable before anything is looked up.
    existenceTests = 0;
    EXPECT_EQ(Load("1230\n"), SETTINGS_UNUSABLE);
    EXPECT_EQ(existenceTests, 0);
}

TEST_F(SettingsText, LongLinesAreCutWhereTheReaderStops)
{
    // 200 bytes on the first line: 126 are the first line, the other 74 and
    // the line break become the folder, which cannot exist.
    std::string first = "123" + std::string(197, '9');
    EXPECT_EQ(Load(first + "\nC:\\Pictures"), SETTINGS_UNUSABLE);
    EXPECT_EQ(askedPath, std::string(74, '9') + "\n");
    EXPECT_EQ(changeAtStart, 0);

    // The folder holds at most 258 bytes: exactly 258 are taken whole...
    std::string folder(258, 'f');
    ASSERT_EQ(Load("100\n" + folder), SETTINGS_LOADED);
    EXPECT_EQ(std::string(job.folder), folder);

    // ...and a longer line is cut there, never past the buffer.
    ASSERT_EQ(Load("100\n" + folder + "tail"), SETTINGS_LOADED);
    EXPECT_EQ(std::string(job.folder), folder);
}

TEST_F(SettingsText, WriterProducesTwoLinesWithoutTrailingBreak)
{
    EXPECT_EQ(Write(1, Stretch, 30, "C:\\Pictures"), "1230\nC:\\Pictures");
    EXPECT_EQ(Write(0, Center, 0, "."), "000\n.");
    EXPECT_EQ(Write(0, Tile, 999, ""), "01999\n");
}

TEST_F(SettingsText, WhatIsWrittenReadsBack)
{
    const char* folders[] = {"C:\\Pictures", "."};
    for (const char* folder : folders) {
        for (int32_t atStart = 0; atStart <= 1; atStart++) {
            for (int32_t mode = Center; mode <= Stretch; mode++) {
                for (uint32_t minutes : {0u, 1u, 60u, 999u}) {
                    SCOPED_TRACE(::testing::Message() << atStart << mode << minutes << folder);
                    std::string bytes = Write(atStart, mode, minutes, folder);
                    changeAtStart = 1 - atStart;
                    intervalMinutes = 12345;
                    job.displayMode = -1;
                    ASSERT_EQ(Load(bytes), SETTINGS_LOADED);
                    EXPECT_EQ(changeAtStart, atStart);
                    EXPECT_EQ(job.displayMode, mode);
                    EXPECT_EQ(intervalMinutes, minutes);
                    EXPECT_STREQ(job.folder, folder);
                }
            }
        }
    }
    // The longest folder the dialog stores survives the round trip.
    std::string longest(258, 'f');
    ASSERT_EQ(Load(Write(1, Tile, 15, longest.c_str())), SETTINGS_LOADED);
    EXPECT_EQ(std::string(job.folder), longest);
}

TEST_F(SettingsText, WriterReportsBytesThatNeverReachedTheFile)
{
    // A stream opened for reading refuses every write.
    const char* name = "settings_format_test.tmp";
    FILE* created = fopen(name, "w");
    ASSERT_NE(created, nullptr);
    fclose(created);
    FILE* readOnly = fopen(name, "r");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(WriteSettings(readOnly, 1, 2, 30, "C:\\Pictures"), 1);
    fclose(readOnly);
    remove(name);

#ifndef _WIN32
    // A full disk: the text fits the buffer, only the flush fails.
    FILE* full = fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(WriteSettings(full, 1, 2, 30, "C:\\Pictures"), 1);
    fclose(full);
#endif
}

TEST(SettingsPath, ExtensionIsReplacedInPlace)
{
    char path[260] = "C:\\Tools\\kestrova.exe";
    SetFileExtension(path, static_cast<int>(strlen(path)), "ini");
    EXPECT_STREQ(path, "C:\\Tools\\kestrova.ini");
    SetFileExtension(path, static_cast<int>(strlen(path)), "exe");
    EXPECT_STREQ(path, "C:\\Tools\\kestrova.exe");

    char shortPath[4] = "ab";
    SetFileExtension(shortPath, 2, "ini");
    EXPECT_STREQ(shortPath, "ab");
}

}  // namespace
