// Builders of the files the import reads, as byte vectors: BMP files of 8
// and 24 bits (bottom-up or top-down, with a palette of any size, any header
// image size) and ".xmg" files of both versions with and without a text
// block. Pure code: the native sanitizer build uses them too.
#pragma once

#include "images/pixels/tilecodec.h"

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace exchtest {

inline void Le16(std::vector<uint8_t>& v, size_t at, uint32_t x)
{
    v[at] = (uint8_t)x;
    v[at + 1] = (uint8_t)(x >> 8);
}
inline void Le32(std::vector<uint8_t>& v, size_t at, uint32_t x)
{
    Le16(v, at, x & 0xFFFF);
    Le16(v, at + 2, x >> 16);
}

// A picture of `width` x `height` grey values 0..255 whose pixels differ.
inline std::vector<uint8_t> GreyPattern(int width, int height)
{
    std::vector<uint8_t> g((size_t)width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            g[(size_t)y * width + x] = (uint8_t)((x * 37 + y * 11 + (x * y) % 7) & 0xFF);
    return g;
}

struct BmpShape
{
    int width = 5;
    int height = 3;
    int bits = 8;               // 8 or 24
    bool topDown = false;
    uint32_t colorsUsed = 0;    // the header's count (8 bits)
    int paletteEntries = 256;   // entries actually written (8 bits)
    bool imageSizeZero = false;
    uint32_t compression = 0;
    uint32_t infoSize = 40;
};

// The file of `grey` (top row first) as a BMP of the shape. 8 bits: index i
// of the palette is the colour (blue, green, red) = (i - 1, i, i + 1) (i
// itself at 0 and 255), whose mean is i; 24 bits: each pixel is that colour
// of its grey value.
inline std::vector<uint8_t> MakeBmp(const BmpShape& s, const std::vector<uint8_t>& grey)
{
    const uint32_t rowSize = (uint32_t)((s.width * (s.bits / 8) + 3) / 4 * 4);
    const uint32_t palette = s.bits == 8 ? (uint32_t)s.paletteEntries * 4 : 0;
    const uint32_t offset = 14 + s.infoSize + palette;
    const uint32_t dataSize = rowSize * (uint32_t)s.height;
    std::vector<uint8_t> f(offset + dataSize, 0);
    f[0] = 'B';
    f[1] = 'M';
    Le32(f, 2, (uint32_t)f.size());
    Le32(f, 10, offset);
    Le32(f, 14, s.infoSize);
    Le32(f, 18, (uint32_t)s.width);
    Le32(f, 22, (uint32_t)(s.topDown ? -s.height : s.height));
    Le16(f, 26, 1);
    Le16(f, 28, (uint32_t)s.bits);
    Le32(f, 30, s.compression);
    Le32(f, 34, s.imageSizeZero ? 0 : dataSize);
    Le32(f, 46, s.colorsUsed);
    for (int i = 0; i < s.paletteEntries && s.bits == 8; ++i) {
        f[14 + s.infoSize + 4 * i] = (uint8_t)(i > 0 && i < 255 ? i - 1 : i);
        f[14 + s.infoSize + 4 * i + 1] = (uint8_t)i;
        f[14 + s.infoSize + 4 * i + 2] = (uint8_t)(i > 0 && i < 255 ? i + 1 : i);
    }
    for (int y = 0; y < s.height; ++y) {
        const int fileRow = s.topDown ? y : s.height - 1 - y;
        uint8_t* row = f.data() + offset + (size_t)fileRow * rowSize;
        for (int x = 0; x < s.width; ++x) {
            const uint8_t g = grey[(size_t)y * s.width + x];
            if (s.bits == 8) {
                row[x] = g;
            } else {
                row[3 * x] = (uint8_t)(g > 0 && g < 255 ? g - 1 : g);
                row[3 * x + 1] = g;
                row[3 * x + 2] = (uint8_t)(g > 0 && g < 255 ? g + 1 : g);
            }
        }
    }
    return f;
}

struct XmgShape
{
    int version = 2;            // 1 or 2
    int width = 40;
    int height = 35;
    int bits = 12;
    bool compressed = true;     // version 2 only
    bool texts = true;
    bool wideTexts = true;
    uint32_t patientId = 17;
    uint8_t sex = 1;
    uint32_t birthdayLow = 0x12345678, birthdayHigh = 0x01C0ABCD;
    std::vector<std::u16string> names = {u"Иванов", u"Пётр", u"Сергеевич"};
    uint32_t imageId = 305;
    uint32_t dateLow = 0x9ABCDEF0, dateHigh = 0x01D00000;
    uint32_t flags = 1;         // version 2: bit 0 spacing known
    float spacingX = 0.15f, spacingY = 0.2f;
    uint16_t wordA = 0x1111, wordB = 0x2222;   // version 1
};

inline std::vector<uint16_t> XmgPattern(const XmgShape& s)
{
    std::vector<uint16_t> px((size_t)s.width * s.height);
    const uint32_t mask = (1u << s.bits) - 1;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            px[(size_t)y * s.width + x] = (uint16_t)(((uint32_t)x * 131 + (uint32_t)y * 29 + 7) & mask);
    return px;
}

// The text block: head and counted strings (ANSI strings as Latin-1 bytes).
inline std::vector<uint8_t> XmgTextBlock(const XmgShape& s)
{
    std::vector<uint8_t> b(20, 0);
    b[8] = (uint8_t)s.names.size();
    b[10] = s.sex;
    Le32(b, 4, s.patientId);
    Le32(b, 12, s.birthdayLow);
    Le32(b, 16, s.birthdayHigh);
    for (const std::u16string& name : s.names) {
        b.push_back((uint8_t)name.size());
        for (char16_t c : name) {
            if (s.wideTexts) {
                b.push_back((uint8_t)c);
                b.push_back((uint8_t)(c >> 8));
            } else {
                b.push_back((uint8_t)c);
            }
        }
    }
    Le32(b, 0, (uint32_t)b.size());
    return b;
}

inline std::vector<uint8_t> MakeXmg(const XmgShape& s, const std::vector<uint16_t>& pixels)
{
    std::vector<uint8_t> block;
    bool compressed = s.version == 2 && s.compressed;
    if (compressed) {
        block.resize(EncodeBufferBound(s.width, s.height) + 16);
        const int32_t n = EncodeRaster(pixels.data(), block.data(), (int32_t)block.size(), s.width, s.height, s.bits);
        if (n < 0) {
            compressed = false;
        } else {
            block.resize((size_t)n);
        }
    }
    if (!compressed) {
        block.resize(pixels.size() * 2);
        for (size_t i = 0; i < pixels.size(); ++i) {
            block[2 * i] = (uint8_t)pixels[i];
            block[2 * i + 1] = (uint8_t)(pixels[i] >> 8);
        }
    }
    const std::vector<uint8_t> texts = s.texts ? XmgTextBlock(s) : std::vector<uint8_t>();
    const uint32_t headSize = s.version == 2 ? 16 + 68 : 64;
    const uint32_t textOffset = s.texts ? headSize : 0;
    const uint32_t pixelOffset = headSize + (uint32_t)texts.size();
    std::vector<uint8_t> f(headSize, 0);
    f[0] = 'D';
    f[1] = 'I';
    f[2] = 'X';
    f[3] = 'G';
    Le32(f, 4, s.version == 2 ? 0x20000 : 0x10000);
    Le32(f, 8, pixelOffset + (uint32_t)block.size());
    if (s.version == 2) {
        Le32(f, 12, compressed ? 1 : 0);
        const size_t i = 16;
        Le32(f, i + 0, pixelOffset);
        Le32(f, i + 4, textOffset);
        Le32(f, i + 8, (uint32_t)s.width);
        Le32(f, i + 12, (uint32_t)s.height);
        Le32(f, i + 24, (uint32_t)s.bits);
        Le32(f, i + 28, s.imageId);
        Le32(f, i + 32, s.dateLow);
        Le32(f, i + 36, s.dateHigh);
        f[i + 40] = s.wideTexts ? 1 : 0;
        Le32(f, i + 44, s.flags);
        uint32_t bx, by;
        memcpy(&bx, &s.spacingX, 4);
        memcpy(&by, &s.spacingY, 4);
        Le32(f, i + 48, bx);
        Le32(f, i + 52, by);
    } else {
        Le32(f, 12, (uint32_t)s.width);
        Le32(f, 16, (uint32_t)s.height);
        Le32(f, 20, pixelOffset);
        Le32(f, 24, textOffset);
        Le32(f, 28, s.imageId);
        Le32(f, 32, s.dateLow);
        Le32(f, 36, s.dateHigh);
        f[40] = s.wideTexts ? 1 : 0;
        f[42] = (uint8_t)(0x20 | (s.flags & 0x11));    // bits per pixel present
        Le16(f, 52, s.wordA);
        Le16(f, 54, s.wordB);
        Le16(f, 58, (uint32_t)s.bits);
    }
    f.insert(f.end(), texts.begin(), texts.end());
    f.insert(f.end(), block.begin(), block.end());
    return f;
}

}  // namespace exchtest
