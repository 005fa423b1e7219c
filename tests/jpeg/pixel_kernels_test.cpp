// Known answers for the pixel kernels. Every kernel set the build has (the
// scalar one and, on x86, its SSE2 twin) must give them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "jpeg/jpeg_pixels.h"

namespace {

struct KernelSet {
    const char* name;
    const JpegPixelKernels* kernels;
};

std::vector<KernelSet> AllKernelSets() {
    std::vector<KernelSet> sets = {{"Scalar", &kScalarPixelKernels}};
#if defined(__SSE2__)
    sets.push_back({"Sse2", &kSse2PixelKernels});
#endif
    return sets;
}

// A bottom-up picture with a guard border of known bytes all round, so that
// a write outside the pixels handed to a kernel shows.
struct Canvas {
    static constexpr uint8_t kGuard = 0xA5;
    int width, height, stride, border;
    std::vector<uint8_t> bytes;

    Canvas(int w, int h) : width(w), height(h), stride(w * 3 + 2 * 48), border(48) {
        bytes.assign(static_cast<size_t>(stride) * (h + 2 * 4), kGuard);
    }
    // Picture row 0 is the top row, stored last.
    uint8_t* Pixel(int column, int row) {
        const int storedRow = 4 + (height - 1 - row);
        return bytes.data() + static_cast<size_t>(storedRow) * stride + border + 3 * column;
    }
    // Counts bytes outside the columns x rows area at the top-left that are not the guard.
    int TouchedOutside(int columns, int rows) {
        int touched = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const int storedRow = static_cast<int>(i / stride) - 4;
            const int offset = static_cast<int>(i % stride) - border;
            const int row = height - 1 - storedRow;
            const bool inside = storedRow >= 0 && storedRow < height && row < rows && offset >= 0 &&
                                offset < 3 * columns;
            if (!inside && bytes[i] != kGuard) ++touched;
        }
        return touched;
    }
};

class PixelKernelsTest : public ::testing::TestWithParam<KernelSet> {
protected:
    const JpegPixelKernels& K() const { return *GetParam().kernels; }

    std::vector<int16_t> DcOnlyBlock(int16_t dc) const {
        std::vector<int16_t> block(64, 0);
        block[0] = dc;
        K().inverseDct8x8(block.data());
        return block;
    }

    // One H1V1 pixel from constant blocks.
    void ConvertOne(int16_t y, int16_t cb, int16_t cr, uint8_t bgr[3]) const {
        std::vector<int16_t> luma(256, y), cbBlock(64, cb), crBlock(64, cr);
        Canvas canvas(1, 1);
        K().storeColourMcu(canvas.Pixel(0, 0), canvas.stride, luma.data(), cbBlock.data(), crBlock.data(),
                           MODE_H1V1, 1, 1);
        std::memcpy(bgr, canvas.Pixel(0, 0), 3);
    }
};

TEST_P(PixelKernelsTest, DcOnlyBlocksFloorTheirValueOverEight) {
    const struct {
        int16_t dc;
        int16_t sample;
    } cases[] = {
        {1024, 128}, {1023, 127}, {-1, -1}, {0, 0}, {7, 0}, {8, 1}, {-8, -1}, {-9, -2}, {2040, 255},
    };
    for (const auto& c : cases) {
        const std::vector<int16_t> block = DcOnlyBlock(c.dc);
        for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], c.sample) << "DC " << c.dc << " sample " << i;
    }
}

TEST_P(PixelKernelsTest, TransformOfOneCoefficientMatchesHandWorkedRows) {
    // x1 = 32 alone: the row pass gives (44, 38, 25, 9, -9, -25, -38, -44) * 32 >> 5
    // on row 0; the column pass then scales each by 32 / 256 with floor.
    std::vector<int16_t> block(64, 0);
    block[1] = 32;
    K().inverseDct8x8(block.data());
    const int16_t expected[8] = {5, 4, 3, 1, -2, -4, -5, -6};
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column)
            ASSERT_EQ(block[8 * row + column], expected[column]) << row << "," << column;
}

TEST_P(PixelKernelsTest, TransformWrapsToSixteenBitsWithoutClamping) {
    // 32767 in every coefficient position of row 0 and column 0 overflows 16
    // bits between the passes; the scalar arithmetic below is the definition.
    std::vector<int16_t> block(64, 0);
    for (int i = 0; i < 8; ++i) block[i] = block[8 * i] = 32767;
    std::vector<int16_t> reference = block;
    kScalarPixelKernels.inverseDct8x8(reference.data());
    K().inverseDct8x8(block.data());
    EXPECT_EQ(block, reference);
    // DC 32767 alone: row pass 32767, column pass floor(32 * 32767 / 256) = 4095.
    const std::vector<int16_t> dc = DcOnlyBlock(32767);
    EXPECT_EQ(dc[63], 4095);
    const std::vector<int16_t> low = DcOnlyBlock(-32768);
    EXPECT_EQ(low[0], -4096);
}

TEST_P(PixelKernelsTest, GreyStoreClampsAndRepeatsTheSampleInAllChannels) {
    std::vector<int16_t> block(64, 0);
    const int16_t samples[] = {-32768, -1, 0, 1, 127, 254, 255, 256, 32767};
    for (int i = 0; i < 64; ++i) block[i] = samples[i % 9];
    Canvas canvas(8, 8);
    K().storeGreyBlock(canvas.Pixel(0, 0), canvas.stride, block.data(), 8, 8);
    for (int i = 0; i < 64; ++i) {
        const int s = samples[i % 9];
        const uint8_t expected = s < 0 ? 0 : s > 255 ? 255 : static_cast<uint8_t>(s);
        const uint8_t* pixel = canvas.Pixel(i % 8, i / 8);
        ASSERT_EQ(pixel[0], expected) << i;
        ASSERT_EQ(pixel[1], expected) << i;
        ASSERT_EQ(pixel[2], expected) << i;
    }
    EXPECT_EQ(canvas.TouchedOutside(8, 8), 0);
}

TEST_P(PixelKernelsTest, GreyStoreWritesOnlyTheClippedCorner) {
    std::vector<int16_t> block(64);
    for (int i = 0; i < 64; ++i) block[i] = static_cast<int16_t>(i * 4);
    for (int columns = 0; columns <= 8; ++columns) {
        for (int rows = 0; rows <= 8; ++rows) {
            Canvas canvas(8, 8);
            K().storeGreyBlock(canvas.Pixel(0, 0), canvas.stride, block.data(), columns, rows);
            ASSERT_EQ(canvas.TouchedOutside(columns, rows), 0) << columns << "x" << rows;
            if (columns > 0 && rows > 0) {
                const uint8_t* last = canvas.Pixel(columns - 1, rows - 1);
                ASSERT_EQ(last[1], block[8 * (rows - 1) + columns - 1]) << columns << "x" << rows;
            }
        }
    }
}

TEST_P(PixelKernelsTest, ColourConversionBoundaries) {
    uint8_t bgr[3];
    ConvertOne(128, 0, 0, bgr);
    EXPECT_EQ(bgr[0], 128);
    EXPECT_EQ(bgr[1], 128);
    EXPECT_EQ(bgr[2], 128);

    ConvertOne(255, 0, 100, bgr);  // 16 * 255 + 2000 >= 4096
    EXPECT_EQ(bgr[2], 255);
    ConvertOne(0, -10, 0, bgr);  // 24 * -10 < 0
    EXPECT_EQ(bgr[0], 0);

    // fix(t) at its edges through green, t = 16Y - 9Cb - 12Cr (Cb = -7 adds 63).
    const struct {
        int16_t y, cb;
        int t;
        uint8_t green;
    } edges[] = {
        {252, -7, 4095, 255}, {256, 0, 4096, 255}, {-4, -7, -1, 0}, {-3, -7, 15, 0},
        {1, 0, 16, 1},        {255, 0, 4080, 255}, {251, -7, 4079, 254}, {0, 0, 0, 0},
    };
    for (const auto& e : edges) {
        ASSERT_EQ(16 * e.y - 9 * e.cb, e.t);
        ConvertOne(e.y, e.cb, 0, bgr);
        EXPECT_EQ(bgr[1], e.green) << "t = " << e.t;
    }
    // Extreme inputs never wrap inside the conversion.
    ConvertOne(32767, 32767, 32767, bgr);
    EXPECT_EQ(bgr[0], 255);
    EXPECT_EQ(bgr[1], 0);  // 16 * 32767 - 21 * 32767 < 0
    EXPECT_EQ(bgr[2], 255);
    ConvertOne(-32768, -32768, -32768, bgr);
    EXPECT_EQ(bgr[0], 0);
    EXPECT_EQ(bgr[1], 255);
    EXPECT_EQ(bgr[2], 0);
}

// Fills each luminance slot with a value naming the slot and each chroma
// sample with its position, so that a pixel's bytes say where they came from.
struct TaggedMcu {
    std::vector<int16_t> luma = std::vector<int16_t>(256);
    std::vector<int16_t> cb = std::vector<int16_t>(64);
    std::vector<int16_t> cr = std::vector<int16_t>(64);
    TaggedMcu() {
        for (int i = 0; i < 256; ++i) luma[i] = static_cast<int16_t>(32 * (i / 64) + 16);  // Y 16, 48, 80, 112
        for (int i = 0; i < 64; ++i) {
            cb[i] = static_cast<int16_t>(i);       // blue carries the chroma index
            cr[i] = static_cast<int16_t>(-2 * i);  // red drops with it
        }
    }
};

TEST_P(PixelKernelsTest, H2V2ReplicatesEachChromaSampleOverATwoByTwoSquare) {
    TaggedMcu mcu;
    Canvas canvas(16, 16);
    K().storeColourMcu(canvas.Pixel(0, 0), canvas.stride, mcu.luma.data(), mcu.cb.data(), mcu.cr.data(), MODE_H2V2,
                       16, 16);
    // Chroma (0, 0) over pixels (0..1, 0..1) of slot 0 (Y 16): B = 16.
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_EQ(canvas.Pixel(c, r)[0], 16) << r << "," << c;
    // Chroma (4, 4) = index 36 over pixels (8..9, 8..9), slot 3 (Y 112): B = (16 * 112 + 24 * 36) >> 4 = 166.
    for (int r = 8; r < 10; ++r)
        for (int c = 8; c < 10; ++c) EXPECT_EQ(canvas.Pixel(c, r)[0], 166) << r << "," << c;
    EXPECT_EQ(canvas.Pixel(10, 8)[0], (16 * 112 + 24 * 37) >> 4);
    EXPECT_EQ(canvas.Pixel(8, 10)[0], (16 * 112 + 24 * 44) >> 4);
    EXPECT_EQ(canvas.TouchedOutside(16, 16), 0);
}

// Where each pixel of an MCU takes its samples from, written out per mode.
struct ModeShape {
    SamplingMode mode;
    int width, height, h0, v0;
};
const ModeShape kShapes[] = {
    {MODE_H1V1, 8, 8, 1, 1}, {MODE_H2V1, 16, 8, 2, 1}, {MODE_H1V2, 8, 16, 1, 2}, {MODE_H2V2, 16, 16, 2, 2}};

TEST_P(PixelKernelsTest, EveryModePlacesSlotsAndChromaByItsFactors) {
    TaggedMcu mcu;
    for (const ModeShape& shape : kShapes) {
        Canvas canvas(shape.width, shape.height);
        K().storeColourMcu(canvas.Pixel(0, 0), canvas.stride, mcu.luma.data(), mcu.cb.data(), mcu.cr.data(),
                           shape.mode, shape.width, shape.height);
        for (int r = 0; r < shape.height; ++r) {
            for (int c = 0; c < shape.width; ++c) {
                const int slot = (r / 8) * shape.h0 + c / 8;
                const int y = 32 * slot + 16;
                const int chroma = 8 * (r / shape.v0) + c / shape.h0;
                const int blue = (16 * y + 24 * chroma) >> 4;
                const int red = 16 * y - 40 * chroma;
                ASSERT_EQ(canvas.Pixel(c, r)[0], blue > 255 ? 255 : blue)
                    << "mode " << shape.mode << " pixel " << r << "," << c;
                ASSERT_EQ(canvas.Pixel(c, r)[2], red < 0 ? 0 : red >> 4)
                    << "mode " << shape.mode << " pixel " << r << "," << c;
            }
        }
        EXPECT_EQ(canvas.TouchedOutside(shape.width, shape.height), 0) << "mode " << shape.mode;
    }
}

TEST_P(PixelKernelsTest, ClippedMcusWriteOnlyTheirColumnsAndRows) {
    TaggedMcu mcu;
    for (const ModeShape& shape : kShapes) {
        for (int columns = 0; columns <= shape.width; ++columns) {
            for (int rows = 0; rows <= shape.height; ++rows) {
                Canvas canvas(shape.width, shape.height);
                K().storeColourMcu(canvas.Pixel(0, 0), canvas.stride, mcu.luma.data(), mcu.cb.data(),
                                   mcu.cr.data(), shape.mode, columns, rows);
                ASSERT_EQ(canvas.TouchedOutside(columns, rows), 0)
                    << "mode " << shape.mode << " " << columns << "x" << rows;
            }
        }
    }
}

TEST_P(PixelKernelsTest, TwentyByTwentyCornerTakesChromaFromItsOwnTopLeft) {
    // The 4 x 4 corner of a 20 x 20 H2V2 picture uses chroma samples (0..1, 0..1).
    TaggedMcu mcu;
    Canvas canvas(4, 4);
    K().storeColourMcu(canvas.Pixel(0, 0), canvas.stride, mcu.luma.data(), mcu.cb.data(), mcu.cr.data(), MODE_H2V2, 4,
                       4);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const int chroma = 8 * (r / 2) + c / 2;
            ASSERT_LE(chroma, 9);
            EXPECT_EQ(canvas.Pixel(c, r)[0], (16 * 16 + 24 * chroma) >> 4) << r << "," << c;
        }
    }
    EXPECT_EQ(canvas.TouchedOutside(4, 4), 0);
}

TEST_P(PixelKernelsTest, OversizedClipsAndUnknownModesStayInsideTheMcu) {
    TaggedMcu mcu;
    Canvas canvas(16, 16);
    K().storeColourMcu(canvas.Pixel(0, 0), canvas.stride, mcu.luma.data(), mcu.cb.data(), mcu.cr.data(), MODE_H1V1,
                       40, 40);
    EXPECT_EQ(canvas.TouchedOutside(8, 8), 0);
    Canvas untouched(16, 16);
    K().storeColourMcu(untouched.Pixel(0, 0), untouched.stride, mcu.luma.data(), mcu.cb.data(), mcu.cr.data(),
                       MODE_GREY, 16, 16);
    EXPECT_EQ(untouched.TouchedOutside(0, 0), 0);
    std::vector<int16_t> block(64, 100);
    Canvas grey(16, 16);
    K().storeGreyBlock(grey.Pixel(0, 0), grey.stride, block.data(), 12, 12);
    EXPECT_EQ(grey.TouchedOutside(8, 8), 0);
}

INSTANTIATE_TEST_SUITE_P(Kernels, PixelKernelsTest, ::testing::ValuesIn(AllKernelSets()),
                         [](const ::testing::TestParamInfo<KernelSet>& info) { return std::string(info.param.name); });

}  // namespace
