// The file image: the search for the start of image, the marker walk, and the
// frame, table and scan header segments.
#include <cstdlib>
#include <cstring>

#include "jpeg/jpeg_internal.h"

const uint16_t kZigzagOrder[72] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48, 41, 34,
    27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63,
};

namespace {

// Every reader below stays inside the file block and its padding: a decoded
// segment is entered only with L <= bytesLeft, the frame and scan headers
// read at most 15 bytes, and the table readers never go past their segment.
uint8_t ReadByte(JpegDecoder* decoder) {
    decoder->bytesLeft--;
    return *decoder->cursor++;
}

uint16_t ReadWord(JpegDecoder* decoder) {
    const uint16_t high = ReadByte(decoder);
    return static_cast<uint16_t>(high << 8 | ReadByte(decoder));
}

void* AllocateWork(void*, size_t bytes) { return calloc(1, bytes); }
void ReleaseWork(void*, void* memory) { free(memory); }

void ReleaseHuffmanSlot(JpegDecoder* decoder, int slot) {
    HuffmanLookup& table = decoder->huffmanTables[slot];
    const JpegOutputAllocator& work = decoder->setup.work;
    if (table.lengths) work.release(work.context, table.lengths);
    if (table.symbols) work.release(work.context, table.symbols);
    table.lengths = nullptr;
    table.symbols = nullptr;
}

// Leading bytes before the start of image are tolerated; the SOI must be
// followed at once by the next marker's 0xFF.
JpegResult FindStartOfImage(JpegDecoder* decoder) {
    for (;;) {
        if (*decoder->cursor != 0xFF) {
            decoder->cursor++;
            if (--decoder->bytesLeft <= 0) return JPEG_INVALID;  // no SOI in the file
            continue;
        }
        decoder->marker = static_cast<uint16_t>(0xFF00 | decoder->cursor[1]);
        decoder->cursor += 2;
        decoder->bytesLeft -= 2;
        if (decoder->marker == 0xFFD9) return JPEG_INVALID;  // end of image before its start
        if (decoder->bytesLeft <= 0) return JPEG_INVALID;    // nothing after the marker
        if (decoder->marker != 0xFFD8) continue;
        if (*decoder->cursor != 0xFF) return JPEG_INVALID;  // SOI not followed by a marker
        return JPEG_OK;
    }
}

JpegResult AllocateMcuBuffers(JpegDecoder* decoder) {
    const JpegOutputAllocator& work = decoder->setup.work;
    decoder->lumaBlocks = static_cast<int16_t*>(work.allocate(work.context, kLumaBufferBytes));
    if (!decoder->lumaBlocks) return JPEG_NO_MEMORY;
    decoder->cbBlock = static_cast<int16_t*>(work.allocate(work.context, kChromaBufferBytes));
    if (!decoder->cbBlock) return JPEG_NO_MEMORY;
    decoder->crBlock = static_cast<int16_t*>(work.allocate(work.context, kChromaBufferBytes));
    if (!decoder->crBlock) return JPEG_NO_MEMORY;
    return JPEG_OK;
}

// Reads L after the marker; a decoded segment needs L <= the bytes after its
// length field (two more than it uses). *length becomes L - 2.
JpegResult ReadDecodedLength(JpegDecoder* decoder, int32_t* length) {
    const int32_t declared = ReadWord(decoder);
    if (declared > decoder->bytesLeft) return JPEG_INVALID;  // segment runs past the file
    *length = declared - 2;
    return JPEG_OK;
}

// Moves past a segment this decoder does not read: L bytes from its length field.
JpegResult SkipSegment(JpegDecoder* decoder) {
    const int32_t declared = decoder->cursor[0] << 8 | decoder->cursor[1];
    if (declared > decoder->bytesLeft) return JPEG_INVALID;  // segment runs past the file
    decoder->cursor += declared;
    decoder->bytesLeft -= declared;
    return JPEG_OK;
}

// Lays out the 2^(16 - len) windows that begin with each code, codes
// assigned as in the canonical order (shortest first, counting up).
void FillHuffmanLookup(HuffmanLookup* table, const uint8_t* counts, const uint8_t* symbols) {
    uint8_t codeSize[257];
    uint16_t code[257];
    int n = 0;
    for (int length = 1; length <= 16; ++length)
        for (int i = 0; i < counts[length - 1]; ++i) codeSize[n++] = static_cast<uint8_t>(length);
    codeSize[n] = 0;

    uint32_t next = 0;
    int size = codeSize[0];
    for (int k = 0; codeSize[k] != 0;) {
        while (codeSize[k] == size) code[k++] = static_cast<uint16_t>(next++);
        next <<= 1;
        size++;
    }

    for (int k = 0; k < n; ++k) {
        const int length = codeSize[k];
        // Over-full counts wrap here; base stays a multiple of the span, so
        // the fill never leaves the array.
        const uint16_t base = static_cast<uint16_t>(code[k] << (16 - length));
        const size_t span = size_t{1} << (16 - length);
        memset(table->lengths + base, length, span);
        memset(table->symbols + base, symbols[k], span);
    }
}

SamplingMode ChooseSamplingMode(const JpegDecoder* decoder) {
    if (decoder->componentCount == 1) return MODE_GREY;
    if (decoder->componentCount != 3) return MODE_UNSUPPORTED;
    const FrameComponent* c = decoder->frameComponents;
    if (c[1].horizontal != 1 || c[1].vertical != 1 || c[2].horizontal != 1 || c[2].vertical != 1)
        return MODE_UNSUPPORTED;
    if (c[0].horizontal == 1 && c[0].vertical == 1) return MODE_H1V1;
    if (c[0].horizontal == 2 && c[0].vertical == 1) return MODE_H2V1;
    if (c[0].horizontal == 1 && c[0].vertical == 2) return MODE_H1V2;
    if (c[0].horizontal == 2 && c[0].vertical == 2) return MODE_H2V2;
    return MODE_UNSUPPORTED;
}

// Scan component i takes the tables its scan record names and the
// quantisation table of frame component i. Every table the decode will use
// must exist: the scan must list the components the mode decodes, and each
// of their Huffman and quantisation tables must have been read.
JpegResult BindScanComponents(JpegDecoder* decoder) {
    const int used = decoder->samplingMode == MODE_GREY ? 1 : 3;
    if (decoder->scanComponentCount < used) return JPEG_INVALID;  // scan lacks a component
    for (int i = 0; i < used; ++i) {
        const ScanComponent& scan = decoder->scanComponents[i];
        if (scan.dcSlot > 3 || scan.acSlot > 7) return JPEG_INVALID;  // no such table
        const HuffmanLookup& dc = decoder->huffmanTables[scan.dcSlot];
        const HuffmanLookup& ac = decoder->huffmanTables[scan.acSlot];
        if (!dc.lengths || !ac.lengths) return JPEG_INVALID;  // Huffman table never defined
        const int quant = decoder->frameComponents[i].quantTable;
        if (quant > 3 || !(decoder->quantDefined & (1 << quant))) return JPEG_INVALID;  // quantiser never defined
        decoder->binding[i] = {dc.lengths, dc.symbols, ac.lengths, ac.symbols, decoder->quantTables[quant]};
    }
    return JPEG_OK;
}

JpegResult DecodeScanSegment(JpegDecoder* decoder, void** image) {
    int32_t length = 0;
    JpegResult result = ReadDecodedLength(decoder, &length);
    if (result == JPEG_OK) result = ReadScanHeader(decoder);
    if (result != JPEG_OK) return result;
    decoder->samplingMode = ChooseSamplingMode(decoder);
    if (decoder->samplingMode == MODE_UNSUPPORTED) return JPEG_INVALID;  // not grey nor one of the four samplings
    result = BindScanComponents(decoder);
    if (result != JPEG_OK) return result;
    return DecodeScan(decoder, image);
}

// Acts on one marker; JPEG_OK goes on to the next one.
JpegResult ActOnMarker(JpegDecoder* decoder) {
    const uint16_t code = decoder->marker;
    int32_t length = 0;
    JpegResult result = JPEG_OK;
    if (code == 0xFFC0) {
        result = ReadDecodedLength(decoder, &length);
        if (result == JPEG_OK) result = ReadFrameHeader(decoder);
    } else if (code == 0xFFC4) {
        result = ReadDecodedLength(decoder, &length);
        if (result == JPEG_OK) result = ReadHuffmanTables(decoder, length);
    } else if (code == 0xFFDB) {
        result = ReadDecodedLength(decoder, &length);
        if (result == JPEG_OK) result = ReadQuantTables(decoder, length);
    } else if (code >= 0xFFC1 && code <= 0xFFCF && code != 0xFFC4 && code != 0xFFC8) {
        result = JPEG_UNSUPPORTED;  // extended, progressive, lossless, hierarchical or arithmetic
    } else if (code == 0xFFC8 || (code >= 0xFFDC && code <= 0xFFFE)) {
        result = SkipSegment(decoder);
    }
    // SOI again, RSTn, codes below 0xFFC0 and 0xFFFF carry no segment.
    return result;
}

// From the first marker after the SOI to the end of the first scan. The
// result stays JPEG_INVALID unless a scan is decoded. With headersOnly the
// walk ends at the first frame header, JPEG_OK once it is read.
JpegResult WalkMarkers(JpegDecoder* decoder, void** image) {
    for (;;) {
        while (*decoder->cursor != 0xFF) {
            decoder->cursor++;
            if (--decoder->bytesLeft < 0) return JPEG_INVALID;  // ran out looking for a marker
        }
        decoder->cursor++;
        if (--decoder->bytesLeft < 0) return JPEG_INVALID;
        decoder->marker = static_cast<uint16_t>(0xFF00 | *decoder->cursor++);
        if (--decoder->bytesLeft < 0) return JPEG_INVALID;  // marker cut by the end of the file

        if (decoder->marker == 0xFFDA && decoder->headersOnly) return JPEG_INVALID;  // a scan before any frame
        if (decoder->marker == 0xFFDA) return DecodeScanSegment(decoder, image);
        if (decoder->marker == 0xFFD9) return JPEG_INVALID;  // end of image before any scan
        const JpegResult result = ActOnMarker(decoder);
        if (result != JPEG_OK) return result;
        if (decoder->marker == 0xFFC0 && decoder->headersOnly) return JPEG_OK;
    }
}

}  // namespace

void ResetPredictors(JpegDecoder* decoder, const uint16_t* lumaQuant) {
    decoder->dcPredictor[0] = static_cast<int16_t>(lumaQuant[0] == 0 ? 1024 : 1024 / lumaQuant[0]);
    decoder->dcPredictor[1] = 0;
    decoder->dcPredictor[2] = 0;
}

JpegResult ReadFrameHeader(JpegDecoder* decoder) {
    decoder->precision = ReadByte(decoder);
    decoder->height = ReadWord(decoder);
    decoder->width = ReadWord(decoder);
    decoder->componentCount = ReadByte(decoder);
    if (decoder->componentCount > 3) return JPEG_INVALID;  // the record holds three components
    for (int i = 0; i < decoder->componentCount; ++i) {
        FrameComponent& component = decoder->frameComponents[i];
        component.identifier = ReadByte(decoder);
        const uint8_t sampling = ReadByte(decoder);
        component.horizontal = sampling >> 4;
        component.vertical = sampling & 15;
        component.quantTable = ReadByte(decoder);
    }
    return JPEG_OK;
}

JpegResult ReadHuffmanTables(JpegDecoder* decoder, int32_t length) {
    if (length < 0) return JPEG_INVALID;  // declared length below 2
    while (length != 0) {
        if (length < 17) return JPEG_INVALID;  // table header cut by the segment's end
        const uint8_t classAndDestination = ReadByte(decoder);
        int slot;
        if (classAndDestination <= 3)
            slot = classAndDestination;
        else if (classAndDestination >= 0x10 && classAndDestination <= 0x13)
            slot = classAndDestination - 12;
        else
            return JPEG_INVALID;  // class above 1 or destination above 3
        decoder->huffmanSlot = static_cast<uint8_t>(slot);

        const uint8_t* counts = decoder->cursor;
        int codes = 0;
        for (int i = 0; i < 16; ++i) codes += ReadByte(decoder);
        if (codes > 256) return JPEG_INVALID;             // more codes than a table holds
        if (17 + codes > length) return JPEG_INVALID;     // symbols cut by the segment's end
        if (decoder->headersOnly) {
            decoder->cursor += codes;
            decoder->bytesLeft -= codes;
            length -= 17 + codes;
            continue;
        }

        ReleaseHuffmanSlot(decoder, slot);
        HuffmanLookup& table = decoder->huffmanTables[slot];
        const JpegOutputAllocator& work = decoder->setup.work;
        table.lengths = static_cast<uint8_t*>(work.allocate(work.context, 65536));
        if (table.lengths) table.symbols = static_cast<uint8_t*>(work.allocate(work.context, 65536));
        if (!table.symbols) {
            ReleaseHuffmanSlot(decoder, slot);
            return JPEG_NO_MEMORY;
        }
        FillHuffmanLookup(&table, counts, decoder->cursor);
        decoder->cursor += codes;
        decoder->bytesLeft -= codes;
        length -= 17 + codes;
    }
    return JPEG_OK;
}

JpegResult ReadQuantTables(JpegDecoder* decoder, int32_t length) {
    if (length < 0) return JPEG_INVALID;  // declared length below 2
    while (length != 0) {
        decoder->quantTableByte = ReadByte(decoder);
        decoder->quantPrecision = decoder->quantTableByte >> 4;
        const int destination = decoder->quantTableByte & 15;
        if (decoder->quantPrecision > 1) return JPEG_INVALID;  // only 8 and 16-bit entries exist
        if (destination > 3) return JPEG_INVALID;              // four tables at most
        const int32_t tableBytes = decoder->quantPrecision == 0 ? 65 : 129;
        if (tableBytes > length) return JPEG_INVALID;  // table cut by the segment's end

        uint16_t* table = decoder->quantTables[destination];
        for (int k = 0; k < 64; ++k)
            table[kZigzagOrder[k]] = decoder->quantPrecision == 0 ? ReadByte(decoder) : ReadWord(decoder);
        decoder->quantDefined |= static_cast<uint8_t>(1 << destination);
        length -= tableBytes;
        // Starting the luminance predictor at 1024 / Q0[0] puts the +128
        // level shift into every luminance DC.
        ResetPredictors(decoder, decoder->quantTables[0]);
    }
    return JPEG_OK;
}

JpegResult ReadScanHeader(JpegDecoder* decoder) {
    decoder->scanComponentCount = ReadByte(decoder);
    if (decoder->scanComponentCount > 3) return JPEG_INVALID;  // the record holds three components
    for (int i = 0; i < decoder->scanComponentCount; ++i) {
        ScanComponent& component = decoder->scanComponents[i];
        component.selector = ReadByte(decoder);
        const uint8_t tables = ReadByte(decoder);
        component.dcSlot = tables >> 4;
        component.acSlot = static_cast<uint8_t>((tables & 15) + 4);
    }
    decoder->spectralStart = ReadByte(decoder);
    decoder->spectralEnd = ReadByte(decoder);
    const uint8_t approximation = ReadByte(decoder);
    decoder->approxHigh = approximation >> 4;
    decoder->approxLow = approximation & 15;
    return JPEG_OK;
}

void FreeDecoder(JpegDecoder* decoder) {
    for (int slot = 0; slot < 8; ++slot) ReleaseHuffmanSlot(decoder, slot);
    const JpegOutputAllocator& work = decoder->setup.work;
    if (decoder->crBlock) work.release(work.context, decoder->crBlock);
    if (decoder->cbBlock) work.release(work.context, decoder->cbBlock);
    if (decoder->lumaBlocks) work.release(work.context, decoder->lumaBlocks);
    decoder->crBlock = decoder->cbBlock = decoder->lumaBlocks = nullptr;
    if (decoder->fastScan) work.release(work.context, decoder->fastScan);
    decoder->fastScan = nullptr;
}

namespace {

// bytesLeft is 32-bit signed; a file that big could not be held anyway.
bool TooBigToCount(uint32_t size) { return size > 0x7FFFFFFFu - kJpegInputPadding; }

void StartDecoder(JpegDecoder* decoder, const uint8_t* data, uint32_t size) {
    memset(decoder, 0, sizeof *decoder);
    decoder->fileStart = data;
    decoder->cursor = data;
    decoder->bytesLeft = static_cast<int32_t>(size);
    decoder->zigzag = kZigzagOrder;
}

}  // namespace

JpegResult ReadJpegFrameSize(const uint8_t* data, uint32_t size, uint32_t* width, uint32_t* height) {
    *width = 0;
    *height = 0;
    if (TooBigToCount(size)) return JPEG_NO_MEMORY;  // what the decode says of such a file
    JpegDecoder decoder;
    StartDecoder(&decoder, data, size);
    decoder.headersOnly = true;
    JpegResult result = FindStartOfImage(&decoder);
    if (result == JPEG_OK) result = WalkMarkers(&decoder, nullptr);
    if (result != JPEG_OK) return result;
    *width = decoder.width;
    *height = decoder.height;
    return JPEG_OK;
}

JpegResult DecodeJpegWithSetup(const uint8_t* data, uint32_t size, const JpegDecodeSetup& setup, void** image) {
    *image = nullptr;
    if (TooBigToCount(size)) return JPEG_NO_MEMORY;  // no 32-bit count reaches its end
    if (setup.scaleShift > 3) return JPEG_INVALID;   // no such reduction

    JpegDecoder decoder;
    StartDecoder(&decoder, data, size);
    decoder.setup = setup;

    JpegResult result = FindStartOfImage(&decoder);
    if (result == JPEG_OK) result = AllocateMcuBuffers(&decoder);
    if (result == JPEG_OK) result = WalkMarkers(&decoder, image);
    FreeDecoder(&decoder);
    return result;
}

JpegResult DecodeJpegMemory(const uint8_t* data, uint32_t size, const JpegOutputAllocator& allocator, void** image,
                            JpegDecodeMode mode, int scale) {
    JpegDecodeSetup setup = {allocator, {AllocateWork, ReleaseWork, nullptr}, &kScalarPixelKernels,
                             DecodeMcuReference, 0};
    while (setup.scaleShift < 3 && (1 << setup.scaleShift) < scale) setup.scaleShift++;
    if (scale != 1 << setup.scaleShift) {
        *image = nullptr;
        return JPEG_INVALID;  // the scale is not 1, 2, 4 or 8
    }
    if (mode == JPEG_DECODE_FAST) {
        setup.kernels = &FastPixelKernels();
#if KESTROVA_FAST_SCAN
        setup.decodeMcu = DecodeMcuFast;
#endif
    }
    return DecodeJpegWithSetup(data, size, setup, image);
}
