// The file level: the search for the start of image, the marker walk,
// segment lengths, the frame and scan headers and the result codes.
#include <gtest/gtest.h>

#include "jpeg_test_support.h"

namespace {

using namespace jpegtest;

// Entropy data of one flat 8x8 grey block (DC difference 0) and the EOI.
std::vector<uint8_t> OneGreyBlock() {
    BitWriter bits;
    PutFlatBlock(&bits, 0);
    bits.Flush();
    bits.bytes.insert(bits.bytes.end(), {0xFF, 0xD9});
    return bits.bytes;
}

// A whole valid 8x8 grey file.
std::vector<uint8_t> ValidGreyFile() {
    StreamBuilder stream;
    stream.GreyHeaders(8, 8).Raw(OneGreyBlock());
    return stream.bytes;
}

// Everything after the SOI of ValidGreyFile.
std::vector<uint8_t> AfterSoi() {
    std::vector<uint8_t> file = ValidGreyFile();
    return std::vector<uint8_t>(file.begin() + 2, file.end());
}

JpegResult ResultOf(const std::vector<uint8_t>& file) { return DecodeBytes(file).result; }

TEST(JpegStartOfImage, LeadingBytesAreSkippedUpToTheSoi) {
    StreamBuilder stream;
    stream.Raw({0x12, 0x00, 0x34}).Raw(ValidGreyFile());
    EXPECT_EQ(ResultOf(stream.bytes), JPEG_OK);

    // A marker before the SOI is passed over without reading a length: the
    // bytes after FF E0 are the SOI itself.
    StreamBuilder marker;
    marker.Raw({0xFF, 0xE0}).Raw(ValidGreyFile());
    EXPECT_EQ(ResultOf(marker.bytes), JPEG_OK);
}

TEST(JpegStartOfImage, FilesWithoutAUsableSoiAreInvalid) {
    EXPECT_EQ(ResultOf({}), JPEG_INVALID);
    EXPECT_EQ(ResultOf({0x01, 0x02, 0x03, 0x04}), JPEG_INVALID);
    EXPECT_EQ(ResultOf({0xFF}), JPEG_INVALID);
    EXPECT_EQ(ResultOf({0xFF, 0xD8}), JPEG_INVALID);  // nothing after the SOI

    StreamBuilder eoiFirst;
    eoiFirst.Eoi().Raw(ValidGreyFile());
    EXPECT_EQ(ResultOf(eoiFirst.bytes), JPEG_INVALID);

    StreamBuilder notFollowedByMarker;
    notFollowedByMarker.Soi().Raw({0x00}).Raw(AfterSoi());
    EXPECT_EQ(ResultOf(notFollowedByMarker.bytes), JPEG_INVALID);
}

TEST(JpegMarkerWalk, OtherFrameTypesAreUnsupportedWhereverTheyStand) {
    for (int code = 0xC1; code <= 0xCF; ++code) {
        if (code == 0xC4 || code == 0xC8) continue;
        StreamBuilder stream;
        stream.Soi().DqtFlat(0, 1).FlatTables().Segment(code, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}).Raw(AfterSoi());
        EXPECT_EQ(ResultOf(stream.bytes), JPEG_UNSUPPORTED) << std::hex << code;
    }
}

TEST(JpegMarkerWalk, SegmentsNotReadAreSkippedByTheirLength) {
    // Each carries bytes that would end or derail the walk if it were read.
    std::vector<int> codes = {0xC8};
    for (int code = 0xDC; code <= 0xFE; ++code) codes.push_back(code);
    for (int code : codes) {
        StreamBuilder stream;
        stream.Soi().Segment(code, {0xFF, 0xD8, 0xFF, 0xD9, 0xFF, 0xC2}).Raw(AfterSoi());
        EXPECT_EQ(ResultOf(stream.bytes), JPEG_OK) << std::hex << code;
    }
}

TEST(JpegMarkerWalk, CodesWithoutASegmentArePassedOver) {
    // If any of these read a length, it would swallow the DQT that follows.
    for (int code : {0xD0, 0xD7, 0xD8, 0x01, 0xBF, 0xFF}) {
        StreamBuilder stream;
        stream.Soi().Raw({0xFF, code}).Raw(AfterSoi());
        EXPECT_EQ(ResultOf(stream.bytes), JPEG_OK) << std::hex << code;
    }
    // Bytes between segments are skipped.
    StreamBuilder junk;
    junk.Soi().DqtFlat(0, 1).Raw({0x00, 0x12}).FlatTables().Raw({0x7F}).Sof0(8, 8, {{1, 1, 1, 0}});
    junk.Sos({{1, 0}}).Raw(OneGreyBlock());
    EXPECT_EQ(ResultOf(junk.bytes), JPEG_OK);
}

TEST(JpegMarkerWalk, AWalkThatEndsBeforeAScanIsInvalid) {
    StreamBuilder tablesThenEoi;
    tablesThenEoi.Soi().DqtFlat(0, 1).FlatTables().Sof0(8, 8, {{1, 1, 1, 0}}).Eoi().Raw({0, 0, 0});
    EXPECT_EQ(ResultOf(tablesThenEoi.bytes), JPEG_INVALID);

    StreamBuilder runsOut;
    runsOut.Soi().DqtFlat(0, 1).Raw({0x00, 0x01, 0x02});
    EXPECT_EQ(ResultOf(runsOut.bytes), JPEG_INVALID);

    StreamBuilder cutMarker;
    cutMarker.Soi().DqtFlat(0, 1).Raw({0xFF});
    EXPECT_EQ(ResultOf(cutMarker.bytes), JPEG_INVALID);

    StreamBuilder skippedPastTheEnd;
    skippedPastTheEnd.Soi().Raw({0xFF, 0xE1, 0x00, 0x10, 0x00});
    EXPECT_EQ(ResultOf(skippedPastTheEnd.bytes), JPEG_INVALID);
}

TEST(JpegMarkerWalk, AnEmbeddedThumbnailDoesNotEndTheWalk) {
    std::vector<uint8_t> thumbnail = ValidGreyFile();
    thumbnail.insert(thumbnail.begin(), {'E', 'x', 'i', 'f', 0, 0});
    StreamBuilder stream;
    stream.Soi().Segment(0xE1, thumbnail).Segment(0xDD, {0x00, 0x01}).Raw(AfterSoi());
    EXPECT_EQ(ResultOf(stream.bytes), JPEG_OK);
}

TEST(JpegSegmentLength, DecodedSegmentsNeedTwoBytesBeyondTheirEnd) {
    // The scan header as the file's last bytes, then 0, 1 or 2 more.
    for (int extra = 0; extra <= 2; ++extra) {
        StreamBuilder stream;
        stream.GreyHeaders(0, 0);
        for (int i = 0; i < extra; ++i) stream.Raw({0x00});
        EXPECT_EQ(ResultOf(stream.bytes), extra == 2 ? JPEG_OK : JPEG_INVALID) << extra;
    }
}

TEST(JpegSegmentLength, HeaderReadersConsumeTheirFieldsWhateverTheLengthSays) {
    // A frame header that declares length 2 is still read in full, and the
    // walk goes on after its fields.
    StreamBuilder stream;
    stream.Soi().DqtFlat(0, 1).FlatTables().Raw({0xFF, 0xC0, 0x00, 0x02, 8, 0, 8, 0, 8, 1, 1, 0x11, 0});
    stream.Sos({{1, 0}}).Raw(OneGreyBlock());
    EXPECT_EQ(ResultOf(stream.bytes), JPEG_OK);
}

TEST(JpegSegmentLength, SkippedSegmentsShorterThanTheirLengthFieldMoveOnByTheirLength) {
    for (int length : {0, 1}) {
        StreamBuilder stream;
        stream.Soi().Raw({0xFF, 0xE0, 0x00, length}).Raw(AfterSoi());
        EXPECT_EQ(ResultOf(stream.bytes), JPEG_OK) << length;
    }
}

TEST(JpegSegmentLength, TableSegmentsMustHoldExactlyTheirTables) {
    std::vector<uint8_t> dqt = {0x00};
    dqt.insert(dqt.end(), 64, 1);
    const std::vector<uint8_t> dc(kFlatDcCounts, kFlatDcCounts + 16);

    auto withSegment = [](int code, int length, std::vector<uint8_t> payload) {
        StreamBuilder stream;
        stream.Soi().Raw({0xFF, code, length >> 8, length & 0xFF}).Raw(payload).Raw(AfterSoi());
        return ResultOf(stream.bytes);
    };
    std::vector<uint8_t> dht = {0x00};
    dht.insert(dht.end(), dc.begin(), dc.end());
    for (int i = 0; i < 16; ++i) dht.push_back(static_cast<uint8_t>(i));

    EXPECT_EQ(withSegment(0xDB, 67, dqt), JPEG_OK);
    EXPECT_EQ(withSegment(0xDB, 68, dqt), JPEG_INVALID);  // one byte more than the table
    EXPECT_EQ(withSegment(0xDB, 66, dqt), JPEG_INVALID);  // table cut
    EXPECT_EQ(withSegment(0xDB, 1, dqt), JPEG_INVALID);   // below 2
    EXPECT_EQ(withSegment(0xDB, 2, {}), JPEG_OK);         // no table at all

    EXPECT_EQ(withSegment(0xC4, 35, dht), JPEG_OK);
    EXPECT_EQ(withSegment(0xC4, 36, dht), JPEG_INVALID);
    EXPECT_EQ(withSegment(0xC4, 34, dht), JPEG_INVALID);  // symbols cut
    EXPECT_EQ(withSegment(0xC4, 10, dht), JPEG_INVALID);  // counts cut
    EXPECT_EQ(withSegment(0xC4, 0, dht), JPEG_INVALID);
    EXPECT_EQ(withSegment(0xC4, 2, {}), JPEG_OK);
}

TEST(JpegFrameAndScan, TheModeCheckTakesOnlyGreyAndTheFourColourSamplings) {
    auto colour = [](int h0, int v0, int h1, int v1) {
        StreamBuilder stream;
        stream.Soi().DqtFlat(0, 1).FlatTables().Sof0(0, 0, {{1, h0, v0, 0}, {2, h1, v1, 0}, {3, 1, 1, 0}});
        stream.Sos({{1, 0}, {2, 0}, {3, 0}}).Raw({0, 0});
        return ResultOf(stream.bytes);
    };
    EXPECT_EQ(colour(1, 1, 1, 1), JPEG_OK);
    EXPECT_EQ(colour(2, 1, 1, 1), JPEG_OK);
    EXPECT_EQ(colour(1, 2, 1, 1), JPEG_OK);
    EXPECT_EQ(colour(2, 2, 1, 1), JPEG_OK);
    EXPECT_EQ(colour(2, 2, 2, 1), JPEG_INVALID);  // chroma not 1x1
    EXPECT_EQ(colour(3, 1, 1, 1), JPEG_INVALID);
    EXPECT_EQ(colour(4, 4, 1, 1), JPEG_INVALID);

    StreamBuilder two;
    two.Soi().DqtFlat(0, 1).FlatTables().Sof0(8, 8, {{1, 1, 1, 0}, {2, 1, 1, 0}}).Sos({{1, 0}, {2, 0}}).Raw({0, 0});
    EXPECT_EQ(ResultOf(two.bytes), JPEG_INVALID);

    StreamBuilder four;
    four.Soi().DqtFlat(0, 1).FlatTables().Sof0(8, 8, {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}, {4, 1, 1, 0}});
    four.Sos({{1, 0}, {2, 0}, {3, 0}}).Raw({0, 0});
    EXPECT_EQ(ResultOf(four.bytes), JPEG_INVALID);
}

TEST(JpegFrameAndScan, EveryTableTheScanUsesMustHaveBeenRead) {
    const uint8_t* dcCounts = kFlatDcCounts;
    auto grey = [&](bool dc, bool ac, bool quant, int tq, int tables) {
        StreamBuilder stream;
        stream.Soi();
        if (quant) stream.DqtFlat(0, 1);
        if (dc) stream.Dht(0x00, dcCounts, FlatDcSymbols());
        if (ac) stream.Dht(0x10, kFlatAcCounts, FlatAcSymbols());
        stream.Sof0(8, 8, {{1, 1, 1, tq}}).Sos({{1, tables}}).Raw(OneGreyBlock());
        return ResultOf(stream.bytes);
    };
    EXPECT_EQ(grey(true, true, true, 0, 0x00), JPEG_OK);
    EXPECT_EQ(grey(false, true, true, 0, 0x00), JPEG_INVALID);
    EXPECT_EQ(grey(true, false, true, 0, 0x00), JPEG_INVALID);
    EXPECT_EQ(grey(true, true, false, 0, 0x00), JPEG_INVALID);
    EXPECT_EQ(grey(true, true, true, 1, 0x00), JPEG_INVALID);  // quantiser 1 never read
    EXPECT_EQ(grey(true, true, true, 9, 0x00), JPEG_INVALID);  // no quantiser 9
    EXPECT_EQ(grey(true, true, true, 0, 0x40), JPEG_INVALID);  // no DC table 4
    EXPECT_EQ(grey(true, true, true, 0, 0x04), JPEG_INVALID);  // no AC table 4
    EXPECT_EQ(grey(true, true, true, 0, 0x11), JPEG_INVALID);  // tables 1 never read

    StreamBuilder scanBeforeFrame;
    scanBeforeFrame.Soi().DqtFlat(0, 1).FlatTables().Sos({{1, 0}}).Raw(OneGreyBlock());
    EXPECT_EQ(ResultOf(scanBeforeFrame.bytes), JPEG_INVALID);
}

TEST(JpegFrameAndScan, TheScanMustCarryTheComponentsTheModeDecodes) {
    StreamBuilder oneOfThree;
    oneOfThree.Soi().DqtFlat(0, 1).FlatTables().Sof0(8, 8, {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}});
    oneOfThree.Sos({{1, 0}}).Raw(OneGreyBlock());
    EXPECT_EQ(ResultOf(oneOfThree.bytes), JPEG_INVALID);

    StreamBuilder fourInScan;
    fourInScan.Soi().DqtFlat(0, 1).FlatTables().Sof0(8, 8, {{1, 1, 1, 0}});
    fourInScan.Sos({{1, 0}, {2, 0}, {3, 0}, {4, 0}}).Raw(OneGreyBlock());
    EXPECT_EQ(ResultOf(fourInScan.bytes), JPEG_INVALID);

    // Selectors are not matched against the frame's identifiers.
    StreamBuilder otherSelector;
    otherSelector.Soi().DqtFlat(0, 1).FlatTables().Sof0(8, 8, {{1, 1, 1, 0}}).Sos({{77, 0}}).Raw(OneGreyBlock());
    EXPECT_EQ(ResultOf(otherSelector.bytes), JPEG_OK);
}

TEST(JpegFrameAndScan, TheOutputHeaderAndLayout) {
    for (int width : {0, 1, 5, 8, 17}) {
        for (int height : {0, 1, 9}) {
            StreamBuilder stream;
            stream.GreyHeaders(width, height);
            BitWriter bits;
            for (int i = 0; i < 6; ++i) PutFlatBlock(&bits, 0);
            bits.Flush();
            stream.Raw(bits.bytes).Eoi();
            const Decoded decoded = DecodeBytes(stream.bytes);
            ASSERT_EQ(decoded.result, JPEG_OK) << width << "x" << height;
            const uint32_t stride = (width * 3 + 3) & ~3;
            EXPECT_EQ(decoded.header.biSize, 40u);
            EXPECT_EQ(decoded.header.biWidth, width);
            EXPECT_EQ(decoded.header.biHeight, height);
            EXPECT_EQ(decoded.header.biPlanes, 1);
            EXPECT_EQ(decoded.header.biBitCount, 24);
            EXPECT_EQ(decoded.header.biCompression, 0u);
            EXPECT_EQ(decoded.header.biSizeImage, height * stride);
            EXPECT_EQ(decoded.header.biClrUsed, 0u);
            EXPECT_EQ(decoded.image.size(), 40 + (height + 15) * stride);
            // Padding bytes and the slack rows stay zero; flat blocks of DC
            // 1024 with quantiser 1 are mid-grey.
            for (int y = 0; y < height; ++y)
                for (uint32_t b = 0; b < stride; ++b) {
                    const uint8_t value = decoded.image[40 + y * stride + b];
                    EXPECT_EQ(value, b < 3u * width ? 128 : 0);
                }
            for (size_t i = 40 + height * stride; i < decoded.image.size(); ++i) ASSERT_EQ(decoded.image[i], 0);
        }
    }
    EXPECT_EQ(DibRowBytes24(1), 4u);
    EXPECT_EQ(DibRowBytes24(5), 16u);
}

TEST(JpegMemory, EveryFailedAllocationIsNoMemoryAndLeavesNothing) {
    const std::vector<uint8_t> file = ValidGreyFile();
    JpegDecodeSetup setup = {{}, {}, &kScalarPixelKernels, DecodeMcuReference};
    // Work memory: three MCU buffers, then two arrays per Huffman table.
    for (int failAt = 0; failAt < 7; ++failAt) {
        CountingAllocator work;
        work.failAt = failAt;
        setup.work = work.Interface();
        EXPECT_EQ(DecodeWithSetup(file, setup).result, JPEG_NO_MEMORY) << failAt;
        EXPECT_EQ(work.live, 0) << failAt;
    }
    CountingAllocator work;
    setup.work = work.Interface();
    EXPECT_EQ(DecodeWithSetup(file, setup).result, JPEG_OK);
    EXPECT_EQ(work.calls, 7);
    EXPECT_EQ(work.live, 0);

    // The output block.
    std::vector<uint8_t> padded(file);
    padded.resize(file.size() + kJpegInputPadding);
    CountingAllocator output;
    output.failAt = 0;
    void* image = reinterpret_cast<void*>(&output);
    EXPECT_EQ(DecodeJpegMemory(padded.data(), static_cast<uint32_t>(file.size()), output.Interface(), &image),
              JPEG_NO_MEMORY);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(output.live, 0);
}

TEST(JpegMemory, PicturesTooLargeForA32BitBlockAreNoMemory) {
    // 65535 x 65535 needs more than 4 GiB: refused before any request.
    StreamBuilder huge;
    huge.GreyHeaders(65535, 65535).Raw({0, 0});
    std::vector<uint8_t> padded(huge.bytes);
    padded.resize(huge.bytes.size() + kJpegInputPadding);
    CountingAllocator output;
    void* image = nullptr;
    EXPECT_EQ(DecodeJpegMemory(padded.data(), static_cast<uint32_t>(huge.bytes.size()), output.Interface(), &image),
              JPEG_NO_MEMORY);
    EXPECT_EQ(output.calls, 0);

    // Just under 4 GiB is asked for (and refused here).
    StreamBuilder large;
    large.GreyHeaders(65535, 21000).Raw({0, 0});
    padded = large.bytes;
    padded.resize(large.bytes.size() + kJpegInputPadding);
    output.failAt = 0;
    EXPECT_EQ(DecodeJpegMemory(padded.data(), static_cast<uint32_t>(large.bytes.size()), output.Interface(), &image),
              JPEG_NO_MEMORY);
    EXPECT_EQ(output.calls, 1);

    // A file size the 32-bit signed byte count cannot hold.
    EXPECT_EQ(DecodeJpegMemory(padded.data(), 0x80000000u, output.Interface(), &image), JPEG_NO_MEMORY);
    EXPECT_EQ(image, nullptr);
}

}  // namespace
