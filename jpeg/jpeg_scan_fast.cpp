// The fast entropy path: one MCU at a time with a 64-bit bit buffer over the
// de-stuffed data and small lookup tables derived from the 64K arrays. It is
// taken only where it provably ends exactly where the step-by-step routines
// would: far from the end of the data (so no bit read can run out) and with
// the cursor on a data byte. Everywhere else the literal routines decode.
#include <cstring>

#include "jpeg/jpeg_internal.h"

// The per-symbol steps must stay in registers inside the MCU loop.
#if defined(__GNUC__)
#define FAST_INLINE inline __attribute__((always_inline))
#else
#define FAST_INLINE inline
#endif

namespace {

// Bits of the window that index the first-level table.
constexpr int kLookupBits = 10;
constexpr int kLookupSize = 1 << kLookupBits;

// Entry layout: bits 0-4 the bits to consume, bits 8-15 the symbol, bits
// 16-31 the extended value. Without a flag the entry holds the code and its
// value bits, both inside the first kLookupBits bits (most symbols of a
// photo). kValueFollows: the entry holds the code only; its value bits come
// next. kSlow: the windows under this prefix do not all give the same code (a
// code longer than kLookupBits, or a malformed table), so the 16-bit arrays
// answer; DC categories above 15 take this road too.
constexpr uint32_t kValueFollows = 1u << 5;
constexpr uint32_t kSlow = 1u << 6;

// Run-length positions past the block's end land on its last coefficient.
constexpr int kZigzagSpan = 64 + 16;

// The most raw bytes one MCU can consume: 6 blocks of at most 64 symbols of
// 31 bits (16 code + 15 value), every byte doubled by stuffing, plus the
// buffer's look-ahead. With this many bytes left no bit read can run out.
constexpr int32_t kFastMargin = 6 * 64 * 31 / 8 * 2 + 64;

struct FastTable {
    uint32_t entries[kLookupSize];
    const uint8_t* lengths;  // the literal arrays, for kSlow prefixes
    const uint8_t* symbols;
};

}  // namespace

struct JpegFastScan {
    FastTable dc[3];
    FastTable ac[3];
    uint16_t quant[3][kZigzagSpan];  // Q[zigzag[k]] for zigzag position k
    uint8_t zigzag[kZigzagSpan];     // natural position of zigzag position k; 63 from 63 on
};

namespace {

inline int16_t Wrap16(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

// The symbol's category: all of a DC symbol (above 15 is corrupt), the low nibble of an AC one.
inline int CategoryOf(int symbol, bool dc) { return dc ? symbol : symbol & 15; }

// The value of the `category` bits at the top of `bits` (EXTEND: a clear top
// bit means negative), in 16 bits like the literal reader; 0 for category 0.
FAST_INLINE int16_t ValueAtTop(uint64_t bits, int category) {
    const int shift = 63 - category;  // two shifts, so that category 0 yields no bits
    const uint64_t raw = (bits >> shift) >> 1;
    const uint64_t ones = (~uint64_t{0} >> shift) >> 1;
    const uint64_t negative = static_cast<uint64_t>(static_cast<int64_t>(~bits) >> 63) & ones;
    return static_cast<int16_t>(static_cast<uint16_t>(raw - negative));
}

// True when all windows that begin with `prefix` give the same length and symbol.
bool PrefixIsUniform(const uint8_t* lengths, const uint8_t* symbols, int prefix) {
    constexpr int span = 1 << (16 - kLookupBits);
    const int base = prefix * span;
    for (int i = 1; i < span; ++i)
        if (lengths[base + i] != lengths[base] || symbols[base + i] != symbols[base]) return false;
    return true;
}

void BuildTable(FastTable* table, const uint8_t* lengths, const uint8_t* symbols, bool dc) {
    table->lengths = lengths;
    table->symbols = symbols;
    for (int prefix = 0; prefix < kLookupSize; ++prefix) {
        const int window = prefix << (16 - kLookupBits);
        const int length = lengths[window];
        const int symbol = symbols[window];
        const int category = CategoryOf(symbol, dc);
        uint32_t entry = static_cast<uint32_t>(symbol) << 8;
        if (!PrefixIsUniform(lengths, symbols, prefix) || category > 15) {
            entry = kSlow;
        } else if (length + category <= kLookupBits) {
            const uint64_t afterCode = (static_cast<uint64_t>(prefix) << (64 - kLookupBits)) << length;
            const uint16_t value = static_cast<uint16_t>(ValueAtTop(afterCode, category));
            entry |= static_cast<uint32_t>(length + category) | static_cast<uint32_t>(value) << 16;
        } else {
            entry |= static_cast<uint32_t>(length) | kValueFollows;
        }
        table->entries[prefix] = entry;
    }
}

JpegFastScan* BuildFastScan(JpegDecoder* decoder) {
    const JpegOutputAllocator& work = decoder->setup.work;
    JpegFastScan* fast = static_cast<JpegFastScan*>(work.allocate(work.context, sizeof(JpegFastScan)));
    if (!fast) return nullptr;
    for (int k = 0; k < kZigzagSpan; ++k) fast->zigzag[k] = static_cast<uint8_t>(decoder->zigzag[k < 64 ? k : 64]);
    const int components = decoder->samplingMode == MODE_GREY ? 1 : 3;
    for (int c = 0; c < components; ++c) {
        const ScanBinding& binding = decoder->binding[c];
        BuildTable(&fast->dc[c], binding.dcLengths, binding.dcSymbols, true);
        BuildTable(&fast->ac[c], binding.acLengths, binding.acSymbols, false);
        for (int k = 0; k < kZigzagSpan; ++k) fast->quant[c][k] = binding.quant[fast->zigzag[k]];
    }
    return fast;
}

// The de-stuffed data as a bit stream: `bits` holds `available` bits at its
// top, `next` is the first raw byte not yet loaded. Only a 0x00 right after a
// 0xFF is stuffing; marker bytes inside an MCU are data, as in the literal reader.
struct BitReader {
    uint64_t bits;
    int available;
    const uint8_t* next;
};

inline bool HasByteFF(uint64_t word) {
    const uint64_t inverted = ~word;
    return ((inverted - 0x0101010101010101u) & ~inverted & 0x8080808080808080u) != 0;
}

inline uint64_t LoadBigEndian64(const uint8_t* at) {
    uint64_t word;
    std::memcpy(&word, at, 8);
    return __builtin_bswap64(word);
}

// Tops the buffer up to 56-63 bits. Without a 0xFF among the next eight
// bytes they are all data, and all of them go in at once: the bits of the
// bytes not yet counted land exactly where the next refill puts them again,
// so or-ing them twice changes nothing. No branch on the fill level: it would
// be mispredicted every few symbols.
FAST_INLINE void Refill(BitReader& reader) {
    const uint64_t ahead = LoadBigEndian64(reader.next);
    if (!HasByteFF(ahead)) {
        reader.bits |= ahead >> reader.available;
        reader.next += (63 - reader.available) >> 3;
        reader.available |= 56;
        return;
    }
    while (reader.available < 56) {  // stops at 63 at most: a 64-bit shift is never needed
        const uint32_t byte = *reader.next++;
        if (byte == 0xFF && *reader.next == 0x00) reader.next++;  // the stuffing after a 0xFF data byte
        reader.bits |= static_cast<uint64_t>(byte) << (56 - reader.available);
        reader.available += 8;
    }
}

FAST_INLINE void Consume(BitReader& reader, int count) {
    reader.bits <<= count;
    reader.available -= count;
}

// A symbol and its value the literal way: the 16-bit window in the 64K
// arrays. Returns the entry the first-level table would hold for it, or
// kSlow for a DC category above 15.
uint32_t DecodeSlow(BitReader& reader, const FastTable& table, bool dc) {
    const uint32_t window = static_cast<uint32_t>(reader.bits >> 48);
    Consume(reader, table.lengths[window]);
    const int symbol = table.symbols[window];
    const int category = CategoryOf(symbol, dc);
    if (category > 15) return kSlow;  // no DC difference has more than 15 bits
    const uint16_t value = static_cast<uint16_t>(ValueAtTop(reader.bits, category));
    Consume(reader, category);
    return static_cast<uint32_t>(symbol) << 8 | static_cast<uint32_t>(value) << 16;
}

// One symbol and its value, as an entry with nothing left to consume: symbol
// in bits 8-15, value in bits 16-31; kSlow for a DC category above 15. Needs
// 31 bits in the buffer and leaves at least that many: a code with its value
// from the table takes at most kLookupBits of the 56 a refill gives, and the
// other roads refill after themselves. So one refill serves two symbols.
FAST_INLINE uint32_t DecodeSymbol(BitReader& reader, const FastTable& table, bool dc) {
    uint32_t entry = table.entries[reader.bits >> (64 - kLookupBits)];
    if (!(entry & (kValueFollows | kSlow))) {
        Consume(reader, entry & 31);
        return entry;
    }
    if (entry & kSlow) {
        entry = DecodeSlow(reader, table, dc);
    } else {
        Consume(reader, entry & 31);
        const int category = CategoryOf((entry >> 8) & 0xFF, dc);
        const uint16_t value = static_cast<uint16_t>(ValueAtTop(reader.bits, category));
        Consume(reader, category);
        entry = (entry & 0xFF00) | static_cast<uint32_t>(value) << 16;
    }
    Refill(reader);
    return entry;
}

inline int16_t ValueOf(uint32_t entry) { return static_cast<int16_t>(static_cast<uint16_t>(entry >> 16)); }

// One AC symbol into the block at zigzag position k; false at the end of the block.
FAST_INLINE bool PlaceCoefficient(uint32_t entry, const JpegFastScan& fast, const uint16_t* quant, int16_t* block,
                                  int& k) {
    if (!(entry & 0xFF00)) return false;  // end of block: the rest stays zero
    k += (entry >> 12) & 15;              // the run; past 63 it lands on the last coefficient
    block[fast.zigzag[k]] = Wrap16(quant[k] * ValueOf(entry));
    return true;
}

// One block into `block` (natural order); false for a corrupt DC category.
FAST_INLINE bool DecodeBlockFast(BitReader& reader, const JpegFastScan& fast, int component, int16_t* predictor,
                                 int16_t* block) {
    std::memset(block, 0, 64 * sizeof(int16_t));
    const uint16_t* quant = fast.quant[component];
    Refill(reader);
    const uint32_t dc = DecodeSymbol(reader, fast.dc[component], true);
    if (dc == kSlow) return false;
    *predictor = Wrap16(*predictor + ValueOf(dc));
    block[0] = Wrap16(*predictor * quant[0]);

    const FastTable& ac = fast.ac[component];
    for (int k = 1; k < 64; ++k) {
        Refill(reader);
        if (!PlaceCoefficient(DecodeSymbol(reader, ac, false), fast, quant, block, k) || ++k >= 64) break;
        if (!PlaceCoefficient(DecodeSymbol(reader, ac, false), fast, quant, block, k)) break;
    }
    return true;
}

// Back from the reader's raw position over the bits it holds unread, to the
// literal cursor and bit offset.
void ReturnUnreadBits(const BitReader& reader, JpegDecoder* decoder) {
    const uint8_t* position = reader.next;
    const int partial = reader.available & 7;
    for (int bytes = (reader.available >> 3) + (partial ? 1 : 0); bytes > 0; --bytes) {
        // A 0x00 after a 0xFF was skipped with that data byte: step over both.
        if (position[-1] == 0x00 && position[-2] == 0xFF) position--;
        position--;
    }
    decoder->bytesLeft -= static_cast<int32_t>(position - decoder->cursor);
    decoder->cursor = position;
    decoder->bitOffset = static_cast<int16_t>(partial ? 8 - partial : 0);
}

}  // namespace

int DecodeMcuFast(JpegDecoder* decoder) {
    const uint8_t* cursor = decoder->cursor;
    // Near the end of the data a read may run out, and a cursor on a stuffed
    // 0x00 reads differently in the literal window: both go the literal way.
    if (decoder->bytesLeft < kFastMargin || (cursor[0] == 0x00 && cursor[-1] == 0xFF))
        return DecodeMcuReference(decoder);
    if (!decoder->fastScan) decoder->fastScan = BuildFastScan(decoder);
    if (!decoder->fastScan) return DecodeMcuReference(decoder);  // no memory for the tables: still exact
    const JpegFastScan& fast = *decoder->fastScan;

    BitReader reader = {0, 0, cursor};
    Refill(reader);
    Consume(reader, decoder->bitOffset);

    int16_t* predictors = decoder->dcPredictor;
    bool sound = true;
    if (decoder->samplingMode == MODE_GREY) {
        sound = DecodeBlockFast(reader, fast, 0, &predictors[0], decoder->lumaBlocks);
    } else {
        int h0 = 1, v0 = 1;
        LumaSampling(decoder->samplingMode, &h0, &v0);
        const int lumaBlocks = h0 * v0;
        for (int i = 0; i < lumaBlocks && sound; ++i)
            sound = DecodeBlockFast(reader, fast, 0, &predictors[0], decoder->lumaBlocks + 64 * i);
        sound = sound && DecodeBlockFast(reader, fast, 1, &predictors[1], decoder->cbBlock);
        sound = sound && DecodeBlockFast(reader, fast, 2, &predictors[2], decoder->crBlock);
    }
    if (!sound) return kMcuCorrupt;
    ReturnUnreadBits(reader, decoder);
    return kMcuGoOn;
}
