// The entropy-coded data: bit reader, symbols and value bits, blocks,
// restart and end markers between MCUs, and the walk over the MCU grid.
#include <gtest/gtest.h>

#include <array>

#include "jpeg_test_support.h"

namespace {

using namespace jpegtest;

TEST(JpegBitReader, PeekSeesSixteenBitsPastStuffingAndTheBitOffset) {
    DecoderOver plain({0x00, 0x12, 0x34, 0x56}, 1);
    EXPECT_EQ(PeekBits16(&plain.decoder), 0x1234);
    plain.decoder.bitOffset = 4;
    EXPECT_EQ(PeekBits16(&plain.decoder), 0x2345);
    plain.decoder.bitOffset = 7;
    EXPECT_EQ(PeekBits16(&plain.decoder), (0x123456 >> 1) & 0xFFFF);

    DecoderOver stuffed({0x00, 0xFF, 0x00, 0x12, 0x34}, 1);
    EXPECT_EQ(PeekBits16(&stuffed.decoder), 0xFF12);
    stuffed.decoder.bitOffset = 4;
    EXPECT_EQ(PeekBits16(&stuffed.decoder), 0xF123);

    // The cursor on the stuffed byte itself: it is skipped too.
    DecoderOver onStuffing({0xFF, 0x00, 0xAB, 0xCD}, 1);
    EXPECT_EQ(PeekBits16(&onStuffing.decoder), 0xABCD);

    // Stuffing before the third byte.
    DecoderOver third({0x00, 0x12, 0xFF, 0x00, 0x80}, 1);
    third.decoder.bitOffset = 1;
    EXPECT_EQ(PeekBits16(&third.decoder), 0x25FF);
}

TEST(JpegBitReader, SkipMovesOverStuffingAndStopsWhereTheDataEnds) {
    DecoderOver stuffed({0x00, 0xFF, 0x00, 0x12, 0x34}, 1);
    stuffed.decoder.bitsToSkip = 12;
    EXPECT_EQ(SkipBits(&stuffed.decoder), 0);
    EXPECT_EQ(stuffed.Consumed(), 3);
    EXPECT_EQ(stuffed.decoder.bytesLeft, 2);
    EXPECT_EQ(stuffed.decoder.bitOffset, 4);
    EXPECT_EQ(PeekBits16(&stuffed.decoder), 0x2340);

    DecoderOver shortData({0x00, 0xAA}, 1);
    shortData.decoder.bitsToSkip = 16;
    EXPECT_EQ(SkipBits(&shortData.decoder), 1);
    EXPECT_EQ(shortData.Consumed(), 2);  // the last byte was taken, then nothing
    EXPECT_EQ(shortData.decoder.bitOffset, 0);
    shortData.decoder.bitsToSkip = 8;
    EXPECT_EQ(SkipBits(&shortData.decoder), 1);
    EXPECT_EQ(shortData.Consumed(), 2);
    EXPECT_LT(shortData.decoder.bytesLeft, 0);
    // Bits that stay inside the current byte are still fine.
    shortData.decoder.bitsToSkip = 3;
    EXPECT_EQ(SkipBits(&shortData.decoder), 0);
    EXPECT_EQ(shortData.decoder.bitOffset, 3);
}

// Decodes one block from flat-coded bits; the block starts filled with junk.
struct BlockRun {
    int status;
    int16_t block[64];
};
BlockRun DecodeOneBlock(DecoderOver& over) {
    BlockRun run;
    for (int16_t& value : run.block) value = 0x5555;
    run.status = DecodeBlock(&over.decoder, 0, run.block);
    return run;
}

std::vector<uint8_t> Bits(void (*write)(BitWriter*)) {
    BitWriter bits;
    bits.Put(0x00, 8);
    write(&bits);
    bits.Flush();
    return bits.bytes;
}

TEST(JpegBlock, RunsFillZerosAndTheTableDequantisesInNaturalOrder) {
    DecoderOver over(Bits([](BitWriter* b) { PutFlatBlock(b, 5, {{15, 0}, {0, 7}, {3, -2}}); }), 1);
    over.BindFlat(3);
    over.decoder.quantTables[0][kZigzagOrder[17]] = 10;
    over.decoder.dcPredictor[0] = 100;
    const BlockRun run = DecodeOneBlock(over);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(over.decoder.dcPredictor[0], 105);
    for (int k = 0; k < 64; ++k) {
        const int16_t value = run.block[kZigzagOrder[k]];
        if (k == 0)
            EXPECT_EQ(value, 315);
        else if (k == 17)
            EXPECT_EQ(value, 70);  // 0xF0 wrote 16 zeros first
        else if (k == 21)
            EXPECT_EQ(value, -6);
        else
            EXPECT_EQ(value, 0) << k;
    }
}

TEST(JpegBlock, ARunPastTheEndLandsOnTheLastCoefficient) {
    // 59 coefficients, then run 15: zeros to the end and the value on 63.
    DecoderOver over(Bits([](BitWriter* b) {
                         b->Put(0, 4);
                         for (int k = 1; k < 60; ++k) {
                             b->Put(0x01, 8);
                             b->Put(1, 1);
                         }
                         b->Put(0xF2, 8);
                         b->Put(3, 2);
                         PutFlatBlock(b, 9);  // the next block
                     }),
                     1);
    over.BindFlat();
    const BlockRun run = DecodeOneBlock(over);
    for (int k = 1; k < 60; ++k) EXPECT_EQ(run.block[kZigzagOrder[k]], 1);
    for (int k = 60; k < 63; ++k) EXPECT_EQ(run.block[kZigzagOrder[k]], 0);
    EXPECT_EQ(run.block[63], 3);
    const int16_t predictor = over.decoder.dcPredictor[0];
    DecodeOneBlock(over);
    EXPECT_EQ(over.decoder.dcPredictor[0], predictor + 9);
}

TEST(JpegBlock, SixtyThreeCoefficientsNeedNoEndOfBlock) {
    DecoderOver over(Bits([](BitWriter* b) {
                         b->Put(0, 4);
                         for (int k = 1; k < 64; ++k) {
                             b->Put(0x02, 8);
                             b->Put(k & 3, 2);  // -3, -2, 2, 3 in turn
                         }
                         PutFlatBlock(b, -4);
                     }),
                     1);
    over.BindFlat();
    const BlockRun run = DecodeOneBlock(over);
    const int values[4] = {-3, -2, 2, 3};
    for (int k = 1; k < 64; ++k) EXPECT_EQ(run.block[kZigzagOrder[k]], values[k & 3]) << k;
    DecodeOneBlock(over);
    EXPECT_EQ(over.decoder.dcPredictor[0], -4);
}

TEST(JpegBlock, ProductsAndPredictorsWrapInSixteenBits) {
    DecoderOver over(Bits([](BitWriter* b) {
                         PutFlatBlock(b, 0, {{0, 1023}});
                         PutFlatBlock(b, 1);
                     }),
                     1);
    over.BindFlat(100);
    over.decoder.dcPredictor[0] = 1000;
    BlockRun run = DecodeOneBlock(over);
    EXPECT_EQ(run.block[0], static_cast<int16_t>(100000 - 131072));
    EXPECT_EQ(run.block[1], static_cast<int16_t>(102300 - 131072));
    over.decoder.dcPredictor[0] = 32767;
    run = DecodeOneBlock(over);
    EXPECT_EQ(over.decoder.dcPredictor[0], -32768);
}

// DHT payloads (class/destination, counts, symbols) followed by entropy data.
std::vector<uint8_t> TablesThen(std::initializer_list<std::vector<uint8_t>> tables, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    for (const auto& table : tables) bytes.insert(bytes.end(), table.begin(), table.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

TEST(JpegBlock, AWindowWithNoCodeConsumesNothing) {
    // DC and AC each have the single code 0; the data begins with a 1.
    const std::vector<uint8_t> dc = DhtPayload(0x00, {1}, {5});
    const std::vector<uint8_t> ac = DhtPayload(0x10, {1}, {0x11});
    DecoderOver over(TablesThen({dc, ac}, {0xC0, 0x00}));
    ASSERT_EQ(ReadHuffmanTables(&over.decoder, static_cast<int32_t>(dc.size() + ac.size())), JPEG_OK);
    const int start = over.Consumed();
    for (uint16_t& q : over.decoder.quantTables[0]) q = 1;
    const HuffmanLookup& dcTable = over.decoder.huffmanTables[0];
    const HuffmanLookup& acTable = over.decoder.huffmanTables[4];
    over.decoder.binding[0] = {dcTable.lengths, dcTable.symbols, acTable.lengths, acTable.symbols,
                               over.decoder.quantTables[0]};
    over.decoder.dcPredictor[0] = 12;
    const BlockRun run = DecodeOneBlock(over);
    EXPECT_EQ(over.Consumed(), start);
    EXPECT_EQ(over.decoder.bitOffset, 0);
    EXPECT_EQ(run.block[0], 12);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(run.block[i], 0);
}

// Grey files whose tables are given as DHT payloads; MCU bits follow.
std::vector<uint8_t> GreyWithTables(int width, int height, const std::vector<uint8_t>& dc,
                                    const std::vector<uint8_t>& ac, const std::vector<uint8_t>& data) {
    StreamBuilder stream;
    stream.Soi().DqtFlat(0, 1).Segment(0xC4, dc).Segment(0xC4, ac).Sof0(width, height, {{1, 1, 1, 0}});
    stream.Sos({{1, 0}}).Raw(data);
    return stream.bytes;
}

TEST(JpegBlock, ADcCategoryAboveFifteenIsRefusedOnlyWhenItOccurs) {
    // Code 0: category 0; code 10: category 16. AC: code 0 is the end of block.
    const std::vector<uint8_t> dc = DhtPayload(0x00, {1, 1}, {0, 16});
    const std::vector<uint8_t> ac = DhtPayload(0x10, {1}, {0x00});
    EXPECT_EQ(DecodeBytes(GreyWithTables(16, 8, dc, ac, {0b00001111, 0xFF, 0xD9})).result, JPEG_OK);
    EXPECT_EQ(DecodeBytes(GreyWithTables(16, 8, dc, ac, {0b00100111, 0xFF, 0xD9})).result, JPEG_INVALID);
}

std::vector<StoreCall> RecordStores(const std::vector<uint8_t>& file, JpegResult expected = JPEG_OK) {
    std::vector<StoreCall> calls;
    KernelRecorder::calls = &calls;
    CountingAllocator work;
    const JpegDecodeSetup setup = {{}, work.Interface(), &KernelRecorder::kernels, DecodeMcuReference};
    EXPECT_EQ(DecodeWithSetup(file, setup).result, expected);
    EXPECT_EQ(work.live, 0);
    KernelRecorder::calls = nullptr;
    return calls;
}

std::vector<uint8_t> FlatBlocks(std::initializer_list<int> dcDiffs, bool eoi = true) {
    BitWriter bits;
    for (int diff : dcDiffs) PutFlatBlock(&bits, diff);
    bits.Flush();
    if (eoi) bits.bytes.insert(bits.bytes.end(), {0xFF, 0xD9});
    return bits.bytes;
}

TEST(JpegMcuEnd, RestartMarkersResetThePredictorsInAnyOrder) {
    BitWriter bits;
    const int markers[] = {0xD7, 0xD7, 0xD0};
    for (int i = 0; i < 4; ++i) {
        PutFlatBlock(&bits, i % 2 ? 1 : 10);  // 16 or 13 bits: aligned and not
        bits.Flush();
        if (i < 3) bits.bytes.insert(bits.bytes.end(), {0xFF, static_cast<uint8_t>(markers[i])});
    }
    StreamBuilder stream;
    stream.GreyHeaders(32, 8).Raw(bits.bytes).Eoi();
    const std::vector<StoreCall> calls = RecordStores(stream.bytes);
    ASSERT_EQ(calls.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(calls[i].luma[0], 1024 + (i % 2 ? 1 : 10)) << i;

    // Without markers the predictor runs on.
    StreamBuilder plain;
    plain.GreyHeaders(32, 8).Raw(FlatBlocks({10, 1, 10, 1}));
    const std::vector<StoreCall> running = RecordStores(plain.bytes);
    ASSERT_EQ(running.size(), 4u);
    EXPECT_EQ(running[3].luma[0], 1024 + 22);
}

TEST(JpegMcuEnd, AStuffedFfBeforeARestartMarkerIsPadding) {
    // The first block ends two bits into a byte that padding makes 0xFF;
    // its stuffed zero and then RST3 follow.
    BitWriter bits;
    bits.Put(3, 4);
    bits.PutValue(5);
    for (int k = 1; k < 49; ++k) {
        bits.Put(0x01, 8);
        bits.Put(1, 1);
    }
    bits.Put(0xFE, 8);
    bits.Put(0x3FFF, 14);
    ASSERT_EQ(bits.PendingBits(), 5);
    bits.Flush();
    ASSERT_EQ(bits.bytes[bits.bytes.size() - 2], 0xFF);
    bits.bytes.insert(bits.bytes.end(), {0xFF, 0xD3});
    PutFlatBlock(&bits, 10);
    bits.Flush();
    StreamBuilder stream;
    stream.GreyHeaders(16, 8).Raw(bits.bytes).Eoi();
    const std::vector<StoreCall> calls = RecordStores(stream.bytes);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].luma[0], 1029);
    EXPECT_EQ(calls[1].luma[0], 1034);
}

TEST(JpegMcuEnd, EndOfImageStopsDecodingThere) {
    BitWriter bits;
    PutFlatBlock(&bits, 3);
    bits.Flush();
    bits.bytes.insert(bits.bytes.end(), {0xFF, 0xD9});
    PutFlatBlock(&bits, 3);
    PutFlatBlock(&bits, 3);
    bits.Flush();
    StreamBuilder stream;
    stream.GreyHeaders(24, 8).Raw(bits.bytes);
    EXPECT_EQ(RecordStores(stream.bytes).size(), 1u);

    // The picture: the first block grey, the rest black.
    const Decoded decoded = DecodeBytes(stream.bytes);
    ASSERT_EQ(decoded.result, JPEG_OK);
    EXPECT_EQ(decoded.Pixel(7, 7)[0], 128);
    EXPECT_EQ(decoded.Pixel(8, 0)[0], 0);
    EXPECT_EQ(decoded.Pixel(23, 7)[2], 0);
}

TEST(JpegMcuEnd, BitsBeforeAnEndOfImageThatHoldAZeroAreTheNextMcu) {
    // DC code 0 is category 0, AC code 0 the end of block: an MCU is two
    // zero bits, so a whole second MCU fits before the padding.
    const std::vector<uint8_t> dc = DhtPayload(0x00, {1}, {0});
    const std::vector<uint8_t> ac = DhtPayload(0x10, {1}, {0x00});
    EXPECT_EQ(RecordStores(GreyWithTables(16, 8, dc, ac, {0b00001111, 0xFF, 0xD9})).size(), 2u);
    // Ones after the first MCU are padding: the end of image stops there.
    EXPECT_EQ(RecordStores(GreyWithTables(24, 8, dc, ac, {0b00111111, 0xFF, 0xD9})).size(), 1u);
    EXPECT_EQ(RecordStores(GreyWithTables(24, 8, dc, ac, {0x00, 0xFF, 0xD9})).size(), 3u);
}

void ExpectCalls(const std::vector<StoreCall>& calls, std::vector<std::array<int, 4>> expected) {
    ASSERT_EQ(calls.size(), expected.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].x, expected[i][0]) << i;
        EXPECT_EQ(calls[i].y, expected[i][1]) << i;
        EXPECT_EQ(calls[i].columns, expected[i][2]) << i;
        EXPECT_EQ(calls[i].rows, expected[i][3]) << i;
    }
}

std::vector<uint8_t> ColourFile(int width, int height, int h0, int v0, int mcus) {
    BitWriter bits;
    for (int i = 0; i < mcus * (h0 * v0 + 2); ++i) PutFlatBlock(&bits, 0);
    bits.Flush();
    StreamBuilder stream;
    stream.ColourHeaders(width, height, h0, v0).Raw(bits.bytes).Eoi();
    return stream.bytes;
}

TEST(JpegMcuWalk, RightEdgeBottomRowAndCornerAreClipped) {
    ExpectCalls(RecordStores(ColourFile(17, 9, 1, 1, 6)),
                {{0, 0, 8, 8}, {8, 0, 8, 8}, {16, 0, 1, 8}, {0, 8, 8, 1}, {8, 8, 8, 1}, {16, 8, 1, 1}});
    ExpectCalls(RecordStores(ColourFile(20, 20, 2, 2, 4)),
                {{0, 0, 16, 16}, {16, 0, 4, 16}, {0, 16, 16, 4}, {16, 16, 4, 4}});
    ExpectCalls(RecordStores(ColourFile(33, 17, 2, 1, 9)), {{0, 0, 16, 8},
                                                            {16, 0, 16, 8},
                                                            {32, 0, 1, 8},
                                                            {0, 8, 16, 8},
                                                            {16, 8, 16, 8},
                                                            {32, 8, 1, 8},
                                                            {0, 16, 16, 1},
                                                            {16, 16, 16, 1},
                                                            {32, 16, 1, 1}});
    ExpectCalls(RecordStores(ColourFile(20, 20, 1, 2, 6)),
                {{0, 0, 8, 16}, {8, 0, 8, 16}, {16, 0, 4, 16}, {0, 16, 8, 4}, {8, 16, 8, 4}, {16, 16, 4, 4}});
    ExpectCalls(RecordStores(ColourFile(16, 16, 2, 2, 1)), {{0, 0, 16, 16}});
}

TEST(JpegMcuWalk, AColourMcuIsItsLumaBlocksInRasterOrderThenCbThenCr) {
    BitWriter bits;
    for (int diff : {1, 2, 3, 4, 5, 6}) PutFlatBlock(&bits, diff);
    bits.Flush();
    StreamBuilder stream;
    stream.ColourHeaders(16, 16, 2, 2).Raw(bits.bytes).Eoi();
    const std::vector<StoreCall> calls = RecordStores(stream.bytes);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].luma[0], 1025);
    EXPECT_EQ(calls[0].luma[1], 1027);
    EXPECT_EQ(calls[0].luma[2], 1030);
    EXPECT_EQ(calls[0].luma[3], 1034);
    EXPECT_EQ(calls[0].cb, 5);
    EXPECT_EQ(calls[0].cr, 6);
}

TEST(JpegMcuWalk, AGreyFrameIsAnEightByEightGridWhateverItsSampling) {
    StreamBuilder stream;
    stream.Soi().DqtFlat(0, 1).FlatTables().Sof0(16, 8, {{1, 2, 2, 0}}).Sos({{1, 0}}).Raw(FlatBlocks({0, 0}));
    ExpectCalls(RecordStores(stream.bytes), {{0, 0, 8, 8}, {8, 0, 8, 8}});
}

TEST(JpegMcuWalk, DataRunningOutStopsAfterThatMcuButNotAfterARightEdgeOne) {
    // Each MCU is two bytes; the third is cut after its first byte.
    std::vector<uint8_t> data = FlatBlocks({10, 10, 10}, false);
    data.resize(5);
    StreamBuilder full;
    full.GreyHeaders(24, 16).Raw(data);
    EXPECT_EQ(RecordStores(full.bytes).size(), 3u);

    // At the right edge its status is not looked at: the next MCU is
    // decoded from the padding too.
    StreamBuilder edge;
    edge.GreyHeaders(17, 16).Raw(data);
    EXPECT_EQ(RecordStores(edge.bytes).size(), 4u);
}

TEST(JpegLevelShift, ALuminanceDcGainsFloorOf1024OverQuantiserTimesQuantiser) {
    for (auto [quantiser, sample] : {std::pair<int, int>{16, 128}, {3, 127}, {1, 128}, {7, 127}}) {
        StreamBuilder stream;
        stream.GreyHeaders(8, 8, static_cast<uint16_t>(quantiser)).Raw(FlatBlocks({0}));
        const Decoded decoded = DecodeBytes(stream.bytes);
        ASSERT_EQ(decoded.result, JPEG_OK);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) ASSERT_EQ(decoded.Pixel(x, y)[1], sample) << quantiser;
    }
    // A DC of -1 gives -1 everywhere, written as black.
    StreamBuilder negative;
    negative.GreyHeaders(8, 8).Raw(FlatBlocks({-1025}));
    const Decoded decoded = DecodeBytes(negative.bytes);
    ASSERT_EQ(decoded.result, JPEG_OK);
    EXPECT_EQ(decoded.Pixel(3, 3)[0], 0);
    EXPECT_EQ(RecordStores(negative.bytes)[0].luma[0], -1);
}

}  // namespace
