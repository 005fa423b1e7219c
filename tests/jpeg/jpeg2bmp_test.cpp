// The jpeg2bmp tool: the bitmap it writes is the file header of
// kestrova.bmp followed by the decoder's header and pixel rows, and its exit
// code is the decoder's result.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "jpeg_test_support.h"

namespace {

using namespace jpegtest;

int RunTool(const std::string& in, const std::string& out, const char* extra = "") {
    const std::string command = std::string(KESTROVA_JPEG2BMP) + " '" + in + "' '" + out + "' " + extra + " > /dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint32_t Little32(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24; }

TEST(Jpeg2Bmp, WritesTheDecodedPictureAsABitmapFile) {
    const std::string out = testing::TempDir() + "jpeg2bmp-test.bmp";
    for (const char* extra : {"", "--reference"}) {
        std::remove(out.c_str());
        ASSERT_EQ(RunTool(DataPath("h2v1-33x17.jpg"), out, extra), 0);
        const std::vector<uint8_t> bitmap = ReadFile(out);
        const Decoded decoded = DecodeBytes(ReadFile(DataPath("h2v1-33x17.jpg")));
        ASSERT_EQ(decoded.result, JPEG_OK);
        const uint32_t pixels = decoded.header.biSizeImage;
        ASSERT_EQ(bitmap.size(), 14 + 40 + pixels);
        EXPECT_EQ(bitmap[0], 'B');
        EXPECT_EQ(bitmap[1], 'M');
        EXPECT_EQ(Little32(&bitmap[2]), 14 + 40 + pixels);
        EXPECT_EQ(Little32(&bitmap[6]), 0u);
        EXPECT_EQ(Little32(&bitmap[10]), 54u);
        EXPECT_EQ(memcmp(&bitmap[14], decoded.image.data(), 40 + pixels), 0);
    }
}

TEST(Jpeg2Bmp, ExitsWithTheResultAndWritesNothingOnFailure) {
    const std::string out = testing::TempDir() + "jpeg2bmp-none.bmp";
    std::remove(out.c_str());
    const std::string junk = testing::TempDir() + "jpeg2bmp-junk.jpg";
    FILE* file = fopen(junk.c_str(), "wb");
    fputs("not a picture", file);
    fclose(file);
    EXPECT_EQ(RunTool(junk, out), JPEG_INVALID);
    EXPECT_EQ(RunTool(testing::TempDir() + "no-such-file.jpg", out), JPEG_READ_ERROR);
    EXPECT_TRUE(ReadFile(out).empty());
}

}  // namespace
