// The fast entropy path against the literal routines. Every MCU is decoded
// both ways from the same state and the states compared (coefficients,
// cursor, bit offset, bytes left, predictors, status); whole pictures are
// compared byte for byte. Streams come from a small coefficient encoder with
// random tables, from random bytes under well- and ill-formed tables, and
// from truncated and damaged copies of both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "jpeg_test_support.h"

namespace {

using jpegtest::BitWriter;
using jpegtest::CountingAllocator;
using jpegtest::Decoded;
using jpegtest::StreamBuilder;

// ------------------------------------------------------------ per-MCU twin

struct TwinLog {
    int mcus = 0;
    int mismatches = 0;
    bool fastTablesBuilt = false;
    std::string first;
};
TwinLog* twinLog = nullptr;

// Stands in for the MCU decoder: the literal routines run on a copy of the
// state with their own block buffers, the fast path on the real one.
int DecodeMcuTwice(JpegDecoder* decoder) {
    alignas(16) int16_t luma[kLumaBufferBytes / 2], cb[kChromaBufferBytes / 2], cr[kChromaBufferBytes / 2];
    std::memcpy(luma, decoder->lumaBlocks, sizeof luma);
    std::memcpy(cb, decoder->cbBlock, sizeof cb);
    std::memcpy(cr, decoder->crBlock, sizeof cr);
    JpegDecoder literal = *decoder;
    literal.lumaBlocks = luma;
    literal.cbBlock = cb;
    literal.crBlock = cr;
    const int expected = DecodeMcuReference(&literal);
    const int status = DecodeMcuFast(decoder);

    TwinLog& log = *twinLog;
    log.mcus++;
    if (decoder->fastScan) log.fastTablesBuilt = true;
    std::ostringstream why;
    if (status != expected) why << "status " << status << " vs " << expected;
    if (status == expected && status != kMcuCorrupt) {
        if (decoder->cursor != literal.cursor) why << " cursor " << (decoder->cursor - literal.cursor);
        if (decoder->bitOffset != literal.bitOffset) why << " bitOffset " << decoder->bitOffset << " vs " << literal.bitOffset;
        if (decoder->bytesLeft != literal.bytesLeft) why << " bytesLeft " << decoder->bytesLeft << " vs " << literal.bytesLeft;
        if (std::memcmp(decoder->dcPredictor, literal.dcPredictor, sizeof literal.dcPredictor) != 0) why << " predictors";
        int h0 = 1, v0 = 1;
        LumaSampling(decoder->samplingMode, &h0, &v0);
        const size_t lumaBytes = 128u * static_cast<size_t>(h0 * v0);
        if (std::memcmp(decoder->lumaBlocks, luma, lumaBytes) != 0) why << " luma";
        if (decoder->samplingMode != MODE_GREY &&
            (std::memcmp(decoder->cbBlock, cb, 128) != 0 || std::memcmp(decoder->crBlock, cr, 128) != 0))
            why << " chroma";
    }
    if (!why.str().empty()) {
        if (log.mismatches++ == 0) log.first = "MCU " + std::to_string(log.mcus - 1) + ":" + why.str();
    }
    return status;
}

// Decodes `file` with the twin MCU decoder and also whole, fast and literal;
// reports any difference.
struct Comparison {
    TwinLog log;
    Decoded fast, literal;
};

Comparison Compare(const std::vector<uint8_t>& file) {
    Comparison comparison;
    twinLog = &comparison.log;
    CountingAllocator work;
    JpegDecodeSetup setup = {};
    setup.work = work.Interface();
    setup.kernels = &kScalarPixelKernels;
    setup.decodeMcu = DecodeMcuTwice;
    jpegtest::DecodeWithSetup(file, setup);
    twinLog = nullptr;
    comparison.fast = jpegtest::DecodeBytes(file, JPEG_DECODE_FAST);
    comparison.literal = jpegtest::DecodeBytes(file, JPEG_DECODE_REFERENCE);
    return comparison;
}

// Both ways alike: every MCU state, the result and every picture byte.
Comparison ExpectSameDecode(const std::vector<uint8_t>& file, const std::string& label) {
    Comparison c = Compare(file);
    EXPECT_EQ(c.log.mismatches, 0) << label << ": " << c.log.first;
    EXPECT_EQ(c.fast.result, c.literal.result) << label;
    EXPECT_TRUE(c.fast.image == c.literal.image) << label << ": pictures differ";
    return c;
}

// ------------------------------------------------------------ the encoder

struct HuffmanSpec {
    uint8_t counts[16] = {};
    std::vector<uint8_t> symbols;  // in code order
};

struct CodeWord {
    uint32_t code = 0;
    int length = 0;  // 0: the table has no code for the symbol
};

// Codes assigned shortest first, counting up, as the decoder does.
std::vector<CodeWord> CodesOf(const HuffmanSpec& spec) {
    std::vector<CodeWord> codes(256);
    uint32_t code = 0;
    size_t k = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < spec.counts[length - 1]; ++i) codes[spec.symbols[k++]] = {code++, length};
        code <<= 1;
    }
    return codes;
}

// A complete-enough prefix code over `symbols`: the first few get lengths
// from `shortest` to 9 within half the code space, the rest 9 to 16 bits, so
// every symbol gets a code and long codes are common.
HuffmanSpec RandomSpec(std::mt19937& random, const std::vector<uint8_t>& symbols, int shortest) {
    std::vector<int> lengthOf(symbols.size());
    uint32_t remaining = 1u << 16;
    for (size_t i = 0; i < symbols.size(); ++i) {
        const bool early = i < 24;
        int length = std::uniform_int_distribution<int>(early ? shortest : 9, early ? 9 : 16)(random);
        while (length < 16 && ((1u << (16 - length)) > remaining || (early && remaining - (1u << (16 - length)) < 32768)))
            length++;
        remaining -= 1u << (16 - length);
        lengthOf[i] = length;
    }
    HuffmanSpec spec;
    for (int length = 1; length <= 16; ++length)
        for (size_t i = 0; i < symbols.size(); ++i)
            if (lengthOf[i] == length) {
                spec.counts[length - 1]++;
                spec.symbols.push_back(symbols[i]);
            }
    return spec;
}

std::vector<uint8_t> Range(int first, int last) {
    std::vector<uint8_t> values;
    for (int v = first; v <= last; ++v) values.push_back(static_cast<uint8_t>(v));
    return values;
}

// AC symbols with the common ones (end of block, short runs, small sizes) first.
std::vector<uint8_t> AcSymbolsCommonFirst(std::mt19937& random) {
    std::vector<uint8_t> common = {0x00, 0x01, 0x02, 0x11, 0x03, 0x21, 0x04, 0x12, 0xF0, 0x31, 0x05, 0x13};
    std::vector<uint8_t> rest;
    for (int s = 0; s < 256; ++s)
        if (std::find(common.begin(), common.end(), s) == common.end()) rest.push_back(static_cast<uint8_t>(s));
    std::shuffle(rest.begin(), rest.end(), random);
    common.insert(common.end(), rest.begin(), rest.end());
    return common;
}

enum class BlockStyle { Smooth, Busy, Wild };

struct Encoder {
    std::mt19937 random;
    BitWriter bits;
    std::vector<CodeWord> dc[2], ac[2];
    int maxDcCategory = 11;
    BlockStyle style = BlockStyle::Smooth;

    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

    void PutSymbol(const std::vector<CodeWord>& codes, int symbol) {
        ASSERT_GT(codes[symbol].length, 0) << "symbol " << symbol;
        bits.Put(codes[symbol].code, codes[symbol].length);
    }
    void PutValueOfCategory(int category) {
        if (category == 0) return;
        const int magnitude = Uniform(1 << (category - 1), (1 << category) - 1);
        bits.PutValue(Uniform(0, 1) ? magnitude : -magnitude);
    }
    int SmallCategory(int most) {
        const int category = Uniform(0, 3) ? Uniform(1, 4) : Uniform(1, most);
        return category < most ? category : most;
    }

    void PutBlock(int table) {
        const int dcCategory = Uniform(0, 4) ? Uniform(0, 5) : Uniform(0, maxDcCategory);
        PutSymbol(dc[table], dcCategory);
        PutValueOfCategory(dcCategory);
        const int endChance = style == BlockStyle::Smooth ? 4 : style == BlockStyle::Busy ? 30 : 12;
        for (int k = 1; k < 64;) {
            if (Uniform(0, endChance) == 0) {
                PutSymbol(ac[table], 0x00);
                return;
            }
            int run = Uniform(0, 2) ? Uniform(0, 2) : Uniform(0, 15);
            int size = SmallCategory(style == BlockStyle::Wild ? 15 : 10);
            if (style == BlockStyle::Wild && Uniform(0, 9) == 0) size = 0;  // a bare run, ZRL among them
            if (style != BlockStyle::Wild && k + run > 63) {
                PutSymbol(ac[table], 0x00);
                return;
            }
            if (size == 0 && run == 0) run = 15;
            PutSymbol(ac[table], run << 4 | size);
            PutValueOfCategory(size);
            k += run + 1;  // a wild run may overshoot the block
        }
    }
};

struct EncodedPicture {
    std::vector<uint8_t> file;
    size_t scanStart = 0;  // first byte of entropy-coded data
};

struct PictureSpec {
    SamplingMode mode;
    int width, height;
    int restartInterval;  // MCUs, 0 for none
    BlockStyle style;
    uint32_t seed;
    bool wideQuant = false;  // 16-bit quantisers
};

EncodedPicture EncodePicture(const PictureSpec& spec) {
    Encoder encoder;
    encoder.random.seed(spec.seed);
    encoder.style = spec.style;
    encoder.maxDcCategory = spec.style == BlockStyle::Wild ? 15 : 11;
    HuffmanSpec dcSpec[2], acSpec[2];
    for (int t = 0; t < 2; ++t) {
        dcSpec[t] = RandomSpec(encoder.random, Range(0, 15), 2);
        acSpec[t] = RandomSpec(encoder.random, AcSymbolsCommonFirst(encoder.random), 2);
        encoder.dc[t] = CodesOf(dcSpec[t]);
        encoder.ac[t] = CodesOf(acSpec[t]);
    }

    const bool grey = spec.mode == MODE_GREY;
    const int h0 = spec.mode == MODE_H2V1 || spec.mode == MODE_H2V2 ? 2 : 1;
    const int v0 = spec.mode == MODE_H1V2 || spec.mode == MODE_H2V2 ? 2 : 1;
    StreamBuilder builder;
    builder.Soi();
    for (int t = 0; t < 2; ++t) {
        std::vector<uint16_t> quant(64);
        for (uint16_t& q : quant)
            q = static_cast<uint16_t>(spec.wideQuant ? encoder.Uniform(1, 65535) : encoder.Uniform(1, 60));
        builder.Dqt(t, quant, spec.wideQuant ? 1 : 0);
    }
    if (grey)
        builder.Sof0(spec.width, spec.height, {{1, 1, 1, 0}});
    else
        builder.Sof0(spec.width, spec.height, {{1, h0, v0, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}});
    for (int t = 0; t < 2; ++t) {
        builder.Dht(t, dcSpec[t].counts, dcSpec[t].symbols);
        builder.Dht(0x10 | t, acSpec[t].counts, acSpec[t].symbols);
    }
    if (grey)
        builder.Sos({{1, 0x00}});
    else
        builder.Sos({{1, 0x00}, {2, 0x11}, {3, 0x11}});
    EncodedPicture picture;
    picture.scanStart = builder.bytes.size();

    const int mcuWidth = grey ? 8 : 8 * h0, mcuHeight = grey ? 8 : 8 * v0;
    const int mcus = ((spec.width + mcuWidth - 1) / mcuWidth) * ((spec.height + mcuHeight - 1) / mcuHeight);
    int restarts = 0;
    for (int mcu = 0; mcu < mcus; ++mcu) {
        if (spec.restartInterval && mcu > 0 && mcu % spec.restartInterval == 0) {
            encoder.bits.Flush();
            encoder.bits.bytes.push_back(0xFF);
            encoder.bits.bytes.push_back(static_cast<uint8_t>(0xD0 + (restarts++ & 7)));
        }
        for (int i = 0; i < (grey ? 1 : h0 * v0); ++i) encoder.PutBlock(0);
        if (!grey) {
            encoder.PutBlock(1);
            encoder.PutBlock(1);
        }
    }
    encoder.bits.Flush();
    builder.Raw(encoder.bits.bytes).Eoi();
    picture.file = builder.bytes;
    return picture;
}

std::string Describe(const PictureSpec& spec) {
    std::ostringstream text;
    text << "mode " << spec.mode << " " << spec.width << "x" << spec.height << " restart " << spec.restartInterval
         << " style " << static_cast<int>(spec.style) << " seed " << spec.seed;
    return text.str();
}

const SamplingMode kModes[] = {MODE_GREY, MODE_H1V1, MODE_H2V1, MODE_H1V2, MODE_H2V2};

// ------------------------------------------------------------------ tests

TEST(FastScan, EncodedPicturesOfEveryModeDecodeAlike) {
    uint32_t seed = 1;
    int fastPictures = 0;
    for (SamplingMode mode : kModes) {
        for (const auto& [width, height] : {std::pair<int, int>{176, 112}, std::pair<int, int>{131, 93}}) {
            for (int restart : {0, 1, 5}) {
                for (BlockStyle style : {BlockStyle::Smooth, BlockStyle::Busy, BlockStyle::Wild}) {
                    const PictureSpec spec = {mode, width, height, restart, style, seed++, seed % 4 == 0};
                    const EncodedPicture picture = EncodePicture(spec);
                    const Comparison c = ExpectSameDecode(picture.file, Describe(spec));
                    // With a few kilobytes of scan data the first MCUs take the fast path.
                    if (picture.file.size() - picture.scanStart > 3100) {
                        EXPECT_TRUE(c.log.fastTablesBuilt) << Describe(spec);
                        fastPictures++;
                    }
                }
            }
        }
    }
    EXPECT_GT(fastPictures, 60);  // of 90
}

TEST(FastScan, TruncatedCopiesStopWhereTheLiteralRoutinesStop) {
    const PictureSpec specs[] = {{MODE_H2V2, 128, 96, 0, BlockStyle::Busy, 7},
                                 {MODE_H1V1, 128, 80, 3, BlockStyle::Wild, 8},
                                 {MODE_GREY, 224, 128, 0, BlockStyle::Busy, 9}};
    for (const PictureSpec& spec : specs) {
        const EncodedPicture picture = EncodePicture(spec);
        ASSERT_GT(picture.file.size() - picture.scanStart, 6000u) << "too short to reach the fast path";
        const size_t size = picture.file.size();
        std::vector<size_t> cuts;
        // Every cut in the last stretch, where the fast path hands over to the literal one ...
        for (size_t back = 0; back < 3200; back += 13) cuts.push_back(size - back);
        // ... and some anywhere in the scan.
        std::mt19937 random(spec.seed);
        for (int i = 0; i < 40; ++i)
            cuts.push_back(std::uniform_int_distribution<size_t>(picture.scanStart, size)(random));
        for (size_t cut : cuts) {
            const std::vector<uint8_t> truncated(picture.file.begin(), picture.file.begin() + cut);
            ExpectSameDecode(truncated, Describe(spec) + " cut at " + std::to_string(cut));
        }
    }
}

// Writes one kind of damage into the scan of `file`.
void Damage(std::vector<uint8_t>* file, size_t scanStart, std::mt19937& random) {
    const size_t at = std::uniform_int_distribution<size_t>(scanStart, file->size() - 3)(random);
    switch (std::uniform_int_distribution<int>(0, 7)(random)) {
        case 0: (*file)[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        case 1: (*file)[at] = 0xFF; break;
        case 2: (*file)[at] = 0x00; break;
        case 3: (*file)[at] = 0xFF, (*file)[at + 1] = 0x00; break;
        case 4: (*file)[at] = 0xFF, (*file)[at + 1] = static_cast<uint8_t>(0xD0 + random() % 8); break;
        case 5: (*file)[at] = 0xFF, (*file)[at + 1] = 0xD9; break;
        case 6: file->erase(file->begin() + static_cast<ptrdiff_t>(at)); break;
        default: file->insert(file->begin() + static_cast<ptrdiff_t>(at), {0xFF, 0x00, 0xFF}); break;
    }
}

TEST(FastScan, DamagedCopiesDecodeAlike) {
    std::mt19937 random(2024);
    for (int trial = 0; trial < 150; ++trial) {
        const PictureSpec spec = {kModes[trial % 5], 144, 96, trial % 3 == 0 ? 2 : 0,
                                  static_cast<BlockStyle>(trial % 3), static_cast<uint32_t>(500 + trial)};
        const EncodedPicture picture = EncodePicture(spec);
        std::vector<uint8_t> damaged = picture.file;
        const int hits = std::uniform_int_distribution<int>(1, 6)(random);
        for (int i = 0; i < hits; ++i) Damage(&damaged, picture.scanStart, random);
        ExpectSameDecode(damaged, Describe(spec) + " trial " + std::to_string(trial));
    }
}

// --------------------------------------------- random data, odd tables

// Headers for a picture whose scan data is given, with the given tables.
std::vector<uint8_t> FileWithScan(SamplingMode mode, int width, int height, const HuffmanSpec& dc,
                                  const HuffmanSpec& ac, const std::vector<uint8_t>& scan, int approximation = 0) {
    StreamBuilder builder;
    builder.Soi().DqtFlat(0, 3).DqtFlat(1, 5);
    const int h0 = mode == MODE_H2V1 || mode == MODE_H2V2 ? 2 : 1;
    const int v0 = mode == MODE_H1V2 || mode == MODE_H2V2 ? 2 : 1;
    if (mode == MODE_GREY)
        builder.Sof0(width, height, {{1, 1, 1, 0}});
    else
        builder.Sof0(width, height, {{1, h0, v0, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}});
    builder.Dht(0x00, dc.counts, dc.symbols).Dht(0x10, ac.counts, ac.symbols);
    std::vector<uint8_t> sos = {static_cast<uint8_t>(mode == MODE_GREY ? 1 : 3)};
    for (int c = 0; c < (mode == MODE_GREY ? 1 : 3); ++c) sos.insert(sos.end(), {static_cast<uint8_t>(c + 1), 0x00});
    sos.insert(sos.end(), {0, 63, static_cast<uint8_t>(approximation)});
    builder.Segment(0xDA, sos).Raw(scan);
    return builder.bytes;
}

std::vector<uint8_t> RandomScan(std::mt19937& random, size_t size, int markerChance) {
    std::vector<uint8_t> scan(size);
    for (uint8_t& byte : scan) {
        const int roll = std::uniform_int_distribution<int>(0, 99)(random);
        byte = roll < markerChance ? 0xFF : roll < 2 * markerChance ? 0x00 : static_cast<uint8_t>(random());
    }
    return scan;
}

// Tables the encoder never makes: few codes (most windows hold none), codes
// of 16 bits only, over-full counts whose codes overlap, DC categories above 15.
HuffmanSpec OddSpec(std::mt19937& random, int kind) {
    HuffmanSpec spec;
    auto symbol = [&] { return static_cast<uint8_t>(random()); };
    switch (kind) {
        case 0:  // sparse
            spec.counts[2] = 1, spec.counts[5] = 2, spec.counts[11] = 3;
            break;
        case 1:  // all sixteen bits long
            spec.counts[15] = 200;
            break;
        case 2:  // over-full: more codes than the lengths hold
            spec.counts[0] = 3, spec.counts[1] = 5, spec.counts[3] = 20, spec.counts[8] = 60;
            break;
        default:  // complete but arbitrary
            for (int i = 0; i < 16; ++i) spec.counts[i] = static_cast<uint8_t>(random() % 12);
            break;
    }
    int total = 0;
    for (int i = 0; i < 16; ++i) total += spec.counts[i];
    for (int i = 0; i < total; ++i) spec.symbols.push_back(symbol());
    return spec;
}

TEST(FastScan, RandomDataUnderOddTablesDecodesAlike) {
    std::mt19937 random(77);
    for (int trial = 0; trial < 120; ++trial) {
        HuffmanSpec dc = OddSpec(random, trial % 4);
        HuffmanSpec ac = OddSpec(random, (trial / 4) % 4);
        if (trial % 3 == 0) {
            // Keep DC categories legal now and then, so that whole pictures come through.
            for (uint8_t& s : dc.symbols) s &= 15;
        }
        const std::vector<uint8_t> scan = RandomScan(random, 6000 + trial * 37, trial % 5);
        const std::vector<uint8_t> file = FileWithScan(kModes[trial % 5], 64, 48, dc, ac, scan);
        ExpectSameDecode(file, "trial " + std::to_string(trial));
    }
}

// Random scans under one pair of complete tables, each edited by `edit`
// before it is decoded both ways.
void ExpectRandomScansDecodeAlike(uint32_t seed, int trials, int width, int height, size_t size, int approximation,
                                  const std::function<void(std::vector<uint8_t>&, std::mt19937&, int)>& edit) {
    std::mt19937 random(seed);
    const HuffmanSpec dc = RandomSpec(random, Range(0, 11), 2);
    const HuffmanSpec ac = RandomSpec(random, AcSymbolsCommonFirst(random), 2);
    for (int trial = 0; trial < trials; ++trial) {
        std::vector<uint8_t> scan = RandomScan(random, size, 3);
        edit(scan, random, trial);
        const std::vector<uint8_t> file = FileWithScan(kModes[trial % 5], width, height, dc, ac, scan, approximation);
        ExpectSameDecode(file, "trial " + std::to_string(trial));
    }
}

TEST(FastScan, StuffingAndMarkerBytesInsideMcusReadAlike) {
    // Dense 0xFF, 0x00 and marker bytes: FF 00 pairs, FF FF 00, FF 00 00,
    // restart and end codes where no MCU ends.
    ExpectRandomScansDecodeAlike(5, 40, 48, 40, 8000, 0, [](std::vector<uint8_t>& scan, std::mt19937& random, int trial) {
        scan = RandomScan(random, scan.size(), 20 + trial % 20);
        const uint8_t patterns[][3] = {{0xFF, 0x00, 0x00}, {0xFF, 0xFF, 0x00}, {0xFF, 0xD3, 0x00}, {0xFF, 0x00, 0xFF}};
        for (int i = 0; i < 60; ++i) std::memcpy(&scan[random() % (scan.size() - 3)], patterns[random() % 4], 3);
    });
}

TEST(FastScan, ScanStartingOnAStuffedZeroReadsAlike) {
    // The scan header's last byte is 0xFF and the data begins with 0x00: the
    // literal window skips that 0x00 as stuffing.
    ExpectRandomScansDecodeAlike(11, 10, 64, 64, 9000, 0xFF, [](std::vector<uint8_t>& scan, std::mt19937&, int trial) {
        scan[0] = 0x00;
        if (trial & 1) scan[1] = 0x00;
    });
}

TEST(FastScan, WorstCaseMcusNearTheEndReadAlike) {
    // All-ones data under tables whose all-ones code is 16 bits long and
    // carries 15 value bits: every symbol takes 31 bits, every block 64
    // symbols, and every data byte 0xFF is followed by a stuffed 0x00. One
    // H2V2 MCU then spans 2,976 file bytes, the most any MCU can; files
    // around that size start the MCU on either side of the fast path's margin.
    HuffmanSpec dc, ac;
    for (int length = 1; length <= 15; ++length) dc.counts[length - 1] = ac.counts[length - 1] = 1;
    dc.counts[15] = ac.counts[15] = 2;  // ... 1111111111111110, 1111111111111111
    dc.symbols.assign(17, 0);
    ac.symbols.assign(17, 0x01);
    dc.symbols[16] = 15;
    ac.symbols[16] = 0x0F;
    for (size_t pairs = 1470; pairs <= 1540; ++pairs) {
        std::vector<uint8_t> scan;
        for (size_t i = 0; i < pairs; ++i) scan.insert(scan.end(), {0xFF, 0x00});
        const Comparison c =
            ExpectSameDecode(FileWithScan(MODE_H2V2, 16, 16, dc, ac, scan), std::to_string(pairs) + " stuffed bytes");
        if (pairs >= 1520) {
            EXPECT_TRUE(c.log.fastTablesBuilt) << pairs;  // 3,040 bytes left: the fast path's margin
        }
    }
}

// Work memory that holds only the Huffman arrays and the MCU buffers.
void* AllocateOnlyDecoderBlocks(void*, size_t bytes) {
    if (bytes != 65536 && bytes != kLumaBufferBytes && bytes != kChromaBufferBytes) return nullptr;
    return calloc(1, bytes);
}
void ReleaseBlock(void*, void* memory) { free(memory); }

TEST(FastScan, NoMemoryForFastTablesStillDecodesExactly) {
    const EncodedPicture picture = EncodePicture({MODE_H2V1, 96, 64, 0, BlockStyle::Busy, 31});
    JpegDecodeSetup setup = {};
    setup.work = {AllocateOnlyDecoderBlocks, ReleaseBlock, nullptr};
    setup.kernels = &FastPixelKernels();
    setup.decodeMcu = DecodeMcuFast;
    const Decoded starved = jpegtest::DecodeWithSetup(picture.file, setup);
    const Decoded literal = jpegtest::DecodeBytes(picture.file, JPEG_DECODE_REFERENCE);
    ASSERT_EQ(literal.result, JPEG_OK);
    EXPECT_EQ(starved.result, JPEG_OK);
    EXPECT_TRUE(starved.image == literal.image);
}

}  // namespace
