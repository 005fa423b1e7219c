// The entropy-coded data of the first scan: the bit reader, Huffman and
// value decoding, blocks and MCUs, restart and end markers between MCUs, and
// the walk over the MCU grid into the output picture.
#include <cstring>

#include "jpeg/jpeg_internal.h"
#include "base/dib_image.h"

namespace {

inline int16_t Wrap16(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

// Once the data has run out bytesLeft only ever counts down; only its sign
// matters, so it stops at this floor instead of wrapping.
constexpr int32_t kExhaustedFloor = -(1 << 30);

// Moves past one byte of the file; false (and no move) once none are left.
inline bool TakeByte(JpegDecoder* decoder) {
    if (decoder->bytesLeft <= 0) {
        if (decoder->bytesLeft > kExhaustedFloor) decoder->bytesLeft--;
        return false;
    }
    decoder->bytesLeft--;
    decoder->cursor++;
    return true;
}

// The value bits of category s (1-15): the extended signed value.
int ReadValueBits(JpegDecoder* decoder, int category, int16_t* value) {
    const uint16_t window = PeekBits16(decoder);
    decoder->bitsToSkip = static_cast<int16_t>(category);
    const int status = SkipBits(decoder);
    uint16_t bits = static_cast<uint16_t>(window >> (16 - category));
    if (!(bits & (1u << (category - 1)))) bits = static_cast<uint16_t>(bits - (1u << category) + 1);
    *value = static_cast<int16_t>(bits);
    return status;
}

int LumaBlocksPerMcu(SamplingMode mode) {
    switch (mode) {
        case MODE_H2V1:
        case MODE_H1V2: return 2;
        case MODE_H2V2: return 4;
        default: return 1;
    }
}

// Inverse transform of the MCU's decoded blocks, then the pixels inside the
// picture: columns x rows from the MCU's top-left pixel.
void ReconstructMcu(JpegDecoder* decoder, uint8_t* topLeft, int columns, int rows) {
    const JpegPixelKernels& kernels = *decoder->setup.kernels;
    const int lumaBlocks = LumaBlocksPerMcu(decoder->samplingMode);
    for (int i = 0; i < lumaBlocks; ++i) kernels.inverseDct8x8(decoder->lumaBlocks + 64 * i);
    if (decoder->samplingMode == MODE_GREY) {
        kernels.storeGreyBlock(topLeft, decoder->stride, decoder->lumaBlocks, columns, rows);
        return;
    }
    kernels.inverseDct8x8(decoder->cbBlock);
    kernels.inverseDct8x8(decoder->crBlock);
    kernels.storeColourMcu(topLeft, decoder->stride, decoder->lumaBlocks, decoder->cbBlock, decoder->crBlock,
                           decoder->samplingMode, columns, rows);
}

// The MCU at 1/2, 1/4 or 1/8: its luminance blocks reduced side by side into
// one plane, each chroma block reduced only as far as that plane's size (a
// chroma sample covers h0 x v0 luminance samples), so that the store sees a
// 1x1-sampled block of at most 8 x 8 pixels and converts colour exactly as
// at full size.
void ReconstructReducedMcu(JpegDecoder* decoder, uint8_t* topLeft, int columns, int rows) {
    const JpegPixelKernels& kernels = *decoder->setup.kernels;
    const int size = 8 >> decoder->setup.scaleShift;
    // Zeros where the MCU has no samples: the vector stores read whole rows.
    int16_t luma[64] = {}, cb[64] = {}, cr[64] = {};
    if (decoder->samplingMode == MODE_GREY) {
        kernels.inverseDctReduced(decoder->lumaBlocks, size, size, luma, 8);
        kernels.storeGreyBlock(topLeft, decoder->stride, luma, columns, rows);
        return;
    }
    int h0 = 1, v0 = 1;
    LumaSampling(decoder->samplingMode, &h0, &v0);
    for (int by = 0; by < v0; ++by)
        for (int bx = 0; bx < h0; ++bx)
            kernels.inverseDctReduced(decoder->lumaBlocks + 64 * (by * h0 + bx), size, size, luma + 8 * size * by + size * bx,
                              8);
    const int16_t* cbPlane = cb;
    const int16_t* crPlane = cr;
    if (size * h0 == 8 && size * v0 == 8) {
        // Chroma at its own full size: the full-size transform itself.
        kernels.inverseDct8x8(decoder->cbBlock);
        kernels.inverseDct8x8(decoder->crBlock);
        cbPlane = decoder->cbBlock;
        crPlane = decoder->crBlock;
    } else {
        kernels.inverseDctReduced(decoder->cbBlock, size * h0, size * v0, cb, 8);
        kernels.inverseDctReduced(decoder->crBlock, size * h0, size * v0, cr, 8);
    }
    kernels.storeColourMcu(topLeft, decoder->stride, luma, cbPlane, crPlane, MODE_H1V1, columns, rows);
}

struct McuGrid {
    int mcuWidth, mcuHeight;
    int fullColumns;  // MCUs per row written whole
    int fullRows;
    int edgeColumns;  // e: width of the right-edge MCU, 0 when there is none
    int edgeRows;     // h: height of the bottom row, 0 when there is none
};

McuGrid LayOutGrid(const JpegDecoder* decoder) {
    McuGrid grid;
    const bool grey = decoder->samplingMode == MODE_GREY;
    const FrameComponent& luma = decoder->frameComponents[0];
    grid.mcuWidth = grey ? 8 : 8 * luma.horizontal;
    grid.mcuHeight = grey ? 8 : 8 * luma.vertical;
    grid.fullColumns = decoder->width / grid.mcuWidth;
    grid.fullRows = decoder->height / grid.mcuHeight;
    grid.edgeColumns = decoder->width % grid.mcuWidth;
    grid.edgeRows = decoder->height % grid.mcuHeight;
    return grid;
}

// Decodes the MCU at grid position (column, row) and writes its columns x rows
// pixels (full-size counts; at 1/k each output pixel stands for k x k of
// them, the last column and row for what is left). Returns the MCU's status.
int DecodeAndStoreMcu(JpegDecoder* decoder, const McuGrid& grid, int column, int row, int columns, int rows) {
    const int status = decoder->setup.decodeMcu(decoder);
    if (status == kMcuCorrupt) return status;
    const int shift = decoder->setup.scaleShift, round = (1 << shift) - 1;
    const int32_t topRow = row * (grid.mcuHeight >> shift);
    uint8_t* topLeft = decoder->image + kDibHeaderSize +
                       static_cast<size_t>(decoder->outputHeight - 1 - topRow) * static_cast<size_t>(decoder->stride) +
                       static_cast<size_t>(3) * column * (grid.mcuWidth >> shift);
    if (shift == 0)
        ReconstructMcu(decoder, topLeft, columns, rows);
    else
        ReconstructReducedMcu(decoder, topLeft, (columns + round) >> shift, (rows + round) >> shift);
    return status;
}

// One row of MCUs, each `rows` pixels high. Returns kMcuGoOn to go on to the
// next row, kMcuDataEnd to stop decoding, kMcuCorrupt to refuse the scan.
int WalkMcuRow(JpegDecoder* decoder, const McuGrid& grid, int row, int rows) {
    for (int column = 0; column < grid.fullColumns; ++column) {
        const int status = DecodeAndStoreMcu(decoder, grid, column, row, grid.mcuWidth, rows);
        if (status != kMcuGoOn) return status;
        if (CheckMcuEnd(decoder)) return kMcuDataEnd;
    }
    if (grid.edgeColumns > 0) {
        // Only the marker test follows a right-edge MCU, not its status.
        const int status = DecodeAndStoreMcu(decoder, grid, grid.fullColumns, row, grid.edgeColumns, rows);
        if (status == kMcuCorrupt) return status;
        if (CheckMcuEnd(decoder)) return kMcuDataEnd;
    }
    return kMcuGoOn;
}

JpegResult WalkMcuGrid(JpegDecoder* decoder) {
    const McuGrid grid = LayOutGrid(decoder);
    int status = kMcuGoOn;
    for (int row = 0; row < grid.fullRows && status == kMcuGoOn; ++row)
        status = WalkMcuRow(decoder, grid, row, grid.mcuHeight);
    if (grid.edgeRows > 0 && status == kMcuGoOn) status = WalkMcuRow(decoder, grid, grid.fullRows, grid.edgeRows);
    return status == kMcuCorrupt ? JPEG_INVALID : JPEG_OK;
}

}  // namespace

uint16_t PeekBits16(const JpegDecoder* decoder) {
    // A 0x00 after a 0xFF data byte is stuffing, never data.
    const uint8_t* b = decoder->cursor;
    int i = 0;
    uint32_t first = b[0];
    if (first == 0x00 && b[-1] == 0xFF) {
        first = b[1];
        i = 1;
    }
    i++;
    uint32_t second = b[i];
    if (second == 0x00 && b[i - 1] == 0xFF) second = b[++i];
    uint32_t window = first << 8 | second;
    i++;
    if (decoder->bitOffset != 0) {
        uint32_t third = b[i];
        if (third == 0x00 && b[i - 1] == 0xFF) third = b[i + 1];
        window = (window << decoder->bitOffset) + (third >> (8 - decoder->bitOffset));
    }
    return static_cast<uint16_t>(window);
}

int SkipBits(JpegDecoder* decoder) {
    const int total = decoder->bitOffset + decoder->bitsToSkip;
    for (int bytes = total >> 3; bytes > 0; --bytes) {
        if (decoder->cursor[0] == 0xFF && decoder->cursor[1] == 0x00 && !TakeByte(decoder)) return 1;
        if (!TakeByte(decoder)) return 1;  // the data ran out: cursor and bitOffset stay
    }
    decoder->bitOffset = static_cast<int16_t>(total & 7);
    return 0;
}

int DecodeDcDiff(JpegDecoder* decoder, int component) {
    const ScanBinding& tables = decoder->binding[component];
    const uint16_t window = PeekBits16(decoder);
    decoder->bitsToSkip = tables.dcLengths[window];
    const int category = tables.dcSymbols[window];
    SkipBits(decoder);
    if (category > 15) return kMcuCorrupt;  // no DC difference has more than 15 bits
    decoder->dcDiff = 0;
    if (category != 0) ReadValueBits(decoder, category, &decoder->dcDiff);
    return kMcuGoOn;
}

int DecodeAcSymbol(JpegDecoder* decoder, int component) {
    const ScanBinding& tables = decoder->binding[component];
    const uint16_t window = PeekBits16(decoder);
    decoder->bitsToSkip = tables.acLengths[window];
    const int symbol = tables.acSymbols[window];
    const int status = SkipBits(decoder);
    decoder->acRun = static_cast<int16_t>(symbol >> 4);
    const int category = symbol & 15;
    decoder->acValue = 0;
    if (category == 0) return status;
    return ReadValueBits(decoder, category, &decoder->acValue);
}

int DecodeBlock(JpegDecoder* decoder, int component, int16_t* block) {
    const uint16_t* quant = decoder->binding[component].quant;
    const uint16_t* zigzag = decoder->zigzag;
    int status = DecodeDcDiff(decoder, component);
    if (status == kMcuCorrupt) return status;
    decoder->dcPredictor[component] = Wrap16(decoder->dcPredictor[component] + decoder->dcDiff);
    block[0] = Wrap16(decoder->dcPredictor[component] * quant[0]);

    for (int k = 1; k < 64;) {
        status = DecodeAcSymbol(decoder, component);
        if (decoder->acRun == 0 && decoder->acValue == 0) {  // end of block
            for (; k < 64; ++k) block[zigzag[k]] = 0;
            break;
        }
        for (int run = decoder->acRun; run > 0 && k < 64; --run) block[zigzag[k++]] = 0;
        // A run that reached k = 64 lands on zigzag[64] = 63.
        block[zigzag[k]] = Wrap16(quant[zigzag[k]] * decoder->acValue);
        k++;
    }
    return status;
}

int DecodeMcuReference(JpegDecoder* decoder) {
    if (decoder->samplingMode == MODE_GREY) return DecodeBlock(decoder, 0, decoder->lumaBlocks);
    const int lumaBlocks = LumaBlocksPerMcu(decoder->samplingMode);
    for (int i = 0; i < lumaBlocks; ++i)
        if (DecodeBlock(decoder, 0, decoder->lumaBlocks + 64 * i) == kMcuCorrupt) return kMcuCorrupt;
    if (DecodeBlock(decoder, 1, decoder->cbBlock) == kMcuCorrupt) return kMcuCorrupt;
    return DecodeBlock(decoder, 2, decoder->crBlock);  // the MCU's status is its Cr block's
}

int CheckMcuEnd(JpegDecoder* decoder) {
    const uint8_t* cursor = decoder->cursor;
    if (cursor[0] == 0xFF && cursor[1] == 0x00 && cursor[2] == 0xFF) {
        // A stuffed 0xFF data byte right before a marker: its bits are padding.
        decoder->cursor += 2;
        decoder->bytesLeft -= 2;
        if (decoder->bytesLeft < 0) return 1;
        decoder->bitOffset = 0;
    }
    const uint8_t* next = decoder->bitOffset == 0 ? decoder->cursor : decoder->cursor + 1;
    if (next[0] != 0xFF) return 0;
    const uint8_t code = next[1];
    if (code >= 0xD0 && code <= 0xD7) {  // RST0-RST7, whatever their order
        decoder->cursor += 2;
        decoder->bytesLeft -= 2;
        if (decoder->bytesLeft < 0) return 1;
        if (decoder->bitOffset != 0) {
            decoder->cursor += 1;
            decoder->bytesLeft -= 1;
        }
        ResetPredictors(decoder, decoder->binding[0].quant);
        decoder->bitOffset = 0;
        return 0;
    }
    if (code != 0xD9) return 0;
    if (decoder->bitOffset != 0) {
        // Encoders pad with ones, and every MCU's bits hold a zero: unread
        // bits with a zero among them are the next MCU, not padding.
        const uint8_t unread = static_cast<uint8_t>(0xFFu >> decoder->bitOffset);
        if ((decoder->cursor[0] & unread) != unread) return 0;
    }
    return 1;  // end of image
}

JpegResult DecodeScan(JpegDecoder* decoder, void** image) {
    const int shift = decoder->setup.scaleShift, round = (1 << shift) - 1;
    const uint32_t width = (decoder->width + round) >> shift;
    decoder->outputHeight = static_cast<uint16_t>((decoder->height + round) >> shift);
    const uint32_t stride = DibRowBytes24(width);
    const uint64_t bytes = kDibHeaderSize + (static_cast<uint64_t>(decoder->outputHeight) + 15) * stride;
    if (bytes > 0xFFFFFFFFu || bytes > SIZE_MAX) return JPEG_NO_MEMORY;  // no block that big

    const JpegOutputAllocator& output = decoder->setup.output;
    uint8_t* picture = static_cast<uint8_t*>(output.allocate(output.context, static_cast<size_t>(bytes)));
    if (!picture) return JPEG_NO_MEMORY;

    DibHeader header;
    memset(&header, 0, sizeof header);
    header.biSize = kDibHeaderSize;
    header.biWidth = static_cast<int32_t>(width);
    header.biHeight = decoder->outputHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = decoder->outputHeight * stride;
    memcpy(picture, &header, sizeof header);

    decoder->stride = static_cast<int32_t>(stride);
    decoder->image = picture;
    const JpegResult result = WalkMcuGrid(decoder);
    decoder->image = nullptr;
    if (result != JPEG_OK) {
        output.release(output.context, picture);
        return result;
    }
    *image = picture;
    return JPEG_OK;
}
