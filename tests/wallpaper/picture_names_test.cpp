#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "wallpaper/picture_names.h"

namespace {

TEST(PictureExtensionIndex, ClassifiesByTheLastDotIgnoringAsciiCase)
{
    struct Case {
        const char* name;
        int index;
    };
    const Case cases[] = {
        {"c.bmp", 0},      {"a.JPG", 1},  {"b.Jpeg", 2},      {"x.tar.bmp", 0}, {"x.bmp.jpg", 1},
        {".bmp", 0},       {"d.gif", -1}, {"e", -1},          {"f.jpg.txt", -1}, {"ends.", -1},
        {".", -1},         {"..", -1},    {"a.bm", -1},       {"a.bmpx", -1},   {"a.jpegg", -1},
        {"a.jpe", -1},     {"", -1},      {"dir.jpg\\x", -1}, {"a.bmp ", -1},  {"KESTROVA.BMP", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(PictureExtensionIndex(c.name), c.index) << c.name;
}

TEST(PictureNames, OwnOutputBitmapIsNeverAPicture)
{
    EXPECT_TRUE(IsOutputBitmapName("kestrova.bmp"));
    EXPECT_TRUE(IsOutputBitmapName("KESTROVA.BMP"));
    EXPECT_TRUE(IsOutputBitmapName("Kestrova.Bmp"));
    EXPECT_FALSE(IsOutputBitmapName("kestrova.bmp.bmp"));
    EXPECT_FALSE(IsOutputBitmapName("xkestrova.bmp"));
    EXPECT_FALSE(IsOutputBitmapName("kestrova.bm"));
    EXPECT_FALSE(IsOutputBitmapName("kestrova.jpg"));

    // The example folder: three pictures.
    const char* folder[] = {".", "..", "a.JPG", "b.Jpeg", "c.bmp", "KESTROVA.BMP", "d.gif", "e", "f.jpg.txt"};
    int pictures = 0;
    for (const char* name : folder) pictures += IsPictureName(name) ? 1 : 0;
    EXPECT_EQ(pictures, 3);
    EXPECT_TRUE(IsPictureName("kestrova.jpg"));
}

// Joins into an exactly 260-byte heap buffer, so that any write past it is caught.
struct Joined {
    int result;
    std::string text;
};

Joined Join(const std::string& folder, const char* name, LeadByteTest test = IsCp932LeadByte)
{
    std::unique_ptr<char[]> destination(new char[260]);
    std::memset(destination.get(), 'Z', 260);
    destination[259] = '\0';
    const int result = JoinPathWith(destination.get(), folder.c_str(), name, test);
    return {result, destination.get()};
}

bool NoDoubleByteCharacters(unsigned char) { return false; }

TEST(JoinPath, SeparatorOnlyWhenTheFolderDoesNotEndInOne)
{
    EXPECT_EQ(Join("C:", "*.*").text, "C:*.*");
    EXPECT_EQ(Join("C:", "*.*").result, 5);
    EXPECT_EQ(Join("C:\\Pictures\\", "*.*").text, "C:\\Pictures\\*.*");
    EXPECT_EQ(Join("C:\\Pictures", "*.*").text, "C:\\Pictures\\*.*");
    EXPECT_EQ(Join("C:\\Pictures", "*.*").result, 15);
    EXPECT_EQ(Join("C:\\Pictures\\", "kestrova.bmp").text, "C:\\Pictures\\kestrova.bmp");
}

TEST(JoinPath, EmptyFolderFailsAndWritesNothing)
{
    const Joined joined = Join("", "*.*");
    EXPECT_EQ(joined.result, 0);
    EXPECT_EQ(joined.text, std::string(259, 'Z'));
}

TEST(JoinPath, DoubleByteCharacterEndingIn5CStillGetsItsSeparator)
{
    // "表", "ソ" and "能" in code page 932: their second byte is '\'.
    for (const char* character : {"\x95\x5C", "\x83\x5C", "\x94\x5C"}) {
        const std::string folder = std::string("C:\\") + character;
        EXPECT_EQ(Join(folder, "*.*").text, folder + "\\*.*");
        EXPECT_EQ(Join(folder + "\\", "*.*").text, folder + "\\*.*");
        // Double-byte characters earlier in the folder do not disturb the walk.
        EXPECT_EQ(Join(folder + character + "x", "a.jpg").text, folder + character + "x\\a.jpg");
    }
    // A pair of half-width katakana are two single-byte characters, the second ending nothing.
    EXPECT_EQ(Join("C:\\\xB1\x5C", "*.*").text, "C:\\\xB1\x5C*.*");
    // A lead byte with nothing after it counts as a character of its own.
    EXPECT_EQ(Join("C:\\\x95", "*.*").text, "C:\\\x95\\*.*");
    // The lead-byte test decides: without double-byte characters, the trail byte is a separator.
    EXPECT_EQ(Join("C:\\\x95\x5C", "*.*", NoDoubleByteCharacters).text, "C:\\\x95\x5C*.*");
}

TEST(JoinPath, NeverWritesPastItsBuffer)
{
    // Folder + '\' + name of 259 characters fit with the terminating zero; 260 do not.
    const std::string folder = "C:\\" + std::string(250, 'p');  // 253 characters
    const Joined fits = Join(folder, "12345");                   // 253 + 1 + 5 = 259
    EXPECT_EQ(fits.result, 259);
    EXPECT_EQ(fits.text, folder + "\\12345");
    const Joined tooLong = Join(folder, "123456");  // 260
    EXPECT_EQ(tooLong.result, 0);
    EXPECT_EQ(tooLong.text, "");  // never a stale or cut path

    // The separator counts: a folder ending in '\' leaves room for one more byte.
    EXPECT_EQ(Join(folder + "\\", "12345").result, 259);
    EXPECT_EQ(Join(folder + "\\", "123456").result, 0);

    // A 259-character name on a drive folder.
    EXPECT_EQ(Join("C:", std::string(257, 'n').c_str()).result, 259);
    EXPECT_EQ(Join("C:", std::string(258, 'n').c_str()).result, 0);

    // A folder buffer with no terminating zero in its 260 bytes is not read past.
    std::unique_ptr<char[]> unterminated(new char[260]);
    std::memset(unterminated.get(), 'u', 260);
    char destination[260];
    EXPECT_EQ(JoinPathWith(destination, unterminated.get(), "*.*", IsCp932LeadByte), 0);
    unterminated[259] = '\x95';  // a lead byte in the last position
    EXPECT_EQ(JoinPathWith(destination, unterminated.get(), "*.*", IsCp932LeadByte), 0);
}

}  // namespace
