#include "jpeg_test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace jpegtest {

void BitWriter::Put(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
        pending_ = pending_ << 1 | ((bits >> i) & 1);
        if (++pendingCount_ == 8) {
            bytes.push_back(static_cast<uint8_t>(pending_));
            if (pending_ == 0xFF) bytes.push_back(0x00);
            pending_ = 0;
            pendingCount_ = 0;
        }
    }
}

int Category(int value) {
    int magnitude = value < 0 ? -value : value;
    int category = 0;
    while (magnitude) {
        category++;
        magnitude >>= 1;
    }
    return category;
}

void BitWriter::PutValue(int value) {
    const int category = Category(value);
    if (category == 0) return;
    const uint32_t bits = value > 0 ? static_cast<uint32_t>(value) : static_cast<uint32_t>(value + (1 << category) - 1);
    Put(bits, category);
}

void BitWriter::Flush() {
    while (pendingCount_ != 0) Put(1, 1);
}

const uint8_t kFlatDcCounts[16] = {0, 0, 0, 16};
const uint8_t kFlatAcCounts[16] = {0, 0, 0, 0, 0, 0, 0, 255};

std::vector<uint8_t> FlatDcSymbols() {
    std::vector<uint8_t> symbols;
    for (int i = 0; i < 16; ++i) symbols.push_back(static_cast<uint8_t>(i));
    return symbols;
}

std::vector<uint8_t> FlatAcSymbols() {
    std::vector<uint8_t> symbols;
    for (int i = 0; i < 255; ++i) symbols.push_back(static_cast<uint8_t>(i));
    return symbols;
}

void PutFlatBlock(BitWriter* bits, int dcDiff, std::initializer_list<std::pair<int, int>> ac, bool endOfBlock) {
    bits->Put(static_cast<uint32_t>(Category(dcDiff)), 4);
    bits->PutValue(dcDiff);
    for (const auto& [run, value] : ac) {
        bits->Put(static_cast<uint32_t>(run << 4 | Category(value)), 8);
        bits->PutValue(value);
    }
    if (endOfBlock) bits->Put(0x00, 8);
}

StreamBuilder& StreamBuilder::Raw(std::initializer_list<int> values) {
    for (int value : values) bytes.push_back(static_cast<uint8_t>(value));
    return *this;
}

StreamBuilder& StreamBuilder::Raw(const std::vector<uint8_t>& values) {
    bytes.insert(bytes.end(), values.begin(), values.end());
    return *this;
}

StreamBuilder& StreamBuilder::Segment(int code, const std::vector<uint8_t>& payload) {
    const size_t length = payload.size() + 2;
    Raw({0xFF, code, static_cast<int>(length >> 8), static_cast<int>(length & 0xFF)});
    return Raw(payload);
}

StreamBuilder& StreamBuilder::Dqt(int table, const std::vector<uint16_t>& zigzagValues, int precision) {
    std::vector<uint8_t> payload = {static_cast<uint8_t>(precision << 4 | table)};
    for (uint16_t value : zigzagValues) {
        if (precision) payload.push_back(static_cast<uint8_t>(value >> 8));
        payload.push_back(static_cast<uint8_t>(value));
    }
    return Segment(0xDB, payload);
}

std::vector<uint8_t> DhtPayload(int classAndDestination, std::vector<uint8_t> counts,
                                const std::vector<uint8_t>& symbols) {
    counts.resize(16, 0);
    std::vector<uint8_t> payload(1 + counts.size() + symbols.size());
    payload[0] = static_cast<uint8_t>(classAndDestination);
    std::copy(counts.begin(), counts.end(), payload.begin() + 1);
    std::copy(symbols.begin(), symbols.end(), payload.begin() + 1 + counts.size());
    return payload;
}

StreamBuilder& StreamBuilder::Dht(int classAndDestination, const uint8_t* counts, const std::vector<uint8_t>& symbols) {
    return Segment(0xC4, DhtPayload(classAndDestination, std::vector<uint8_t>(counts, counts + 16), symbols));
}

StreamBuilder& StreamBuilder::FlatTables(bool both) {
    for (int table = 0; table <= (both ? 1 : 0); ++table) {
        Dht(table, kFlatDcCounts, FlatDcSymbols());
        Dht(0x10 | table, kFlatAcCounts, FlatAcSymbols());
    }
    return *this;
}

StreamBuilder& StreamBuilder::Sof0(int width, int height, std::initializer_list<Component> components) {
    std::vector<uint8_t> payload = {8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                                    static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width),
                                    static_cast<uint8_t>(components.size())};
    for (const Component& c : components) {
        payload.push_back(static_cast<uint8_t>(c.id));
        payload.push_back(static_cast<uint8_t>(c.h << 4 | c.v));
        payload.push_back(static_cast<uint8_t>(c.tq));
    }
    return Segment(0xC0, payload);
}

StreamBuilder& StreamBuilder::Sos(std::initializer_list<ScanEntry> components) {
    std::vector<uint8_t> payload = {static_cast<uint8_t>(components.size())};
    for (const ScanEntry& c : components) {
        payload.push_back(static_cast<uint8_t>(c.selector));
        payload.push_back(static_cast<uint8_t>(c.tables));
    }
    payload.insert(payload.end(), {0, 63, 0});
    return Segment(0xDA, payload);
}

StreamBuilder& StreamBuilder::GreyHeaders(int width, int height, uint16_t q) {
    Soi().DqtFlat(0, q).FlatTables().Sof0(width, height, {{1, 1, 1, 0}});
    return Sos({{1, 0x00}});
}

StreamBuilder& StreamBuilder::ColourHeaders(int width, int height, int h0, int v0, uint16_t q) {
    Soi().DqtFlat(0, q).FlatTables().Sof0(width, height, {{1, h0, v0, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}});
    return Sos({{1, 0x00}, {2, 0x00}, {3, 0x00}});
}

namespace {

const uint8_t* lastOutputBlock = nullptr;  // the recorder finds the picture through it

void* CountingAllocate(void* context, size_t bytes) {
    CountingAllocator* counter = static_cast<CountingAllocator*>(context);
    if (counter->calls++ == counter->failAt) return nullptr;
    if (bytes > counter->largest) counter->largest = bytes;
    counter->live++;
    return calloc(1, bytes);
}

void CountingRelease(void* context, void* memory) {
    static_cast<CountingAllocator*>(context)->live--;
    free(memory);
}

struct ImageCopy {
    size_t bytes = 0;
    CountingAllocator counter;
};

void* CopyingAllocate(void* context, size_t bytes) {
    ImageCopy* copy = static_cast<ImageCopy*>(context);
    void* memory = CountingAllocate(&copy->counter, bytes);
    if (memory) copy->bytes = bytes;
    lastOutputBlock = static_cast<const uint8_t*>(memory);
    return memory;
}

void CopyingRelease(void* context, void* memory) { CountingRelease(&static_cast<ImageCopy*>(context)->counter, memory); }

// Runs one decode with an output allocator that keeps a copy of the image.
template <typename Run>
Decoded DecodeCopying(const std::vector<uint8_t>& file, Run run) {
    std::vector<uint8_t> padded(file);
    padded.resize(file.size() + kJpegInputPadding, 0);
    ImageCopy copy;
    const JpegOutputAllocator output = {CopyingAllocate, CopyingRelease, &copy};
    void* image = nullptr;
    Decoded decoded;
    decoded.result = run(padded.data(), static_cast<uint32_t>(file.size()), output, &image);
    if (decoded.result == JPEG_OK) {
        const uint8_t* bytes = static_cast<const uint8_t*>(image);
        decoded.image.assign(bytes, bytes + copy.bytes);
        memcpy(&decoded.header, bytes, sizeof decoded.header);
        free(image);
    } else if (image != nullptr || copy.counter.live != 0) {
        decoded.result = static_cast<JpegResult>(-1);  // a failure must leave no image behind
    }
    lastOutputBlock = nullptr;
    return decoded;
}

void IdentityTransform(int16_t*) {}

constexpr int16_t kNoChroma = INT16_MIN;  // a grey store: only slot 0 is read

// Works out the picture position from the address: rows run bottom-up
// from the block's header.
void Record(uint8_t* topLeft, int columns, int rows, const int16_t* luma, int16_t cb, int16_t cr) {
    if (!KernelRecorder::calls) return;
    DibHeader header;
    memcpy(&header, lastOutputBlock, sizeof header);
    const int32_t stride = static_cast<int32_t>(DibRowBytes24(static_cast<uint32_t>(header.biWidth)));
    const uint8_t* rowZero = lastOutputBlock + kDibHeaderSize + static_cast<ptrdiff_t>(header.biHeight - 1) * stride;
    const ptrdiff_t offset = rowZero - topLeft;
    const int y = static_cast<int>((offset + stride - 1) / stride);
    const int x = static_cast<int>((topLeft - (rowZero - static_cast<ptrdiff_t>(y) * stride)) / 3);
    const bool grey = cb == kNoChroma;
    StoreCall call = {x, y, columns, rows, {luma[0], 0, 0, 0}, grey ? int16_t{0} : cb, cr};
    if (!grey)
        for (int i = 1; i < 4; ++i) call.luma[i] = luma[64 * i];
    KernelRecorder::calls->push_back(call);
}

void RecordGrey(uint8_t* topLeft, int32_t, const int16_t* block, int columns, int rows) {
    Record(topLeft, columns, rows, block, kNoChroma, 0);
}

void RecordColour(uint8_t* topLeft, int32_t, const int16_t* luma, const int16_t* cb, const int16_t* cr, SamplingMode,
                  int columns, int rows) {
    Record(topLeft, columns, rows, luma, cb[0], cr[0]);
}

}  // namespace

JpegOutputAllocator CountingAllocator::Interface() { return {CountingAllocate, CountingRelease, this}; }

const uint8_t* Decoded::Pixel(int x, int y) const {
    const size_t stride = DibRowBytes24(static_cast<uint32_t>(header.biWidth));
    return image.data() + kDibHeaderSize + static_cast<size_t>(header.biHeight - 1 - y) * stride + 3 * x;
}

Decoded DecodeWithSetup(const std::vector<uint8_t>& file, JpegDecodeSetup setup) {
    return DecodeCopying(file, [&](const uint8_t* data, uint32_t size, const JpegOutputAllocator& output, void** image) {
        setup.output = output;
        return DecodeJpegWithSetup(data, size, setup, image);
    });
}

Decoded DecodeBytes(const std::vector<uint8_t>& file, JpegDecodeMode mode) {
    return DecodeCopying(file, [&](const uint8_t* data, uint32_t size, const JpegOutputAllocator& output, void** image) {
        return DecodeJpegMemory(data, size, output, image, mode);
    });
}

std::vector<StoreCall>* KernelRecorder::calls = nullptr;
const JpegPixelKernels KernelRecorder::kernels = {IdentityTransform, RecordGrey, RecordColour};

DecoderOver::DecoderOver(std::vector<uint8_t> data, int start) : bytes(std::move(data)) {
    const size_t size = bytes.size();
    bytes.resize(size + kJpegInputPadding, 0);
    memset(&decoder, 0, sizeof decoder);
    decoder.fileStart = bytes.data();
    decoder.cursor = bytes.data() + start;
    decoder.bytesLeft = static_cast<int32_t>(size) - start;
    decoder.zigzag = kZigzagOrder;
    decoder.setup.work = work.Interface();
    decoder.setup.kernels = &kScalarPixelKernels;
    decoder.setup.decodeMcu = DecodeMcuReference;
}

DecoderOver::~DecoderOver() { FreeDecoder(&decoder); }

void DecoderOver::BindFlat(uint16_t q) {
    // Read the flat tables' DHT segments from a separate buffer.
    StreamBuilder tables;
    tables.FlatTables();
    const uint8_t* cursor = decoder.cursor;
    const int32_t bytesLeft = decoder.bytesLeft;
    for (size_t at = 0; at < tables.bytes.size();) {
        const int length = tables.bytes[at + 2] << 8 | tables.bytes[at + 3];
        decoder.cursor = tables.bytes.data() + at + 4;
        decoder.bytesLeft = length - 2;
        ReadHuffmanTables(&decoder, length - 2);
        at += 2 + length;
    }
    decoder.cursor = cursor;
    decoder.bytesLeft = bytesLeft;
    for (int t = 0; t < 4; ++t)
        for (int k = 0; k < 64; ++k) decoder.quantTables[t][k] = q;
    const HuffmanLookup& dc = decoder.huffmanTables[0];
    const HuffmanLookup& ac = decoder.huffmanTables[4];
    for (int i = 0; i < 3; ++i)
        decoder.binding[i] = {dc.lengths, dc.symbols, ac.lengths, ac.symbols, decoder.quantTables[0]};
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string DataPath(const std::string& name) { return std::string(KESTROVA_JPEG_TEST_DATA) + "/" + name; }

}  // namespace jpegtest
