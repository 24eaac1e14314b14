// BMP reader and writer: see bmpformat.h.
#include "exchange/imagefiles/bmpformat.h"

#include "resources/strings.h"

#include <stddef.h>
#include <string.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <memory>
#include <new>

namespace {

const uint16_t kBmpMagic = 0x4D42;      // "BM"
const uint32_t kCompressionNone = 0;    // BI_RGB

}  // namespace

unsigned ReadBmpLayout(ByteSource& in, BmpLayout& out)
{
    memset(&out, 0, sizeof out);
    uint8_t file[kBmpFileHeaderSize];
    if (!in.ReadAt(0, file, sizeof file))
        return IDS_BMP_READ_ERROR;
    if (LoadLe16(file) != kBmpMagic)
        return IDS_BMP_NOT_BMP;
    uint8_t info[kBmpInfoHeaderSize];
    if (!in.ReadAt(kBmpFileHeaderSize, info, sizeof info))
        return IDS_BMP_READ_ERROR;

    const uint32_t infoSize = LoadLe32(info);
    const int32_t width = (int32_t)LoadLe32(info + 4);
    const int32_t height = (int32_t)LoadLe32(info + 8);
    const uint16_t planes = LoadLe16(info + 12);
    const uint16_t bits = LoadLe16(info + 14);
    const uint32_t compression = LoadLe32(info + 16);
    const uint32_t imageSize = LoadLe32(info + 20);
    const uint32_t colorsUsed = LoadLe32(info + 32);

    // The older 12-byte core header has other fields at these places.
    if (infoSize < kBmpInfoHeaderSize || planes != 1)
        return IDS_BMP_NOT_BMP;
    if (compression != kCompressionNone)
        return IDS_BMP_COMPRESSION;
    if (bits != 8 && bits != 24)
        return IDS_BMP_COLOR_COUNT;
    // A negative height means rows stored top-down; its magnitude must be
    // representable.
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return IDS_BMP_NOT_BMP;
    out.width = width;
    out.height = height < 0 ? -height : height;
    out.topDown = height < 0;
    if ((uint64_t)out.width * (uint64_t)out.height > kBmpMaxPixels)
        return IDS_BMP_NOT_BMP;
    out.bitsPerPixel = bits;
    out.rowSize = (uint32_t)(((uint64_t)out.width * (bits / 8) + 3) / 4 * 4);
    const uint64_t dataSize = (uint64_t)out.rowSize * (uint64_t)out.height;
    // The header's image size may be 0 (then the rows' own size counts) or
    // larger than the rows, never smaller.
    if (imageSize != 0 && imageSize < dataSize)
        return IDS_BMP_NOT_BMP;

    const uint64_t fileSize = in.Size();
    out.pixelOffset = LoadLe32(file + 10);
    if (out.pixelOffset < kBmpFileHeaderSize + kBmpInfoHeaderSize || out.pixelOffset > fileSize ||
        dataSize > fileSize - out.pixelOffset)
        return IDS_BMP_SEEK_ERROR;

    if (bits == 8) {
        if (colorsUsed > 256)
            return IDS_BMP_NOT_BMP;
        out.paletteEntries = colorsUsed == 0 ? 256 : colorsUsed;
        const uint64_t paletteOffset = (uint64_t)kBmpFileHeaderSize + infoSize;
        if (paletteOffset > fileSize || (uint64_t)out.paletteEntries * 4 > fileSize - paletteOffset)
            return IDS_BMP_SEEK_ERROR;
        out.paletteOffset = (uint32_t)paletteOffset;
    }
    return 0;
}

namespace {

// The most bytes read at once: as many whole rows as fit, or pieces of whole
// pixels of a row that alone is larger. One read a row cost about a
// microsecond a row under Wine, which made a tall picture of one pixel's
// width take seconds. A block this size stays in the cache between its read
// and its conversion.
const uint32_t kReadBlock = 256u * 1024u;

// The rows of one read block, converted by the kernels below: `rows` file
// rows of `width` pixels, `srcStride` bytes apart, into picture rows
// `dstStride` values apart (negative when the file runs bottom-up). Each
// kernel returns the largest value it wrote (or `top`, when larger). They
// stay small functions of their own: inlined into the reader they ran
// several times slower. A picture one pixel wide has a kernel of its own:
// a row loop a pixel cost twice as much.
struct RowBlock
{
    const uint8_t* src;
    uint32_t srcStride;
    uint32_t rows;
    uint32_t width;
    uint16_t* dst;
    ptrdiff_t dstStride;
};

#ifdef __SSE2__
// The grey values of the two indexes in the low bytes of `indexes`, in the
// low 32 bits of a vector, the first in the low half.
inline __m128i GreyPair(const uint16_t* __restrict grey, uint32_t indexes)
{
    return _mm_cvtsi32_si128((int)(grey[indexes & 255] | (uint32_t)grey[(indexes >> 8) & 255] << 16));
}
#endif

// Palette indexes to the grey values of `grey`, each at most 255 (the mean
// of a palette entry's three bytes). Eight pixels a step: their indexes read
// four at a time, their values stored as one 16-byte vector, and the running
// maximum kept in a vector of the values stored. A byte read, a word stored
// and a comparison a pixel took two fifths longer.
__attribute__((noinline)) unsigned GreyOfIndexes(const RowBlock& block, const uint16_t* __restrict grey, unsigned top)
{
#ifdef __SSE2__
    __m128i most = _mm_setzero_si128();
#endif
    for (uint32_t r = 0; r < block.rows; ++r) {
        const uint8_t* __restrict s = block.src + (size_t)r * block.srcStride;
        uint16_t* __restrict d = block.dst + (ptrdiff_t)r * block.dstStride;
        uint32_t x = 0;
#ifdef __SSE2__
        for (; x + 8 <= block.width; x += 8) {
            uint32_t a, b;
            memcpy(&a, s + x, 4);
            memcpy(&b, s + x + 4, 4);
            const __m128i v = _mm_unpacklo_epi64(_mm_unpacklo_epi32(GreyPair(grey, a), GreyPair(grey, a >> 16)),
                                                 _mm_unpacklo_epi32(GreyPair(grey, b), GreyPair(grey, b >> 16)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), v);
            // Signed lanes: the values are below 256.
            most = _mm_max_epi16(most, v);
        }
#endif
        for (; x < block.width; ++x) {
            const unsigned v = grey[s[x]];
            d[x] = (uint16_t)v;
            top = v > top ? v : top;
        }
    }
#ifdef __SSE2__
    most = _mm_max_epi16(most, _mm_srli_si128(most, 8));
    most = _mm_max_epi16(most, _mm_srli_si128(most, 4));
    most = _mm_max_epi16(most, _mm_srli_si128(most, 2));
    const unsigned vectors = (unsigned)_mm_cvtsi128_si32(most) & 0xFFFF;
    top = vectors > top ? vectors : top;
#endif
    return top;
}

// Blue-green-red triples to the mean of the three, through `third` (the sum
// of three bytes to a third of it: no division a pixel).
__attribute__((noinline)) unsigned GreyOfTriples(const RowBlock& block, const uint16_t* __restrict third, unsigned top)
{
    for (uint32_t r = 0; r < block.rows; ++r) {
        const uint8_t* __restrict s = block.src + (size_t)r * block.srcStride;
        uint16_t* __restrict d = block.dst + (ptrdiff_t)r * block.dstStride;
        for (uint32_t x = 0; x < block.width; ++x, s += 3) {
            const unsigned v = third[s[0] + s[1] + s[2]];
            d[x] = (uint16_t)v;
            top = v > top ? v : top;
        }
    }
    return top;
}

__attribute__((noinline)) unsigned GreyOfIndexColumn(const RowBlock& block, const uint16_t* __restrict grey,
                                                     unsigned top)
{
    const uint8_t* __restrict s = block.src;
    uint16_t* __restrict d = block.dst;
    for (uint32_t r = 0; r < block.rows; ++r, s += block.srcStride) {
        const unsigned v = grey[*s];
        d[(ptrdiff_t)r * block.dstStride] = (uint16_t)v;
        top = v > top ? v : top;
    }
    return top;
}

__attribute__((noinline)) unsigned GreyOfTripleColumn(const RowBlock& block, const uint16_t* __restrict third,
                                                      unsigned top)
{
    const uint8_t* __restrict s = block.src;
    uint16_t* __restrict d = block.dst;
    for (uint32_t r = 0; r < block.rows; ++r, s += block.srcStride) {
        const unsigned v = third[s[0] + s[1] + s[2]];
        d[(ptrdiff_t)r * block.dstStride] = (uint16_t)v;
        top = v > top ? v : top;
    }
    return top;
}

}  // namespace

unsigned ReadBmpPixels(ByteSource& in, const BmpLayout& layout, uint16_t* raster, uint16_t* maxValue)
{
    *maxValue = 0;
    const bool indexed = layout.bitsPerPixel == 8;
    // The grey value of each palette index (indexes beyond the palette stay
    // 0), or the third of each sum of three bytes.
    uint16_t table[3 * 255 + 1] = {};
    if (indexed) {
        uint8_t palette[1024];
        if (layout.paletteEntries < 1 || layout.paletteEntries > 256 ||
            !in.ReadAt(layout.paletteOffset, palette, layout.paletteEntries * 4))
            return IDS_BMP_SEEK_ERROR;
        for (uint32_t i = 0; i < layout.paletteEntries; ++i)
            table[i] = (uint16_t)((palette[4 * i] + palette[4 * i + 1] + palette[4 * i + 2]) / 3);
    } else if (layout.bitsPerPixel == 24) {
        for (unsigned sum = 0; sum <= 3 * 255; ++sum)
            table[sum] = (uint16_t)(sum / 3);
    } else {
        return IDS_BMP_COLOR_COUNT;
    }
    unsigned top = 0;
    auto convert = [&](const RowBlock& block) {
        if (block.width == 1)
            top = indexed ? GreyOfIndexColumn(block, table, top) : GreyOfTripleColumn(block, table, top);
        else
            top = indexed ? GreyOfIndexes(block, table, top) : GreyOfTriples(block, table, top);
    };

    const uint32_t bytesPerPixel = layout.bitsPerPixel / 8;
    const uint32_t width = (uint32_t)layout.width;
    const uint32_t height = (uint32_t)layout.height;
    const uint32_t rowsPerBlock = layout.rowSize <= kReadBlock ? kReadBlock / layout.rowSize : 0;
    const uint32_t pixelsPerPiece = kReadBlock / bytesPerPixel;
    const uint32_t blockBytes = rowsPerBlock ? rowsPerBlock * layout.rowSize : pixelsPerPiece * bytesPerPixel;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[blockBytes]);
    if (!buffer)
        return IDS_BMP_OUT_OF_MEMORY;
    // Bottom-up files hold the last picture row first.
    const ptrdiff_t step = layout.topDown ? (ptrdiff_t)width : -(ptrdiff_t)width;
    auto pictureRow = [&](uint32_t fileRow) {
        const uint32_t y = layout.topDown ? fileRow : height - 1 - fileRow;
        return raster + (size_t)y * width;
    };
    if (rowsPerBlock) {
        for (uint32_t first = 0; first < height; first += rowsPerBlock) {
            const uint32_t rows = height - first < rowsPerBlock ? height - first : rowsPerBlock;
            if (!in.ReadAt((uint64_t)layout.pixelOffset + (uint64_t)first * layout.rowSize, buffer.get(),
                           rows * layout.rowSize))
                return IDS_BMP_SEEK_ERROR;
            convert(RowBlock{buffer.get(), layout.rowSize, rows, width, pictureRow(first), step});
        }
    } else {
        for (uint32_t fileRow = 0; fileRow < height; ++fileRow) {
            const uint64_t rowStart = (uint64_t)layout.pixelOffset + (uint64_t)fileRow * layout.rowSize;
            uint16_t* dst = pictureRow(fileRow);
            for (uint32_t x = 0; x < width; x += pixelsPerPiece) {
                const uint32_t count = width - x < pixelsPerPiece ? width - x : pixelsPerPiece;
                if (!in.ReadAt(rowStart + (uint64_t)x * bytesPerPixel, buffer.get(), count * bytesPerPixel))
                    return IDS_BMP_SEEK_ERROR;
                convert(RowBlock{buffer.get(), 0, 1, count, dst + x, 0});
            }
        }
    }
    *maxValue = (uint16_t)top;
    return 0;
}

uint32_t BmpGreyRowSize(int32_t width)
{
    return width > 0 ? ((uint32_t)width + 3u) & ~3u : 0;
}

uint64_t BmpGreyFileSize(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0)
        return 0;
    const uint64_t size = kBmpGreyHeadersSize + (uint64_t)BmpGreyRowSize(width) * (uint64_t)height;
    return size > 0xFFFFFFFFull ? 0 : size;
}

namespace {

void WriteGreyHeaders(uint8_t* out, int32_t width, int32_t height)
{
    const uint32_t dataSize = BmpGreyRowSize(width) * (uint32_t)height;
    memset(out, 0, kBmpGreyHeadersSize);
    StoreLe16(out, kBmpMagic);
    StoreLe32(out + 2, kBmpGreyHeadersSize + dataSize);
    StoreLe32(out + 10, kBmpGreyHeadersSize);
    uint8_t* info = out + kBmpFileHeaderSize;
    StoreLe32(info, kBmpInfoHeaderSize);
    StoreLe32(info + 4, (uint32_t)width);
    StoreLe32(info + 8, (uint32_t)height);   // positive: bottom-up
    StoreLe16(info + 12, 1);
    StoreLe16(info + 14, 8);
    StoreLe32(info + 16, kCompressionNone);
    StoreLe32(info + 20, dataSize);
    StoreLe32(info + 32, 256);
    StoreLe32(info + 36, 256);
    uint8_t* palette = info + kBmpInfoHeaderSize;
    for (int i = 0; i < 256; ++i) {
        palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = (uint8_t)i;
        palette[4 * i + 3] = 0;
    }
}

}  // namespace

void BuildGreyBmp(uint8_t* out, const uint8_t* pixels, int32_t width, int32_t height, int32_t stride)
{
    const uint32_t rowSize = BmpGreyRowSize(width);
    WriteGreyHeaders(out, width, height);
    uint8_t* rows = out + kBmpGreyHeadersSize;
    for (int32_t r = 0; r < height; ++r) {
        uint8_t* dst = rows + (size_t)r * rowSize;
        memcpy(dst, pixels + (size_t)(height - 1 - r) * (size_t)stride, (size_t)width);
        memset(dst + width, 0, rowSize - (uint32_t)width);
    }
}

void BuildGreyBmpFromRaster(uint8_t* out, const uint16_t* raster, int32_t width, int32_t height,
                            const uint8_t* table)
{
    const uint32_t rowSize = BmpGreyRowSize(width);
    WriteGreyHeaders(out, width, height);
    uint8_t* rows = out + kBmpGreyHeadersSize;
    for (int32_t r = 0; r < height; ++r) {
        uint8_t* dst = rows + (size_t)r * rowSize;
        // The file's first row is the picture's last.
        const uint16_t* src = raster + (size_t)(height - 1 - r) * (size_t)width;
        for (int32_t x = 0; x < width; ++x)
            dst[x] = table[src[x]];
        memset(dst + width, 0, rowSize - (uint32_t)width);
    }
}
