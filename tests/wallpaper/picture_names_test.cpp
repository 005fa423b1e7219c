#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "wallpaper/picture_names.h"

namespace {

TEST(PictureNames, ExtensionByLastDotAndOwnBitmapExcluded)
{
    struct Case {
        const char* name;
        int index;
        bool picture;
    };
    const Case cases[] = {
        {"c.bmp", 0, true},          {"a.JPG", 1, true},        {"b.Jpeg", 2, true},        {"x.tar.bmp", 0, true},
        {"x.bmp.jpg", 1, true},      {".bmp", 0, true},         {"KESTROVA.BMP", 0, false}, {"Kestrova.Bmp", 0, false},
        {"xkestrova.bmp", 0, true},  {"kestrova.bmp.bmp", 0, true}, {"kestrova.jpg", 1, true}, {"d.gif", -1, false},
        {"e", -1, false},            {"f.jpg.txt", -1, false},  {"ends.", -1, false},       {"..", -1, false},
        {"a.bm", -1, false},         {"a.bmpx", -1, false},     {"a.jpe", -1, false},       {"a.bmp ", -1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PictureExtensionIndex(c.name), c.index) << c.name;
        EXPECT_EQ(IsPictureName(c.name), c.picture) << c.name;
    }
}

bool NoDoubleByteCharacters(unsigned char) { return false; }

// Joins into an exactly 260-byte heap buffer (ASan catches any write past
// it) first filled with 'Z'; returns the result and the buffer's text.
std::pair<int, std::string> Join(const std::string& folder, const std::string& name,
                                 LeadByteTest test = IsCp932LeadByte)
{
    std::unique_ptr<char[]> destination(new char[260]);
    std::memset(destination.get(), 'Z', 259);
    destination[259] = '\0';
    const int result = JoinPathWith(destination.get(), folder.c_str(), name.c_str(), test);
    return {result, destination.get()};
}

TEST(JoinPath, SeparatorUnlessTheLastCharacterIsColonOrBackslash)
{
    const std::string table = "\x95\x5C";  // "表": its second byte is '\'
    const std::pair<std::string, std::string> cases[] = {
        {"C:", "C:*.*"},
        {"C:\\Pictures\\", "C:\\Pictures\\*.*"},
        {"C:\\Pictures", "C:\\Pictures\\*.*"},
        {"C:\\" + table, "C:\\" + table + "\\*.*"},
        {"C:\\\x83\x5C", "C:\\\x83\x5C\\*.*"},              // "ソ"
        {"C:\\\x94\x5C", "C:\\\x94\x5C\\*.*"},              // "能"
        {"C:\\" + table + "\\", "C:\\" + table + "\\*.*"},
        {"C:\\" + table + table + "x", "C:\\" + table + table + "x\\*.*"},
        {"C:\\\xB1\x5C", "C:\\\xB1\x5C*.*"},  // half-width katakana is one byte; then a real '\'
        {"C:\\\x95", "C:\\\x95\\*.*"},        // a lead byte with nothing after it
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Join(c.first, "*.*"), std::make_pair(static_cast<int>(c.second.size()), c.second)) << c.first;
    }
    // The lead-byte test decides: without double-byte characters the trail byte is a separator.
    EXPECT_EQ(Join("C:\\" + table, "*.*", NoDoubleByteCharacters).second, "C:\\" + table + "*.*");
    // An empty folder fails and writes nothing.
    EXPECT_EQ(Join("", "*.*"), std::make_pair(0, std::string(259, 'Z')));
}

TEST(JoinPath, PathsThatDoNotFitFailWithoutWritingPastTheBuffer)
{
    const std::string folder = "C:\\" + std::string(250, 'p');  // 253 characters
    EXPECT_EQ(Join(folder, "12345").first, 259);                 // + '\' + 5 = 259: fits with its zero
    EXPECT_EQ(Join(folder, "123456"), std::make_pair(0, std::string()));  // 260: empty, never a cut path
    EXPECT_EQ(Join(folder + "\\", "12345").first, 259);
    EXPECT_EQ(Join(folder + "\\", "123456").first, 0);
    EXPECT_EQ(Join("C:", std::string(257, 'n')).first, 259);
    EXPECT_EQ(Join("C:", std::string(258, 'n')).first, 0);
    EXPECT_EQ(Join("C:", std::string(400, 'n')).first, 0);

    // A folder buffer without a terminating zero in its 260 bytes is not read past.
    std::unique_ptr<char[]> unterminated(new char[260]);
    std::memset(unterminated.get(), 'u', 260);
    char destination[260];
    EXPECT_EQ(JoinPathWith(destination, unterminated.get(), "*.*", IsCp932LeadByte), 0);
    unterminated[259] = '\x95';
    EXPECT_EQ(JoinPathWith(destination, unterminated.get(), "*.*", IsCp932LeadByte), 0);
}

}  // namespace
