// Huffman lookup arrays and quantisation tables as the segment readers
// build them.
#include <gtest/gtest.h>

#include "jpeg_test_support.h"

namespace {

using namespace jpegtest;

std::vector<uint8_t> AnnexKLuminanceDc(int classAndDestination) {
    return DhtPayload(classAndDestination, {0, 1, 5, 1, 1, 1, 1, 1, 1}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
}

JpegResult ReadTables(DecoderOver& over) {
    return ReadHuffmanTables(&over.decoder, static_cast<int32_t>(over.bytes.size() - kJpegInputPadding));
}

void ExpectWindows(const HuffmanLookup& table, int from, int to, int length, int symbol) {
    for (int w = from; w <= to; ++w) {
        ASSERT_EQ(table.lengths[w], length) << std::hex << w;
        ASSERT_EQ(table.symbols[w], symbol) << std::hex << w;
    }
}

TEST(JpegHuffmanTables, AnnexKLuminanceDcFillsEveryWindowOfEachCode) {
    DecoderOver over(AnnexKLuminanceDc(0x00));
    ASSERT_EQ(ReadTables(over), JPEG_OK);
    const HuffmanLookup& table = over.decoder.huffmanTables[0];
    ExpectWindows(table, 0x0000, 0x3FFF, 2, 0);
    ExpectWindows(table, 0x4000, 0x5FFF, 3, 1);
    ExpectWindows(table, 0x6000, 0x7FFF, 3, 2);
    ExpectWindows(table, 0xE000, 0xEFFF, 4, 6);
    ExpectWindows(table, 0xFE00, 0xFEFF, 8, 10);
    ExpectWindows(table, 0xFF00, 0xFF7F, 9, 11);
    ExpectWindows(table, 0xFF80, 0xFFFF, 0, 0);  // no code begins there
    EXPECT_EQ(over.Consumed(), 1 + 16 + 12);
}

TEST(JpegHuffmanTables, ClassAndDestinationChooseTheSlot) {
    const int bytes[] = {0x00, 0x01, 0x02, 0x03, 0x10, 0x11, 0x12, 0x13};
    for (int slot = 0; slot < 8; ++slot) {
        DecoderOver over(AnnexKLuminanceDc(bytes[slot]));
        ASSERT_EQ(ReadTables(over), JPEG_OK);
        for (int other = 0; other < 8; ++other)
            EXPECT_EQ(over.decoder.huffmanTables[other].lengths != nullptr, other == slot) << slot << " " << other;
    }
    for (int bad : {0x04, 0x0F, 0x14, 0x1F, 0x20, 0xFF}) {
        DecoderOver over(AnnexKLuminanceDc(bad));
        EXPECT_EQ(ReadTables(over), JPEG_INVALID) << bad;
    }
}

TEST(JpegHuffmanTables, SeveralTablesInOneSegmentAndAReplacedSlot) {
    std::vector<uint8_t> payload = AnnexKLuminanceDc(0x11);
    const std::vector<uint8_t> second = DhtPayload(0x11, {1}, {0x42});  // one 1-bit code
    payload.insert(payload.end(), second.begin(), second.end());
    DecoderOver over(payload);
    ASSERT_EQ(ReadTables(over), JPEG_OK);
    const HuffmanLookup& table = over.decoder.huffmanTables[5];
    ExpectWindows(table, 0x0000, 0x7FFF, 1, 0x42);
    ExpectWindows(table, 0x8000, 0xFFFF, 0, 0);  // nothing of the first table is left
    EXPECT_EQ(over.work.live, 2);
}

TEST(JpegHuffmanTables, ImpossibleCountsStayInsideTheArrays) {
    // Three 1-bit codes: the third wraps onto the first one's windows.
    DecoderOver overFull(DhtPayload(0x00, {3}, {7, 8, 9}));
    ASSERT_EQ(ReadTables(overFull), JPEG_OK);
    ExpectWindows(overFull.decoder.huffmanTables[0], 0x0000, 0x7FFF, 1, 9);
    ExpectWindows(overFull.decoder.huffmanTables[0], 0x8000, 0xFFFF, 1, 8);

    // 256 codes fit; 257 do not.
    std::vector<uint8_t> symbols(257, 1);
    DecoderOver full(DhtPayload(0x00, {0, 0, 0, 0, 0, 0, 0, 255, 1}, std::vector<uint8_t>(256, 1)));
    EXPECT_EQ(ReadTables(full), JPEG_OK);
    DecoderOver tooMany(DhtPayload(0x00, {0, 0, 0, 0, 0, 0, 0, 255, 2}, symbols));
    EXPECT_EQ(ReadTables(tooMany), JPEG_INVALID);

    // Sixteen 16-bit codes after a full set of shorter ones run past 16
    // bits; they must still land inside the arrays.
    DecoderOver longCodes(
        DhtPayload(0x00, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 200}, std::vector<uint8_t>(215, 3)));
    EXPECT_EQ(ReadTables(longCodes), JPEG_OK);
}

TEST(JpegHuffmanTables, AFailedAllocationLeavesTheSlotEmpty) {
    for (int failAt = 0; failAt < 2; ++failAt) {
        DecoderOver over(AnnexKLuminanceDc(0x12));
        over.work.failAt = failAt;
        EXPECT_EQ(ReadTables(over), JPEG_NO_MEMORY);
        EXPECT_EQ(over.decoder.huffmanTables[6].lengths, nullptr);
        EXPECT_EQ(over.decoder.huffmanTables[6].symbols, nullptr);
        EXPECT_EQ(over.work.live, 0);
    }
}

std::vector<uint8_t> DqtPayload(int precisionAndTable, int first) {
    std::vector<uint8_t> payload = {static_cast<uint8_t>(precisionAndTable)};
    for (int k = 0; k < 64; ++k) {
        const int value = k == 0 ? first : 100 + k;
        if (precisionAndTable >> 4) payload.push_back(static_cast<uint8_t>(value >> 8));
        payload.push_back(static_cast<uint8_t>(value));
    }
    return payload;
}

JpegResult ReadQuant(DecoderOver& over) {
    return ReadQuantTables(&over.decoder, static_cast<int32_t>(over.bytes.size() - kJpegInputPadding));
}

TEST(JpegQuantTables, EntriesAreStoredInNaturalOrder) {
    DecoderOver over(DqtPayload(0x02, 5));
    ASSERT_EQ(ReadQuant(over), JPEG_OK);
    const uint16_t* table = over.decoder.quantTables[2];
    EXPECT_EQ(table[0], 5);
    EXPECT_EQ(table[1], 101);   // zigzag 1
    EXPECT_EQ(table[8], 102);   // zigzag 2
    EXPECT_EQ(table[16], 103);  // zigzag 3
    EXPECT_EQ(table[57], 163 - 27);
    EXPECT_EQ(table[63], 163);

    // 16-bit entries are big-endian values, stored the same way.
    std::vector<uint8_t> wide = {0x13};
    for (int k = 0; k < 64; ++k) wide.insert(wide.end(), {static_cast<uint8_t>(k), 0x01});
    DecoderOver over16(wide);
    ASSERT_EQ(ReadQuant(over16), JPEG_OK);
    EXPECT_EQ(over16.decoder.quantTables[3][0], 0x0001);
    EXPECT_EQ(over16.decoder.quantTables[3][8], 0x0201);
    EXPECT_EQ(over16.decoder.quantTables[3][63], 0x3F01);
}

TEST(JpegQuantTables, EveryTableResetsThePredictorsFromTableZero) {
    std::vector<uint8_t> payload = DqtPayload(0x00, 16);
    DecoderOver first(payload);
    first.decoder.dcPredictor[1] = 77;
    ASSERT_EQ(ReadQuant(first), JPEG_OK);
    EXPECT_EQ(first.decoder.dcPredictor[0], 64);
    EXPECT_EQ(first.decoder.dcPredictor[1], 0);

    // A later table 1 resets again, still from table 0's first entry.
    const std::vector<uint8_t> table1 = DqtPayload(0x01, 2);
    payload.insert(payload.end(), table1.begin(), table1.end());
    DecoderOver both(payload);
    ASSERT_EQ(ReadQuant(both), JPEG_OK);
    EXPECT_EQ(both.decoder.dcPredictor[0], 64);

    for (auto [first0, predictor] : {std::pair<int, int>{3, 341}, {0, 1024}, {1, 1024}, {2000, 0}}) {
        DecoderOver over(DqtPayload(0x10, first0));
        over.decoder.dcPredictor[2] = 5;
        ASSERT_EQ(ReadQuant(over), JPEG_OK);
        EXPECT_EQ(over.decoder.dcPredictor[0], predictor) << first0;
        EXPECT_EQ(over.decoder.dcPredictor[2], 0);
    }
}

TEST(JpegQuantTables, PrecisionAboveOneAndTablesAboveThreeAreInvalid) {
    DecoderOver precision(DqtPayload(0x20, 1));
    EXPECT_EQ(ReadQuant(precision), JPEG_INVALID);
    DecoderOver destination(DqtPayload(0x04, 1));
    EXPECT_EQ(ReadQuant(destination), JPEG_INVALID);
}

}  // namespace
