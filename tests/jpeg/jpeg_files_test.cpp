// Real files made with an ordinary encoder (tests/jpeg/data, rebuilt by
// make_test_data.py). Each must decode to exactly what an independent,
// plainly written model of this decoder's arithmetic gives, look like the
// picture it was made from, and survive being cut or damaged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>

#include "jpeg_test_support.h"

namespace {

using namespace jpegtest;

const char* const kFiles[] = {
    "grey-17x9.jpg",          "grey-16x16-opt.jpg",  "grey-31x23-q90.jpg",       "h1v1-17x9.jpg",
    "h1v1-24x16-q100.jpg",    "h2v1-33x17.jpg",      "h1v2-20x20.jpg",           "h1v2-16x32-opt.jpg",
    "h2v2-16x16.jpg",         "h2v2-20x20.jpg",      "h2v2-37x29-q90.jpg",       "h2v2-48x32-rst1.jpg",
    "h2v2-53x41-rst2b-opt.jpg", "h1v1-40x24-rst3b.jpg",
};

int16_t Wrap(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

// ---- The model: a plain baseline decoder, bit by bit, into coefficients ----

struct ModelHuffman {
    std::map<std::pair<int, int>, int> symbols;  // (length, code) -> symbol
};

struct ModelComponent {
    int h = 1, v = 1, tq = 0, dc = 0, ac = 0;
};

struct Model {
    int width = 0, height = 0, restartInterval = 0;
    std::vector<ModelComponent> components;
    int quant[4][64] = {};  // natural order
    ModelHuffman dc[4], ac[4];
    // Per component, per block in decoding order: 64 dequantised values.
    std::vector<std::vector<std::array<int16_t, 64>>> blocks;
};

class ModelBits {
public:
    ModelBits(const std::vector<uint8_t>& data, size_t at) : data_(data), at_(at) {}
    int Bit() {
        if (count_ == 0) {
            current_ = at_ < data_.size() ? data_[at_] : 0;
            at_++;
            if (current_ == 0xFF) at_++;  // the stuffed zero
            count_ = 8;
        }
        return (current_ >> --count_) & 1;
    }
    int Bits(int n) {
        int value = 0;
        while (n--) value = value << 1 | Bit();
        return value;
    }
    // Drops the rest of the byte and a restart marker.
    void Restart() {
        count_ = 0;
        EXPECT_EQ(data_[at_], 0xFF);
        EXPECT_EQ(data_[at_ + 1] & 0xF8, 0xD0);
        at_ += 2;
    }

private:
    const std::vector<uint8_t>& data_;
    size_t at_;
    int count_ = 0, current_ = 0;
};

int DecodeSymbol(ModelBits& bits, const ModelHuffman& table) {
    int code = 0;
    for (int length = 1; length <= 16; ++length) {
        code = code << 1 | bits.Bit();
        const auto found = table.symbols.find({length, code});
        if (found != table.symbols.end()) return found->second;
    }
    ADD_FAILURE() << "no code";
    return 0;
}

int Extend(int bits, int category) { return bits < (1 << (category - 1)) ? bits - (1 << category) + 1 : bits; }

Model ParseAndDecode(const std::vector<uint8_t>& file) {
    Model model;
    size_t at = 2;
    for (;;) {
        const int code = file[at + 1];
        const int length = file[at + 2] << 8 | file[at + 3];
        const uint8_t* p = &file[at + 4];
        if (code == 0xDB) {
            for (int n = 0; n < length - 2; n += 65, p += 65)
                for (int k = 0; k < 64; ++k) model.quant[p[0] & 15][kZigzagOrder[k]] = p[1 + k];
        } else if (code == 0xC4) {
            for (const uint8_t* end = p + length - 2; p < end;) {
                ModelHuffman& table = (p[0] >> 4 ? model.ac : model.dc)[p[0] & 15];
                const uint8_t* symbol = p + 17;
                int next = 0;
                for (int length = 1; length <= 16; ++length, next <<= 1)
                    for (int i = 0; i < p[length]; ++i) table.symbols[{length, next++}] = *symbol++;
                p = symbol;
            }
        } else if (code == 0xC0) {
            model.height = p[1] << 8 | p[2];
            model.width = p[3] << 8 | p[4];
            for (int i = 0; i < p[5]; ++i)
                model.components.push_back({p[7 + 3 * i] >> 4, p[7 + 3 * i] & 15, p[8 + 3 * i], 0, 0});
        } else if (code == 0xDD) {
            model.restartInterval = p[0] << 8 | p[1];
        } else if (code == 0xDA) {
            for (int i = 0; i < p[0]; ++i) {
                model.components[i].dc = p[2 + 2 * i] >> 4;
                model.components[i].ac = p[2 + 2 * i] & 15;
            }
            at += 2 + length;
            break;
        }
        at += 2 + length;
    }

    const bool grey = model.components.size() == 1;
    const int h0 = grey ? 1 : model.components[0].h, v0 = grey ? 1 : model.components[0].v;
    const int mcus = ((model.width + 8 * h0 - 1) / (8 * h0)) * ((model.height + 8 * v0 - 1) / (8 * v0));
    ModelBits bits(file, at);
    model.blocks.resize(model.components.size());
    // The decoder folds the +128 level shift into the luminance predictor.
    const int shift = model.quant[0][0] ? 1024 / model.quant[0][0] : 1024;
    std::vector<int> predictor(model.components.size(), 0);
    for (int mcu = 0; mcu < mcus; ++mcu) {
        if (model.restartInterval && mcu > 0 && mcu % model.restartInterval == 0) {
            bits.Restart();
            std::fill(predictor.begin(), predictor.end(), 0);
        }
        for (size_t c = 0; c < model.components.size(); ++c) {
            const ModelComponent& component = model.components[c];
            const int* q = model.quant[component.tq];
            const int count = c == 0 ? h0 * v0 : 1;
            for (int b = 0; b < count; ++b) {
                std::array<int16_t, 64> block = {};
                const int category = DecodeSymbol(bits, model.dc[component.dc]);
                predictor[c] += category ? Extend(bits.Bits(category), category) : 0;
                block[0] = Wrap(Wrap(predictor[c] + (c == 0 ? shift : 0)) * q[0]);
                for (int k = 1; k < 64; ++k) {
                    const int symbol = DecodeSymbol(bits, model.ac[component.ac]);
                    if (symbol == 0) break;
                    k += symbol >> 4;
                    const int size = symbol & 15;
                    if (size) block[kZigzagOrder[k]] = Wrap(Extend(bits.Bits(size), size) * q[kZigzagOrder[k]]);
                }
                model.blocks[c].push_back(block);
            }
        }
    }
    return model;
}

// ---- The model's pixels: a matrix transform and per-pixel placement ----

// 32·√2·cos(mπ/16) rounded, with the DC basis 32: the decoder's constants.
int Basis(int n, int k) {
    if (k == 0) return 32;
    const double value = 32.0 * std::sqrt(2.0) * std::cos(((2 * n + 1) * k % 32) * 3.14159265358979323846 / 16.0);
    return static_cast<int>(std::lround(value));
}

std::array<int16_t, 64> ModelTransform(const std::array<int16_t, 64>& in) {
    std::array<int16_t, 64> rows = {}, out = {};
    for (int r = 0; r < 8; ++r)
        for (int n = 0; n < 8; ++n) {
            int32_t sum = 0;
            for (int k = 0; k < 8; ++k) sum += Basis(n, k) * in[8 * r + k];
            rows[8 * r + n] = Wrap(sum >> 5);
        }
    for (int c = 0; c < 8; ++c)
        for (int n = 0; n < 8; ++n) {
            int32_t sum = 0;
            for (int k = 0; k < 8; ++k) sum += Basis(n, k) * rows[8 * k + c];
            out[8 * n + c] = Wrap(sum >> 8);
        }
    return out;
}

uint8_t Fix(int32_t t) { return t < 0 ? 0 : t >= 4096 ? 255 : static_cast<uint8_t>(t >> 4); }

std::vector<uint8_t> ModelPicture(const Model& model) {
    const bool grey = model.components.size() == 1;
    const int h0 = grey ? 1 : model.components[0].h, v0 = grey ? 1 : model.components[0].v;
    const int mcuWidth = 8 * h0, mcuHeight = 8 * v0;
    const int mcusPerRow = (model.width + mcuWidth - 1) / mcuWidth;
    const uint32_t stride = DibRowBytes24(static_cast<uint32_t>(model.width));
    std::vector<uint8_t> picture(40 + (model.height + 15) * stride, 0);
    DibHeader header = {40, model.width, model.height, 1, 24, 0, model.height * stride, 0, 0, 0, 0};
    memcpy(picture.data(), &header, sizeof header);

    std::vector<std::vector<std::array<int16_t, 64>>> samples(model.blocks.size());
    for (size_t c = 0; c < model.blocks.size(); ++c)
        for (const auto& block : model.blocks[c]) samples[c].push_back(ModelTransform(block));

    for (int y = 0; y < model.height; ++y)
        for (int x = 0; x < model.width; ++x) {
            const int mcu = (y / mcuHeight) * mcusPerRow + x / mcuWidth;
            const int row = y % mcuHeight, column = x % mcuWidth;
            const int lumaBlock = mcu * h0 * v0 + (row / 8) * h0 + column / 8;
            const int32_t luma = samples[0][lumaBlock][8 * (row % 8) + column % 8];
            uint8_t* pixel = &picture[40 + (model.height - 1 - y) * stride + 3 * x];
            if (grey) {
                const uint8_t value = static_cast<uint8_t>(luma < 0 ? 0 : luma > 255 ? 255 : luma);
                pixel[0] = pixel[1] = pixel[2] = value;
                continue;
            }
            const int chroma = 8 * (row / v0) + column / h0;
            const int32_t cb = samples[1][mcu][chroma], cr = samples[2][mcu][chroma];
            pixel[0] = Fix(16 * luma + 24 * cb);
            pixel[1] = Fix(16 * luma - 9 * cb - 12 * cr);
            pixel[2] = Fix(16 * luma + 20 * cr);
        }
    return picture;
}

// The source pattern of make_test_data.py.
void TestPattern(int x, int y, int w, int h, int rgb[3]) {
    const int fx = x * 160 / std::max(w - 1, 1), fy = y * 160 / std::max(h - 1, 1);
    const int texture = (x / 3 + y / 3) % 2 ? 24 : 0;
    rgb[0] = 40 + fx;
    rgb[1] = 40 + fy - texture / 2;
    rgb[2] = 200 - fx + texture;
}

TEST(JpegFiles, EveryFileDecodesExactlyAsTheModelSays) {
    for (const char* name : kFiles) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file = ReadFile(DataPath(name));
        ASSERT_GT(file.size(), 100u);
        const Decoded reference = DecodeBytes(file, JPEG_DECODE_REFERENCE);
        ASSERT_EQ(reference.result, JPEG_OK);
        const Model model = ParseAndDecode(file);
        const std::vector<uint8_t> expected = ModelPicture(model);
        ASSERT_EQ(reference.image.size(), expected.size());
        size_t differences = 0;
        for (size_t i = 0; i < expected.size(); ++i) differences += reference.image[i] != expected[i];
        EXPECT_EQ(differences, 0u);

        const Decoded fast = DecodeBytes(file, JPEG_DECODE_FAST);
        ASSERT_EQ(fast.result, JPEG_OK);
        EXPECT_TRUE(fast.image == reference.image);
    }
}

TEST(JpegFiles, EveryFileLooksLikeThePictureItWasMadeFrom) {
    for (const char* name : kFiles) {
        SCOPED_TRACE(name);
        const Decoded decoded = DecodeBytes(ReadFile(DataPath(name)));
        ASSERT_EQ(decoded.result, JPEG_OK);
        const int w = decoded.header.biWidth, h = decoded.header.biHeight;
        const bool grey = name[0] == 'g';
        double error[3] = {};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int rgb[3];
                TestPattern(x, y, w, h, rgb);
                const uint8_t* bgr = decoded.Pixel(x, y);
                for (int c = 0; c < 3; ++c) {
                    const int want = grey ? (rgb[0] + rgb[1] + rgb[2]) / 3 : rgb[c];
                    error[c] += std::abs(bgr[2 - c] - want);
                }
            }
        // The colour constants are coarse, so only gross faults (swapped
        // planes, flipped rows, misplaced blocks) go past this.
        for (int c = 0; c < 3; ++c) EXPECT_LT(error[c] / (w * h), 25.0) << "channel " << c;
    }
}

// MCU (column, row) of a picture is black, or equal in two pictures.
struct McuView {
    const Decoded& picture;
    int mcuWidth, mcuHeight;
    bool Black(int mx, int my) const { return Equal(nullptr, mx, my); }
    bool Equal(const Decoded* other, int mx, int my) const {
        const int w = picture.header.biWidth, h = picture.header.biHeight;
        for (int y = my * mcuHeight; y < std::min(h, (my + 1) * mcuHeight); ++y)
            for (int x = mx * mcuWidth; x < std::min(w, (mx + 1) * mcuWidth); ++x)
                for (int c = 0; c < 3; ++c)
                    if (picture.Pixel(x, y)[c] != (other ? other->Pixel(x, y)[c] : 0)) return false;
        return true;
    }
};

TEST(JpegFiles, CutFilesKeepWhatWasDecodedAndLeaveTheRestBlack) {
    for (const char* name : {"h2v2-37x29-q90.jpg", "grey-31x23-q90.jpg", "h2v2-48x32-rst1.jpg", "h1v2-20x20.jpg"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file = ReadFile(DataPath(name));
        const Decoded whole = DecodeBytes(file);
        ASSERT_EQ(whole.result, JPEG_OK);
        const Model model = ParseAndDecode(file);
        const bool grey = model.components.size() == 1;
        const McuView view{whole, grey ? 8 : 8 * model.components[0].h, grey ? 8 : 8 * model.components[0].v};
        const int columns = (model.width + view.mcuWidth - 1) / view.mcuWidth;
        const int rows = (model.height + view.mcuHeight - 1) / view.mcuHeight;

        for (size_t size = 0; size < file.size(); ++size) {
            const std::vector<uint8_t> cut(file.begin(), file.begin() + size);
            const Decoded decoded = DecodeBytes(cut);
            ASSERT_TRUE(decoded.result == JPEG_OK || decoded.result == JPEG_INVALID) << size;
            if (decoded.result != JPEG_OK) continue;
            const McuView part{decoded, view.mcuWidth, view.mcuHeight};
            // Up to the first MCU that differs everything matches. A status
            // is only that of an MCU's last symbol and a right-edge MCU's is
            // not looked at, so a few MCUs may still be decoded from the
            // zero padding; then all is black.
            int first = columns * rows;
            for (int i = 0; i < columns * rows && first == columns * rows; ++i)
                if (!part.Equal(&whole, i % columns, i / columns)) first = i;
            for (int i = first + 4; i < columns * rows; ++i)
                ASSERT_TRUE(part.Black(i % columns, i / columns)) << size << " mcu " << i << " first " << first;
        }
    }
}

TEST(JpegFiles, DamagedFilesDecodeToSomeResultAndBothModesAgree) {
    uint32_t seed = 12345;
    auto random = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (const char* name : kFiles) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file = ReadFile(DataPath(name));
        for (int trial = 0; trial < 60; ++trial) {
            std::vector<uint8_t> damaged = file;
            const int changes = 1 + random() % 4;
            for (int i = 0; i < changes; ++i) {
                const size_t at = random() % damaged.size();
                switch (random() % 4) {
                    case 0: damaged[at] ^= static_cast<uint8_t>(1 << (random() % 8)); break;
                    case 1: damaged[at] = 0xFF; break;
                    case 2: damaged[at] = static_cast<uint8_t>(random()); break;
                    default:
                        damaged.insert(damaged.begin() + at, {0xFF, static_cast<uint8_t>(0xD0 + random() % 10)});
                }
            }
            const Decoded reference = DecodeBytes(damaged, JPEG_DECODE_REFERENCE);
            const Decoded fast = DecodeBytes(damaged, JPEG_DECODE_FAST);
            ASSERT_GE(reference.result, JPEG_OK) << trial;
            ASSERT_LE(reference.result, JPEG_UNSUPPORTED) << trial;
            ASSERT_EQ(fast.result, reference.result) << trial;
            ASSERT_TRUE(fast.image == reference.image) << trial;
        }
    }
}

TEST(JpegFiles, FuzzFindingsDecodeAlikeInBothModes) {
    // Once made the vector kernels differ from the scalar ones.
    for (const char* name : {"fuzz-grey-16x16-kernels.jpg"}) {
        const std::vector<uint8_t> file = ReadFile(DataPath(name));
        ASSERT_FALSE(file.empty()) << name;
        const Decoded reference = DecodeBytes(file, JPEG_DECODE_REFERENCE);
        const Decoded fast = DecodeBytes(file, JPEG_DECODE_FAST);
        EXPECT_EQ(fast.result, reference.result) << name;
        EXPECT_TRUE(fast.image == reference.image) << name;
    }
}

}  // namespace
