#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wallpaper/picture_names.h"

namespace {

TEST(PictureNames, ExtensionByLastDotAndOwnBitmapExcluded)
{
    const std::pair<const char*, int> cases[] = {
        {"c.bmp", 0}, {"a.JPG", 1}, {"b.Jpeg", 2}, {"x.tar.bmp", 0}, {"x.bmp.jpg", 1}, {".bmp", 0}, {"kestrova.jpg", 1},
        {"xkestrova.bmp", 0}, {"kestrova.bmp.bmp", 0}, {"d.gif", -1}, {"e", -1}, {"f.jpg.txt", -1}, {"ends.", -1},
        {"..", -1}, {"a.bm", -1}, {"a.bmpx", -1}, {"a.jpe", -1}, {"a.bmp ", -1}};
    for (const auto& [name, index] : cases)
        EXPECT_EQ(std::pair(PictureExtensionIndex(name), IsPictureName(name)), std::pair(index, index >= 0)) << name;
    for (const char* own : {"kestrova.bmp", "KESTROVA.BMP", "Kestrova.Bmp", kOutputBitmapPartName})
        EXPECT_FALSE(IsPictureName(own)) << own;
}

// Joins into a 260-byte heap block filled with 'Z' (ASan catches a write past it); the result and the text.
std::pair<int, std::string> Join(const std::string& folder, const std::string& name, LeadByteTest test = IsCp932LeadByte)
{
    std::vector<char> destination(260, 'Z');
    destination[259] = '\0';
    const int result = JoinPathWith(destination.data(), folder.c_str(), name.c_str(), test);
    return {result, destination.data()};
}

TEST(JoinPath, SeparatorUnlessTheLastCharacterIsColonOrBackslashNeverPastTheBufferAndTheFolderPart)
{
    const std::string table = "\x95\x5C", so = "\x83\x5C";  // "表", "ソ": the second byte is '\'
    const std::pair<std::string, std::string> cases[] = {
        {"C:", "C:*.*"}, {"C:\\P\\", "C:\\P\\*.*"}, {"C:\\P", "C:\\P\\*.*"}, {"C:\\" + table, "C:\\" + table + "\\*.*"},
        {"C:\\" + so, "C:\\" + so + "\\*.*"}, {"C:\\" + table + so + "\\", "C:\\" + table + so + "\\*.*"},
        {"C:\\\xB1\x5C", "C:\\\xB1\x5C*.*"},  // half-width katakana is one byte; then a real '\'
        {"C:\\\x95", "C:\\\x95\\*.*"}};       // a lead byte with nothing after it
    for (const auto& [folder, path] : cases) EXPECT_EQ(Join(folder, "*.*"), std::make_pair(int(path.size()), path));
    EXPECT_EQ(Join("C:\\" + table, "*.*", [](unsigned char) { return false; }).second, "C:\\" + table + "*.*");
    EXPECT_EQ(Join("", "*.*"), std::make_pair(0, std::string(259, 'Z')));  // no folder: nothing written
    const std::string p253 = "C:\\" + std::string(250, 'p');  // + '\' + 5 = 259: fits with its zero
    const std::pair<std::string, std::string> fit[] = {{p253, "12345"}, {p253 + "\\", "12345"}, {"C:", std::string(257, 'n')}};
    for (const auto& [folder, name] : fit) {
        EXPECT_EQ(Join(folder, name).first, 259);
        EXPECT_EQ(Join(folder, name + "6"), std::make_pair(0, std::string())) << "never a cut path";
    }
    // A folder or name without a terminating zero in its 260 bytes is not read past.
    std::vector<char> unterminated(260, 'u'), destination(260);
    EXPECT_EQ(JoinPathWith(destination.data(), unterminated.data(), "*.*", IsCp932LeadByte), 0);
    EXPECT_EQ(JoinPathWith(destination.data(), "C:", unterminated.data(), IsCp932LeadByte), 0);
    unterminated[259] = '\x95';
    EXPECT_EQ(JoinPathWith(destination.data(), unterminated.data(), "*.*", IsCp932LeadByte), 0);
    // The folder part of a path ends at its last real separator.
    const std::pair<std::string, int> rows[] = {
        {"C:\\k\\kestrova.exe", 5}, {"C:\\k\\renamed-copy.ini", 5}, {"kestrova.exe", 0},
        {"C:\\\x95\x5C.exe", 3},  // "表.exe": its trail byte is no separator
        {"C:\\\x95\x5C\\k.exe", 6}, {std::string(300, '\\'), 260}};  // never read past the buffer
    for (const auto& [path, length] : rows) EXPECT_EQ(FolderPartLength(path.c_str(), IsCp932LeadByte), length) << path;
}

}  // namespace
