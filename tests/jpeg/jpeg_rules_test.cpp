// The reference decoder's rules on hand-made streams: the marker walk, segments, tables and headers, results
// and memory; blocks, restart and end markers, data that runs out, the MCU grid with its clipped edges.
#include "jpeg_test_support.h"

namespace {

const Bytes kBlock = Bits().Block(0).Done() + Eoi();  // one mid-grey 8x8 block, then the end
const Bytes kValid = Headers(8, 8) + kBlock;
const Bytes kAfterSoi(kValid.begin() + 2, kValid.end());
const Bytes kTables = Soi() + Dqt(0, 1) + Seg(0xC4, FlatTables()), kFrame = kTables + Sof(8, 8);

// A segment with a declared length after the SOI, then a valid file's segments.
Bytes After(int code, int length, const Bytes& payload) {
    return Soi() + Bytes{0xFF, U8(code), U8(length >> 8), U8(length)} + payload + kAfterSoi;
}
Bytes Frame(int w, int h, const Bytes& samplings, size_t scanned) {
    return kTables + Sof(w, h, samplings) + Sos(scanned) + kBlock;
}
JpegResult FrameSize(const Bytes& file, uint32_t* width, uint32_t* height) {
    const Bytes padded = file + Bytes(kJpegInputPadding);
    return ReadJpegFrameSize(padded.data(), static_cast<uint32_t>(file.size()), width, height);
}

TEST(JpegStream, EveryHandMadeStreamGivesItsResultAndEachMcuItsGrey) {
    const Bytes dqt = Bytes{0x00} + Bytes(64, 1), dht = Table(0, {0, 0, 0, 16}, Bytes(16, 0)), eoi = Eoi();
    const Bytes app1 = Seg(0xE1, Bytes{'E', 'x', 'i', 'f', 0, 0} + kValid), cut = Bytes{0, 1, 2};
    const Bytes noMarkers = {0xFF, 0xD0, 0xFF, 0xD7, 0xFF, 0xD8, 0xFF, 1, 0xFF, 0xBF, 0xFF, 0xFF};
    const Bytes zeros = Table(0, {1}, {0}) + Table(0x10, {1}, {0});  // an MCU is two 0 bits
    const Bytes dc16 = Table(0, {1, 1}, {0, 16}) + Table(0x10, {1}, {0});  // codes 0 and 10
    const Bytes none = Table(0, {1}, {5}) + Table(0x10, {1}, {1});  // 0 is the only code
    const Bytes blocks = Bits().Block(8).Block(8).Block(8).Done(), runsOut(blocks.begin(), blocks.begin() + 5);
    // Its last two data bits and the padding make a data byte 0xFF, stuffed.
    const Bytes ones = Bits().Dc(0).Ac(15, 0).Ac(15, 0).Ac(15, 0).Ac(15, 16383).Done();
    const Bytes rst = Bits().Block(80).Done() + Bytes{0xFF, 0xD7} + Bits().Block(8).Done() + Bytes{0xFF, 0xD7} +
                      Bits().Block(80).Done() + Bytes{0xFF, 0xD0} + Bits().Block(8).Done() + eoi;
    const Bytes zigzag = Seg(0xDB, Bytes{0, 1, 1, 16} + Bytes(61, 1));  // zigzag 2 is row 1, column 0
    std::vector<std::pair<const char*, Bytes>> invalid = {
        {"no marker", {1, 2, 3, 4}}, {"nothing after the SOI", Soi()}, {"EOI first", eoi + kValid},
        {"SOI then 00", Soi() + Bytes{0} + kAfterSoi}, {"EOI before any scan", kFrame + eoi + Bytes{0, 0, 0}},
        {"data ends looking for a marker", Soi() + Dqt(0, 1) + cut},
        {"skipped segment past the end", Soi() + Bytes{0xFF, 0xE1, 0x00, 0x10, 0x00}},
        {"the scan header last", Headers(0, 0)}, {"a byte after the scan header", Headers(0, 0) + Bytes{0}},
        {"DQT a byte long", After(0xDB, 68, dqt)},
        {"DQT cut, zeros to the end", Soi() + Bytes{0xFF, 0xDB, 0, 66} + dqt + Bytes{0, 0}},
        {"DQT precision 2", After(0xDB, 131, Bytes{0x20} + Bytes(128, 1))},
        {"DQT table 4", After(0xDB, 67, Bytes{0x04} + Bytes(64, 1))}, {"DHT a byte long", After(0xC4, 36, dht)},
        {"DHT of 257 codes", After(0xC4, 276, Table(0, {0, 0, 0, 0, 0, 0, 0, 255, 2}, Bytes(257, 1)))},
        {"chroma 2x1", Frame(0, 0, {0x22, 0x21, 0x11}, 3)}, {"two components", Frame(8, 8, {0x11, 0x11}, 2)},
        {"four components", Frame(8, 8, {0x11, 0x11, 0x11, 0x11}, 3)}, {"a scan of four", Frame(8, 8, {0x11}, 4)},
        {"a scan of one of three", Frame(8, 8, {0x11, 0x11, 0x11}, 1)},
        {"quantiser 1 never read", kTables + Seg(0xC0, {8, 0, 8, 0, 8, 1, 1, 0x11, 1}) + Sos(1) + kBlock},
        {"no AC table", Headers(8, 8, {0x11}, dht) + kBlock}, {"DC table 4", kFrame + Sos(1, 0x40) + kBlock},
        {"AC table 4", kFrame + Sos(1, 0x04) + kBlock}, {"no frame", kTables + Sos(1) + kBlock},
        {"DC category 16 met", Headers(16, 8, {0x11}, dc16) + Bytes{0x27, 0xFF, 0xD9}},
    };
    struct Case { const char* what; Bytes file; std::vector<int> greys = {}; JpegResult result = JPEG_OK; };
    std::vector<Case> cases = {
        {"leading bytes, a marker among them reads no length", Bytes{0x12, 0x00, 0xFF, 0xE0} + kValid},
        {"RSTn, SOI, codes below C0 and FF carry no segment", Soi() + noMarkers + kAfterSoi},
        {"bytes between segments", kTables + cut + Sof(8, 8) + Bytes{0x7F} + Sos(1) + kBlock},
        {"APP1 with a thumbnail, DRI", Soi() + app1 + Seg(0xDD, {0, 1}) + kAfterSoi},
        {"skipped lengths 0 and 1", Soi() + Bytes{0xFF, 0xE0, 0, 0, 0xFF, 0xE0, 0, 1} + kAfterSoi},
        {"two bytes after the scan header", Headers(0, 0) + Bytes{0, 0}},
        {"frame length 2", kTables + Bytes{0xFF, 0xC0, 0, 2, 8, 0, 8, 0, 8, 1, 1, 0x11, 0} + Sos(1) + kBlock},
        {"DQT of its table", After(0xDB, 67, dqt)}, {"DHT of its table", After(0xC4, 35, dht)},
        {"DHT of 256 codes", After(0xC4, 275, Table(0, {0, 0, 0, 0, 0, 0, 0, 255, 1}, Bytes(256, 1)))},
        {"tables 1, read twice", Soi() + Dqt(0, 1) + Seg(0xC4, FlatTables(1) + FlatTables(1)) + Sof(8, 8) + Sos(1, 0x11) +
                                     kBlock},
        {"another selector", kFrame + Seg(0xDA, {1, 77, 0, 0, 63, 0}) + kBlock},
        // Each MCU's top-left grey (-1: not looked at).
        {"level shift 341 x 3", Headers(8, 8, {0x11}, FlatTables(), Dqt(0, 3)) + kBlock, {127}},
        {"64 x 16, a 16-bit quantiser", Headers(8, 8, {0x11}, FlatTables(), Dqt(0, 16, 1)) + kBlock, {128}},
        {"table 1 resets from table 0", Headers(8, 8, {0x11}, FlatTables(), Dqt(0, 16) + Dqt(1, 5)) + kBlock, {128}},
        {"DQT in zigzag order", Headers(8, 8, {0x11}, FlatTables(), zigzag) + Bits().Dc(0).Ac(1, 4).Put(0, 8).Done(),
         {139}},
        // Pixel (0, 0) of a coefficient at row 2, column 3 (k = 17): (32 * 1024 + 42 * (38 * 64 >> 5)) >> 8.
        {"ZRL is 16 zeros", Headers(8, 8) + Bits().Dc(0).Ac(15, 0).Ac(0, 64).Put(0, 8).Done(), {140}},
        {"DC -1 is black", Headers(8, 8) + Bits().Block(-1025).Done() + eoi, {0}},
        {"RSTn in any order reset the predictors", Headers(32, 8) + rst, {138, 129, 138, 129}},
        {"without them it runs on", Headers(32, 8) + Bits().Block(80).Block(8).Block(80).Block(8).Done(),
         {138, 139, 149, 150}},
        {"a stuffed FF before RSTn is padding", Headers(16, 8) + ones + Bytes{0xFF, 0xD3} + Bits().Block(80).Done(),
         {-1, 138}},
        {"EOI stops decoding", Headers(24, 8) + Bits().Block(24).Done() + eoi + Bits().Block(24).Done(), {131, 0, 0}},
        {"unread bits with a zero: the next MCU", Headers(16, 8, {0x11}, zeros) + Bytes{0x0F, 0xFF, 0xD9}, {128, 128}},
        {"all ones before EOI are padding", Headers(24, 8, {0x11}, zeros) + Bytes{0x3F, 0xFF, 0xD9}, {128, 0, 0}},
        {"data that runs out stops after its MCU", Headers(24, 16) + runsOut, {129, 130, 131, 0, 0, 0}},
        {"but a right-edge MCU's status is not read", Headers(17, 16) + runsOut, {129, 130, 131, 131, 0, 0}},
        {"a window with no code consumes nothing", Headers(16, 8, {0x11}, none) + Bytes{0x80, 0}, {128, 128}},
        {"grey sampled 2x2 is on an 8x8 grid", Headers(16, 8, {0x22}) + Bits().Block(80).Block(8).Done(), {138, 139}},
    };
    for (int tc : {0x04, 0x14, 0x20})  // DHT class or destination out of range
        invalid.push_back({"DHT tc", After(0xC4, 35, Bytes{U8(tc)} + Bytes(dht.begin() + 1, dht.end()))});
    for (const auto& [what, file] : invalid) cases.push_back({what, file, {}, JPEG_INVALID});
    for (int code = 0xC1; code <= 0xFE; ++code)  // other frame types end the walk wherever they stand
        if (code != 0xC4 && (code < 0xD0 || code > 0xDB))
            cases.push_back({"segment", kTables + Seg(code, {0xFF, 0xD8, 0xFF, 0xD9, 0xFF, 0xC2}) + kAfterSoi, {},
                             code <= 0xCF && code != 0xC8 ? JPEG_UNSUPPORTED : JPEG_OK});
    for (const Case& c : cases) {
        const Decoded d = Decode(c.file);
        EXPECT_EQ(d.result, c.result) << c.what;
        uint32_t width, height;  // the frame size reading refuses only what the decode refuses, with its result
        const JpegResult header = FrameSize(c.file, &width, &height);
        EXPECT_TRUE(header == JPEG_OK || header == c.result) << c.what;
        std::vector<int> greys;
        for (int y = 0; y < d.header.biHeight && !c.greys.empty(); y += 8)
            for (int x = 0; x < d.header.biWidth; x += 8)
                greys.push_back(greys.size() < c.greys.size() && c.greys[greys.size()] < 0 ? -1 : d.At(x, y));
        EXPECT_TRUE(c.greys.empty() || greys == c.greys) << c.what;
    }
}

TEST(JpegStream, TheFrameSizeIsReadWithoutTables) {
    const struct { const char* what; Bytes file; JpegResult result; uint32_t width, height; } frames[] = {
        {"a valid file", Headers(301, 17) + kBlock, JPEG_OK, 301, 17},
        {"the largest frame, two bytes after it", kTables + Sof(65535, 65535) + Bytes{0, 0}, JPEG_OK, 65535, 65535},
        {"a frame running to the file's end", kTables + Sof(8, 8), JPEG_INVALID, 0, 0},
        {"the first of two frames", kTables + Sof(40, 30) + Sof(8, 8) + Sos(1) + kBlock, JPEG_OK, 40, 30},
        {"a damaged table after the frame", kFrame + Seg(0xC4, {0x20}), JPEG_OK, 8, 8},
        {"a damaged table before it", Soi() + Seg(0xC4, {0x20}) + kAfterSoi, JPEG_INVALID, 0, 0},
        {"progressive", kTables + Seg(0xC2, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}), JPEG_UNSUPPORTED, 0, 0},
        {"a scan before any frame", kTables + Sos(1) + kBlock + Sof(8, 8), JPEG_INVALID, 0, 0},
    };
    for (const auto& f : frames) {
        uint32_t width = 1, height = 1;
        EXPECT_EQ(FrameSize(f.file, &width, &height), f.result) << f.what;
        EXPECT_TRUE(width == f.width && height == f.height) << f.what << ": " << width << "x" << height;
    }
}

TEST(JpegStream, ZigzagOrderAndTheWindowsOfEveryHuffmanCode) {
    std::vector<int> zigzag;
    for (int s = 0; s < 15; ++s)  // anti-diagonals, alternately up and down
        for (int i = 0; i < 8; ++i)
            if (const int row = s % 2 ? i : s - i, column = s - row; row >= 0 && row < 8 && column >= 0 && column < 8)
                zigzag.push_back(8 * row + column);
    zigzag.resize(72, 63);  // a run past the end lands on the last coefficient
    EXPECT_EQ(std::vector<int>(kZigzagOrder, kZigzagOrder + 72), zigzag);

    // Code lengths 2 to 9 and 16, a length skipped on the way: the 16-bit code is 1111111110000000.
    const Bytes payload = Table(0x11, {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1}, Bytes{0, 1, 2, 3, 4, 5, 6} +
                                                                                       Bytes{7, 8, 9, 10, 11, 12});
    const Bytes padded = payload + Bytes(kJpegInputPadding);
    Counter work;
    JpegDecoder d{};
    d.cursor = padded.data(), d.setup.work = work.Use();
    ASSERT_EQ(ReadHuffmanTables(&d, static_cast<int32_t>(payload.size())), JPEG_OK);
    const int windows[][4] = {{0x0000, 0x3FFF, 2, 0}, {0x4000, 0x5FFF, 3, 1},  {0x6000, 0x7FFF, 3, 2},
                              {0xE000, 0xEFFF, 4, 6}, {0xFE00, 0xFEFF, 8, 10}, {0xFF00, 0xFF7F, 9, 11},
                              {0xFF80, 0xFF80, 16, 12}, {0xFF81, 0xFFFF, 0, 0}};
    for (const auto& w : windows)
        for (int i = w[0]; i <= w[1]; ++i)
            ASSERT_TRUE(d.huffmanTables[5].lengths[i] == w[2] && d.huffmanTables[5].symbols[i] == w[3]) << i;
    FreeDecoder(&d);
}

TEST(JpegStream, EveryFailedAllocationOrBadScaleLeavesNothing) {
    const Bytes file = ReadFile(DataPath("h2v2-133x109-rst2b-noise.jpg"));  // reaches the fast path
    const Decoded whole = Decode(file);
    int fellBack = 0;
    for (int failAt = 0, failed = 1; failed; ++failAt) {
        Counter work{failAt};
        const Decoded d = Decode(file, 0, true, &work);
        EXPECT_EQ(work.live, 0) << failAt;
        failed = work.calls > failAt;
        // Only the fast path's own tables may fail: it then decodes the literal way.
        fellBack += failed && d.result == JPEG_OK;
        EXPECT_TRUE(d.result == JPEG_OK ? d.image == whole.image : failed && d.result == JPEG_NO_MEMORY) << failAt;
    }
    EXPECT_EQ(fellBack, 1);
    // The output block failing; one past 4 GiB, never asked for; a file too big to count; scales not 1, 2, 4, 8.
    struct Output { Bytes file; int failAt; uint32_t size; int scale; JpegResult result; };
    std::vector<Output> outputs = {{kValid, 0, 0, 1, JPEG_NO_MEMORY}, {Headers(65535, 65535) + Bytes{0, 0}, -1, 0, 1,
                                   JPEG_NO_MEMORY}, {kValid, -1, 0x80000000u, 1, JPEG_NO_MEMORY}};
    for (int scale : {0, 3, 16, -8}) outputs.push_back({kValid, -1, 0, scale, JPEG_INVALID});
    for (const Output& c : outputs) {
        const Bytes padded = c.file + Bytes(kJpegInputPadding);
        Counter output{c.failAt};
        void* image = &output;
        const uint32_t size = c.size ? c.size : static_cast<uint32_t>(c.file.size());
        EXPECT_EQ(DecodeJpegMemory(padded.data(), size, output.Use(), &image, JPEG_DECODE_FAST, c.scale), c.result);
        EXPECT_TRUE(image == nullptr && output.live == 0 && output.calls == (c.failAt == 0)) << c.scale;
    }
}

TEST(JpegScan, TheMcuGridIsWalkedRowByRowWithClippedEdgesAtEveryScale) {
    const int walks[][4] = {{17, 9, 1, 1}, {20, 20, 2, 2}, {33, 17, 2, 1}, {20, 20, 1, 2}, {16, 16, 2, 2}, {0, 5, 1, 1},
                            {5, 0, 2, 2}};
    for (const auto& [width, height, h0, v0] : walks) {
        const int mw = 8 * h0, mh = 8 * v0, columns = (width + mw - 1) / mw, mcus = columns * ((height + mh - 1) / mh);
        // Luma block j of MCU i is grey 100 + 8i + 2j; Cb is 8 everywhere, Cr 0.
        Bits bits;
        for (int i = 0, predictor = 1024; i < mcus; ++i) {
            for (int j = 0, grey = 100 + 8 * i; j < h0 * v0; ++j, predictor = 8 * grey, grey += 2)
                bits.Block(8 * grey - predictor);
            bits.Block(i == 0 ? 64 : 0).Block(0);
        }
        const Bytes file = Headers(width, height, {U8(h0 << 4 | v0), 0x11, 0x11}) + bits.Done() + Eoi();
        // At 1/k the blocks are flat, so pixel (x, y) is full-size pixel (kx, ky), and the picture is rounded up.
        for (int shift = 0, k = 1; shift <= 3; ++shift, k *= 2) {
            const Decoded d = Decode(file, shift);
            const int w = (width + k - 1) / k, h = (height + k - 1) / k;
            const uint32_t stride = DibRowBytes24(w);
            Bytes expected(kDibHeaderSize + (h + 15) * stride);
            const DibHeader header = {40, w, h, 1, 24, 0, h * stride, 0, 0, 0, 0};
            memcpy(expected.data(), &header, sizeof header);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int fx = k * x, fy = k * y;
                    const int luma = 100 + 8 * ((fy / mh) * columns + fx / mw) + 2 * ((fy % mh) / 8 * h0 + (fx % mw) / 8);
                    const size_t at = kDibHeaderSize + (h - 1 - y) * stride + 3 * x;
                    expected[at] = U8(luma + 12), expected[at + 1] = U8(luma - 5), expected[at + 2] = U8(luma);
                }
            EXPECT_TRUE(d.result == JPEG_OK && d.image == expected)
                << width << "x" << height << " H" << h0 << "V" << v0 << " at 1/" << k;
        }
    }
}

}  // namespace
