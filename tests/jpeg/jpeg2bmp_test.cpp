// jpeg2bmp writes the 14-byte file header of kestrova.bmp and the decoder's DibImage at the scale asked for,
// prints result=N and exits with N, or 64 without a word for options it does not know.
#include <sys/wait.h>

#include <cstdio>

#include "jpeg_test_support.h"

namespace {

TEST(Jpeg2Bmp, WritesTheBitmapFileOrNothingAndExitsWithTheResult) {
    const std::string out = testing::TempDir() + "jpeg2bmp.bmp", junk = out + ".jpg";
    const std::string picture = DataPath("h2v1-33x17.jpg");
    std::ofstream(junk, std::ios::binary) << "not a picture";
    const struct { std::string in, extra; int result, shift; } cases[] = {
        {picture, "", JPEG_OK, 0},          {picture, "--reference", JPEG_OK, 0}, {picture, "4 --reference", JPEG_OK, 2},
        {picture, "--reference 8", JPEG_OK, 3}, {junk, "2", JPEG_INVALID, 0},      {junk + ".none", "", 2, 0},
        {picture, "3", 64, 0},              {picture, "2 4 8", 64, 0}};  // usage
    for (const auto& c : cases) {
        std::remove(out.c_str());
        const std::string command = std::string(KESTROVA_JPEG2BMP) + " '" + c.in + "' '" + out + "' " + c.extra;
        FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
        char printed[64] = {};
        (void)!fgets(printed, sizeof printed, pipe);  // nothing for a usage error
        const int status = pclose(pipe);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.result) << c.in << " " << c.extra;
        EXPECT_EQ(std::string(printed), c.result == 64 ? "" : "result=" + std::to_string(c.result) + "\n") << c.extra;
        const Decoded d = Decode(ReadFile(picture), c.shift);
        const uint32_t size = 14 + 40 + d.header.biSizeImage;
        const Bytes bitmap = Bytes{'B', 'M', U8(size), U8(size >> 8), U8(size >> 16), 0, 0, 0, 0, 0, 54, 0, 0, 0} +
                             Bytes(d.image.begin(), d.image.begin() + size - 14);
        EXPECT_TRUE(ReadFile(out) == (c.result ? Bytes() : bitmap)) << c.in << " " << c.extra;
    }
}

}  // namespace
