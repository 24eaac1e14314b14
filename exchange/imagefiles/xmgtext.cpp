// The ".xmg" identity reader of the import: see xmgtext.h.
#include "exchange/imagefiles/xmgtext.h"
#include "images/pixels/tilecodec.h"

#include "resources/strings.h"

#include <string.h>

namespace {

const uint32_t kMagic = 0x47584944;        // "DIXG"
const uint32_t kVersion1 = 0x10000;
const uint32_t kVersion2 = 0x20000;
const uint32_t kHeaderSize = 16;
const uint32_t kInfoSizeV1 = 64;            // from offset 0, the header included
const uint32_t kInfoSizeV2 = 68;            // from offset 16
const uint32_t kTextHeadSize = 20;
const uint32_t kNameEntrySize = 8;          // {length, text pointer} of the import's name table
const uint64_t kMaxPixels = 0x4000000;

float LoadFloatLe(const uint8_t* p)
{
    const uint32_t bits = LoadLe32(p);
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

unsigned ReadHead(ByteSource& in, uint32_t offset, XmgTextHead& head)
{
    uint8_t raw[kTextHeadSize];
    if (!in.ReadAt(offset, raw, sizeof raw))
        return IDS_ERROR_READING_PICTURE;
    head.size = LoadLe32(raw);
    head.patientId = LoadLe32(raw + 4);
    head.count = raw[8];
    head.sex = raw[10];
    head.birthdayLow = LoadLe32(raw + 12);
    head.birthdayHigh = LoadLe32(raw + 16);
    // A present block says so with a nonzero size, at least its head.
    if (head.size < kTextHeadSize)
        return IDS_ERROR_READING_PICTURE;
    return 0;
}

// The strings after the head, each its length byte and its characters read
// at once; the whole must fit the import's name buffer.
unsigned ReadStrings(ByteSource& in, uint32_t offset, bool wide, XmgNames& names, XmgAnsiConverter ansi)
{
    names.strings.clear();
    uint64_t at = (uint64_t)offset + kTextHeadSize;
    uint64_t used = kTextHeadSize + (uint64_t)names.head.count * kNameEntrySize;
    if (used > kXmgNameBufferSize)
        return IDS_ERROR_READING_PICTURE;
    uint8_t bytes[2 * 255];
    char16_t text[255];
    for (int i = 0; i < names.head.count; ++i) {
        uint8_t length = 0;
        if (!in.ReadAt(at, &length, 1))
            return IDS_ERROR_READING_PICTURE;
        at += 1;
        const uint32_t byteCount = wide ? 2u * length : length;
        if (!in.ReadAt(at, bytes, byteCount))
            return IDS_ERROR_READING_PICTURE;
        at += byteCount;
        int chars = 0;
        if (wide) {
            for (int c = 0; c < length; ++c)
                text[c] = (char16_t)LoadLe16(bytes + 2 * c);
            chars = length;
        } else if (length > 0) {
            chars = ansi ? ansi(bytes, length, text, 255) : -1;
            if (chars < 0 || chars > 255)
                return IDS_ERROR_READING_PICTURE;
        }
        used += 2u * ((uint32_t)chars + 1);
        if (used > kXmgNameBufferSize)
            return IDS_ERROR_READING_PICTURE;
        names.strings.emplace_back(text, (size_t)chars);
    }
    return 0;
}

}  // namespace

unsigned ReadXmgFileInfo(ByteSource& in, XmgFileInfo& info)
{
    memset(&info, 0, sizeof info);
    uint8_t header[kHeaderSize];
    if (!in.ReadAt(0, header, sizeof header) || LoadLe32(header) != kMagic)
        return IDS_PICTURE_VERSION_ERROR;
    info.version = LoadLe32(header + 4);
    info.endOffset = LoadLe32(header + 8);
    if (info.version == kVersion1) {
        uint8_t block[kInfoSizeV1];
        if (!in.ReadAt(0, block, sizeof block))
            return IDS_ERROR_READING_PICTURE;
        info.dateLow = LoadLe32(block + 32);
        info.dateHigh = LoadLe32(block + 36);
        info.width = LoadLe32(block + 12);
        info.height = LoadLe32(block + 16);
        info.wordA = LoadLe16(block + 52);
        info.wordB = LoadLe16(block + 54);
        info.flags = block[42];
        info.imageId = LoadLe32(block + 28);
        info.compressed = 0;
        info.pixelOffset = LoadLe32(block + 20);
        info.pixelSize = (uint32_t)((uint64_t)info.width * info.height * 2 > 0xFFFFFFFFull
                                        ? 0xFFFFFFFFull
                                        : (uint64_t)info.width * info.height * 2);
        info.textOffset = LoadLe32(block + 24);
        info.wideText = block[40] != 0;
        info.bitsPerPixel = (block[42] & 0x20) ? LoadLe16(block + 58) : 16;
    } else if (info.version == kVersion2) {
        uint8_t block[kInfoSizeV2];
        if (!in.ReadAt(kHeaderSize, block, sizeof block))
            return IDS_ERROR_READING_PICTURE;
        info.dateLow = LoadLe32(block + 32);
        info.dateHigh = LoadLe32(block + 36);
        info.width = LoadLe32(block + 8);
        info.height = LoadLe32(block + 12);
        info.pixelSizeX = LoadFloatLe(block + 48);
        info.pixelSizeY = LoadFloatLe(block + 52);
        info.flags = LoadLe32(block + 44);
        info.imageId = LoadLe32(block + 28);
        info.compressed = LoadLe32(header + 12);
        info.pixelOffset = LoadLe32(block);
        info.pixelSize = info.endOffset - info.pixelOffset;     // checked by CheckXmgPixelBlock
        info.textOffset = LoadLe32(block + 4);
        info.wideText = block[40] != 0;
        info.bitsPerPixel = LoadLe32(block + 24);
    } else {
        return IDS_PICTURE_VERSION_UNKNOWN;
    }
    return 0;
}

unsigned ReadXmgTextBlock(ByteSource& in, XmgFileInfo& info, XmgNames& names, XmgAnsiConverter ansi)
{
    memset(&names.head, 0, sizeof names.head);
    names.strings.clear();
    unsigned error = ReadXmgFileInfo(in, info);
    if (error)
        return error;
    if (info.textOffset == 0)
        return 0;
    if ((error = ReadHead(in, info.textOffset, names.head)) != 0 ||
        (error = ReadStrings(in, info.textOffset, info.wideText, names, ansi)) != 0) {
        names.strings.clear();
        return error;
    }
    info.head = names.head;
    return 0;
}

unsigned ReadXmgNameFields(ByteSource& in, XmgNames& names, XmgAnsiConverter ansi)
{
    XmgFileInfo info;
    return ReadXmgTextBlock(in, info, names, ansi);
}

unsigned CheckXmgPixelBlock(const XmgFileInfo& info, uint64_t fileSize)
{
    const uint32_t firstData = info.version == kVersion1 ? kInfoSizeV1 : kHeaderSize + kInfoSizeV2;
    if (info.width == 0 || info.height == 0 || (uint64_t)info.width * info.height > kMaxPixels ||
        info.bitsPerPixel < 1 || info.bitsPerPixel > 16)
        return IDS_ERROR_READING_PICTURE;
    if (info.endOffset > fileSize || info.pixelOffset < firstData || info.pixelOffset > info.endOffset)
        return IDS_ERROR_READING_PICTURE;
    const uint64_t size = info.endOffset - info.pixelOffset;
    if (info.compressed == 0) {
        if (size != 2ull * info.width * info.height)
            return IDS_ERROR_READING_PICTURE;
    } else if (info.compressed == 1) {
        if (size < LeastStreamSize(info.width, info.height, info.bitsPerPixel))
            return IDS_ERROR_READING_PICTURE;
    } else {
        return IDS_WRONG_COMPRESSION_FORMAT;
    }
    return 0;
}

int XmgLatin1ToUtf16(const uint8_t* bytes, int count, char16_t* out, int capacity)
{
    if (count > capacity)
        return -1;
    for (int i = 0; i < count; ++i)
        out[i] = bytes[i];
    return count;
}
