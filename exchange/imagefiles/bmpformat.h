// BMP files: the reader of the image import and the 8-bit grey writer of the
// image export. Pure code over a ByteSource: no Windows header, so that the
// reader also runs natively under the sanitizers.
//
// Reading (ReadBmpLayout, then ReadBmpPixels): a 14-byte file header "BM",
// an information header of at least 40 bytes (the later, longer versions are
// read for their first 40), no compression, 8 bits per pixel through a
// palette or 24 bits per pixel blue-green-red. Every pixel becomes the mean
// of its blue, green and red, 0 to 255. Rows are stored bottom-up, or
// top-down when the height is negative, each padded to 4 bytes.
//
// The reader trusts nothing in the file: the palette holds as many entries
// as the header says (256 when it says 0, never more), and the palette and
// every pixel row must lie inside the file, whatever the header's image size
// claims; width and height must be positive and their product small enough
// to be held twice in memory. A palette index beyond the palette reads as 0.
// The pixels are read in blocks of whole rows (pieces of whole pixels of a
// row longer than a block), never a read a row: the cost stays a few times a
// copy of the file's bytes whatever the picture's shape (bench/import_bench).
//
// Writing (BuildGreyBmp): 8 bits per pixel, a grey-ramp palette of 256
// entries, rows bottom-up, each padded with zeros to a multiple of 4 bytes,
// as every BMP reader expects.
//
// Failures are the string-table ids of the import's messages:
//   742 a header cannot be read          743 not a BMP, or a damaged header
//   744 compressed                       745 no memory for the read block
//   746 palette or pixels not in the file 747 neither 8 nor 24 bits per pixel
#pragma once

#include "exchange/imagefiles/bytesource.h"

#include <stdint.h>

const uint32_t kBmpFileHeaderSize = 14;
const uint32_t kBmpInfoHeaderSize = 40;
const uint32_t kBmpGreyPaletteSize = 1024;
const uint32_t kBmpGreyHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize + kBmpGreyPaletteSize;   // 1,078
// The largest picture a file may claim (as for ".xmg" files).
const uint64_t kBmpMaxPixels = 0x4000000;

struct BmpLayout
{
    int32_t width;              // pixels, > 0
    int32_t height;             // pixels, > 0
    bool topDown;               // the first file row is the top row
    uint32_t bitsPerPixel;      // 8 or 24
    uint32_t rowSize;           // bytes of one file row, padding included
    uint32_t pixelOffset;       // file offset of the first file row
    uint32_t paletteOffset;     // file offset of the palette (8 bits)
    uint32_t paletteEntries;    // 1 to 256 (8 bits), else 0
};

// Reads and checks the headers; 0, or the id of the failure.
unsigned ReadBmpLayout(ByteSource& in, BmpLayout& out);

// Fills `raster` (width x height 16-bit values, top row first) with the grey
// values of the pixels and `*maxValue` with the largest; 0, or the id of the
// failure (the raster then holds whatever was read).
unsigned ReadBmpPixels(ByteSource& in, const BmpLayout& layout, uint16_t* raster, uint16_t* maxValue);

// Bytes of one written row: the width padded to a multiple of 4.
uint32_t BmpGreyRowSize(int32_t width);
// Size of the written file; 0 when the size is not positive or the file would
// not fit 4 GB.
uint64_t BmpGreyFileSize(int32_t width, int32_t height);
// Writes the whole file into `out` (BmpGreyFileSize bytes) from `pixels`:
// height rows of width 8-bit values, `stride` bytes apart, top row first.
void BuildGreyBmp(uint8_t* out, const uint8_t* pixels, int32_t width, int32_t height, int32_t stride);
// The same from a 16-bit raster (width x height, top row first) mapped
// through a 65,536-entry look-up table to 8-bit grey.
void BuildGreyBmpFromRaster(uint8_t* out, const uint16_t* raster, int32_t width, int32_t height,
                            const uint8_t* table);
