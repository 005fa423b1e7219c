// jpeg2bmp: the file it writes is the 14-byte file header of kestrova.bmp and
// the decoder's DibImage; it prints result=N and exits with N.
#include <sys/wait.h>

#include <cstdio>

#include "jpeg_test_support.h"

namespace {

using namespace jpegtest;

TEST(Jpeg2Bmp, WritesTheBitmapFileOrNothingAndExitsWithTheResult) {
    const std::string out = testing::TempDir() + "jpeg2bmp.bmp", junk = out + ".jpg";
    const std::string picture = DataPath("h2v1-33x17.jpg");
    std::ofstream(junk, std::ios::binary) << "not a picture";
    const Decoded d = Decode(ReadFile(picture));
    const uint32_t size = 14 + 40 + d.header.biSizeImage;
    const Bytes bitmap = Bytes{'B', 'M', U8(size), U8(size >> 8), U8(size >> 16), 0, 0, 0, 0, 0, 54, 0, 0, 0} +
                         Bytes(d.image.begin(), d.image.begin() + size - 14);
    const struct { std::string in, extra; int result; } cases[] = {
        {picture, "", JPEG_OK}, {picture, "--reference", JPEG_OK}, {junk, "", JPEG_INVALID}, {junk + ".none", "", 2}};
    for (const auto& c : cases) {
        std::remove(out.c_str());
        FILE* pipe = popen((std::string(KESTROVA_JPEG2BMP) + " '" + c.in + "' '" + out + "' " + c.extra).c_str(), "r");
        char printed[64] = {};
        EXPECT_TRUE(fgets(printed, sizeof printed, pipe));
        const int status = pclose(pipe);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.result) << c.in;
        EXPECT_EQ(std::string(printed), "result=" + std::to_string(c.result) + "\n");
        EXPECT_TRUE(ReadFile(out) == (c.result ? Bytes() : bitmap)) << c.in << " " << c.extra;
    }
}

}  // namespace
