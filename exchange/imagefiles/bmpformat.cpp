// BMP reader and writer: see bmpformat.h.
#include "exchange/imagefiles/bmpformat.h"

#include "resources/strings.h"

#include <string.h>

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

unsigned ReadBmpPixels(ByteSource& in, const BmpLayout& layout, uint16_t* raster, uint16_t* maxValue)
{
    *maxValue = 0;
    // The grey value of each palette index; indexes beyond the palette stay 0.
    uint8_t grey[256] = {};
    if (layout.bitsPerPixel == 8) {
        uint8_t palette[1024];
        if (layout.paletteEntries < 1 || layout.paletteEntries > 256 ||
            !in.ReadAt(layout.paletteOffset, palette, layout.paletteEntries * 4))
            return IDS_BMP_SEEK_ERROR;
        for (uint32_t i = 0; i < layout.paletteEntries; ++i)
            grey[i] = (uint8_t)((palette[4 * i] + palette[4 * i + 1] + palette[4 * i + 2]) / 3);
    } else if (layout.bitsPerPixel != 24) {
        return IDS_BMP_COLOR_COUNT;
    }

    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[layout.rowSize]);
    if (!row)
        return IDS_BMP_OUT_OF_MEMORY;
    const int32_t width = layout.width;
    unsigned top = 0;
    for (int32_t fileRow = 0; fileRow < layout.height; ++fileRow) {
        if (!in.ReadAt((uint64_t)layout.pixelOffset + (uint64_t)fileRow * layout.rowSize, row.get(), layout.rowSize))
            return IDS_BMP_SEEK_ERROR;
        // Bottom-up files hold the last picture row first.
        const int32_t y = layout.topDown ? fileRow : layout.height - 1 - fileRow;
        uint16_t* dst = raster + (size_t)y * (size_t)width;
        const uint8_t* src = row.get();
        if (layout.bitsPerPixel == 8) {
            for (int32_t x = 0; x < width; ++x) {
                const unsigned v = grey[src[x]];
                dst[x] = (uint16_t)v;
                top = v > top ? v : top;
            }
        } else {
            for (int32_t x = 0; x < width; ++x, src += 3) {
                const unsigned v = (src[0] + src[1] + src[2]) / 3u;
                dst[x] = (uint16_t)v;
                top = v > top ? v : top;
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
