// Real files (make_test_data.py) and random scans: the fast path and SSE2 kernels decode each, and every cut or
// damaged copy, as the literal routines do, with one result at every scale; reduced pictures are means.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "jpeg_test_support.h"

namespace {

// Decodes both ways at 1 / 2^shift, with the result of the full size; true when the fast path built its tables.
bool ExpectAlike(const Bytes& file, const std::string& what, int shift = 0) {
    Counter work;
    const Decoded fast = Decode(file, shift, true, &work), literal = Decode(file, shift);
    EXPECT_TRUE(fast.result == literal.result && fast.image == literal.image) << what << " at 1/" << (1 << shift);
    EXPECT_TRUE(!shift || Decode(file).result == literal.result) << what << " at 1/" << (1 << shift);
    return work.other > 0;
}

// PSNR in dB of a reduced picture against the k x k means (rounded) of the full-size one, edges included.
double PsnrAgainstMeans(const Decoded& full, const Decoded& reduced, int k) {
    double squares = 0;
    for (int y = 0; y < reduced.header.biHeight; ++y)
        for (int x = 0; x < reduced.header.biWidth; ++x)
            for (int channel = 0; channel < 3; ++channel) {
                int sum = 0, count = 0;
                for (int j = k * y; j < std::min(full.header.biHeight, k * y + k); ++j)
                    for (int i = k * x; i < std::min(full.header.biWidth, k * x + k); ++i, ++count)
                        sum += full.At(i, j, channel);
                const double error = reduced.At(x, y, channel) - (sum + count / 2) / count;
                squares += error * error;
            }
    return squares ? 10 * std::log10(255.0 * 255 * 3 * reduced.header.biWidth * reduced.header.biHeight / squares) : 99;
}

TEST(JpegFiles, EveryFileIsTheMeanWhenReducedAndItsCutOrDamagedCopiesDecodeAlikeBothWays) {
    // The least PSNR in dB at 1/2, 1/4, 1/8, as measured (floored). A sample is the mean of the whole coded
    // block, so the 1/8 pixels of a 20-pixel edge also mean the encoder's padding beyond the picture (34 dB);
    // where grain or strong colour saturates a channel, the mean of clamped pixels is not the clamp of the mean.
    const std::map<std::string, std::vector<double>> least = {
        {"fuzz-grey-16x16-kernels", {57, 57, 54}}, {"grey-16x16-opt", {57, 57, 54}}, {"grey-17x9", {58, 59, 52}},
        {"grey-31x23-q90", {53, 54, 52}}, {"grey-150x110-noise", {56, 51, 52}}, {"h1v1-17x9", {51, 51, 51}},
        {"h1v1-24x16-q100", {51, 51, 51}}, {"h1v1-40x24-rst3b", {52, 51, 49}}, {"h2v1-33x17", {50, 52, 49}},
        {"h1v2-20x20", {50, 51, 34}}, {"h1v2-16x32-opt", {50, 51, 50}}, {"h1v2-100x90-noise", {49, 48, 42}},
        {"h2v2-16x16", {57, 51, 49}}, {"h2v2-20x20", {59, 51, 34}}, {"h2v2-37x29-q90", {54, 46, 42}},
        {"h2v2-48x32-rst1", {58, 51, 50}}, {"h2v2-53x41-rst2b-opt", {56, 50, 46}},
        {"h2v2-133x109-rst2b-noise", {55, 50, 47}}};
    std::set<std::string> names;  // in a fixed order, so that every run damages the same bytes
    for (const auto& entry : std::filesystem::directory_iterator(KESTROVA_JPEG_TEST_DATA))
        names.insert(entry.path().stem().string());
    std::mt19937 random(2024);
    int fast = 0;
    for (const std::string& name : names) {
        const Bytes file = ReadFile(DataPath(name + ".jpg")), marker = {0xFF, 0xDA};
        const Decoded full = Decode(file);
        ASSERT_EQ(full.result, JPEG_OK) << name;
        for (int shift = 1; shift <= 3; ++shift)
            EXPECT_GE(PsnrAgainstMeans(full, Decode(file, shift), 1 << shift), least.at(name)[shift - 1]) << name;
        // Bytes after the end put the whole scan in reach of the fast path; the scan header's last byte made
        // 0xFF and a 0x00 after it start the scan on stuffing.
        Bytes junk(4000), stuffed = file;
        for (uint8_t& b : junk) b = U8(random() % 4 ? random() : 0xFF);
        const size_t sos = std::search(file.begin(), file.end(), marker.begin(), marker.end()) - file.begin();
        const size_t end = sos + 2 + (file[sos + 2] << 8 | file[sos + 3]);
        stuffed.insert(stuffed.begin() + end, 0x00), stuffed[end - 1] = 0xFF;
        fast += ExpectAlike(file, name) + ExpectAlike(file + junk, name + " + junk") +
                ExpectAlike(stuffed + junk, name + " starting on stuffing");
        for (int copy = 0; copy < 60; ++copy) {
            Bytes bytes = file;
            if (copy % 3 == 0) bytes.resize(random() % file.size());
            for (int hits = copy % 3 == 0 ? 0 : 1 + random() % 4; hits > 0; --hits) {
                const size_t at = random() % (bytes.size() - 2), kind = random() % 8;
                const Bytes patches[] = {{0xFF}, {0x00}, {0xFF, 0x00}, {0xFF, U8(0xD0 + random() % 8)}, {0xFF, 0xD9}};
                if (kind < 5) std::copy(patches[kind].begin(), patches[kind].end(), bytes.begin() + at);
                if (kind == 5) bytes[at] ^= U8(1 << random() % 8);
                if (kind == 6) bytes.erase(bytes.begin() + at);
                if (kind == 7) bytes.insert(bytes.begin() + at, {0xFF, 0x00, 0xFF});
            }
            fast += ExpectAlike(copy % 2 ? bytes + junk : bytes, name + " copy " + std::to_string(copy), copy % 4);
        }
    }
    EXPECT_GT(fast, 300);
}

TEST(JpegFiles, RandomScansUnderOddTablesAndWorstCaseMcusDecodeAlike) {
    std::mt19937 random(77);
    const Bytes samplings[] = {{0x11}, {0x11, 0x11, 0x11}, {0x21, 0x11, 0x11}, {0x12, 0x11, 0x11}, {0x22, 0x11, 0x11}};
    for (int trial = 0; trial < 100; ++trial) {
        // Empty, sparse, over-full and 16-bit-only tables; DC categories above 15 in every fourth.
        Bytes tables, scan(6000 + 37 * trial);
        for (int tc : {0x00, 0x10}) {
            Bytes counts(16), symbols;
            for (uint8_t& n : counts) n = U8(random() % (1 + trial % 12));
            if (trial % 5 == 0) counts = Bytes(15, 0) + Bytes{200};
            for (uint8_t n : counts)
                for (int i = 0; i < n; ++i) symbols.push_back(U8(random() % (tc ? 256 : trial % 4 ? 16 : 18)));
            tables = tables + Table(tc, counts, symbols);
        }
        for (uint8_t& b : scan) b = U8(static_cast<int>(random() % 100) < trial % 20 ? random() % 2 * 0xFF : random());
        ExpectAlike(Headers(64, 48, samplings[trial % 5], tables, Dqt(0, 3)) + scan, "trial " + std::to_string(trial));
    }
    // All-ones data whose every code is 16 bits with 15 value bits, every byte a stuffed 0xFF: one H2V2 MCU
    // then spans 2,976 bytes, the most any MCU can. A second MCU shows where the first one stopped.
    const Bytes counts = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2};
    Bytes dc(17, 0), ac(17, 0x01), scan;
    dc[16] = 15, ac[16] = 0x0F;
    const Bytes headers = Headers(32, 16, {0x22, 0x11, 0x11}, Table(0, counts, dc) + Table(0x10, counts, ac));
    int fast = 0;
    for (int pairs = 0; pairs <= 1540; ++pairs, scan = scan + Bytes{0xFF, 0x00})  // 1470 on: both sides of the margin
        if (pairs >= 1470) fast += ExpectAlike(headers + scan, std::to_string(pairs) + " stuffed bytes");
    EXPECT_GT(fast, 10);
}

}  // namespace
