// The import's reader of an ".xmg" file's identity: the header, the
// information block of either version and the text block with the patient's
// names. The open-file dialog shows these as the file's properties, the
// import looks the file's patient up by them, and the synchronisation
// re-reads them for files missing from the database. The pixels are read by
// the image file reader (images/files/xmgfile.h).
//
// Pure code over a ByteSource (no Windows header), so that it runs natively
// under the sanitizers; ANSI names are converted by a function the caller
// gives (the program: the system's ANSI code page).
//
// Where the fields are (offsets in the information block; version 0x10000
// reads its 64 bytes from offset 0, version 0x20000 its 68 bytes from 16):
//   field              version 0x10000        version 0x20000
//   exam date          32..39                 32..39
//   width, height      12, 16                 8, 12
//   pixel size x, y    0                      floats at 48, 52
//   word A, word B     u16 at 52, 54          0
//   flags              byte at 42             44
//   image id           28                     28
//   compressed         0                      the header's flag
//   pixel offset       20                     0
//   pixel data size    width x height x 2     end offset - pixel offset
//   text offset        24                     4
// The text encoding is the low byte of the block's word at 40 (nonzero:
// UTF-16). A text offset of 0 means no text block.
//
// Text block: head {u32 size; u32 patient id; u8 count; u8; u8 sex; u8;
// 8-byte birthday}, then `count` strings, each a length byte n and n UTF-16
// characters (2n bytes) or n ANSI bytes; strings 0 to 2 are the last, first
// and middle name. The names must fit the 2,048 bytes the import sets aside
// for the head, a table of 8 bytes per string and the texts with their
// terminators (2 bytes a character).
//
// Failures are string-table ids: 737 no header or a wrong magic, 738 a
// version other than 0x10000 and 0x20000, 90 anything else unreadable,
// including a pixel block that does not lie inside the file.
#pragma once

#include "exchange/imagefiles/bytesource.h"

#include <stdint.h>

#include <string>
#include <vector>

const uint32_t kXmgNameBufferSize = 2048;

struct XmgTextHead
{
    uint32_t size;          // 0: the file has no text block
    uint32_t patientId;
    uint8_t count;          // strings that follow the head
    uint8_t sex;            // nonzero: male
    uint32_t birthdayLow;   // FILETIME
    uint32_t birthdayHigh;
};

struct XmgFileInfo
{
    uint32_t version;       // 0x10000 or 0x20000
    uint32_t dateLow;       // exam date, FILETIME
    uint32_t dateHigh;
    uint32_t width, height;
    float pixelSizeX, pixelSizeY;
    uint16_t wordA, wordB;
    uint32_t flags;         // bit 0: the pixel size is known
    uint32_t imageId;
    uint32_t compressed;
    uint32_t pixelOffset;
    uint32_t pixelSize;
    uint32_t endOffset;     // just past the pixel block
    uint32_t textOffset;    // 0: no text block
    uint32_t bitsPerPixel;  // version 0x10000: 16 unless its flags say otherwise
    bool wideText;          // the strings are UTF-16
    XmgTextHead head;
};

struct XmgNames
{
    XmgTextHead head;
    std::vector<std::u16string> strings;    // head.count of them
};

// ANSI bytes to UTF-16: the characters written (at most `capacity`), or a
// negative number when they cannot be converted.
typedef int (*XmgAnsiConverter)(const uint8_t* bytes, int count, char16_t* out, int capacity);

// The header and information block into `info` (the head zero); 0 or an id.
unsigned ReadXmgFileInfo(ByteSource& in, XmgFileInfo& info);

// The information and the text block: `info` with its head and, when the
// file has a text block, its strings in `names`; 0 or an id.
unsigned ReadXmgTextBlock(ByteSource& in, XmgFileInfo& info, XmgNames& names, XmgAnsiConverter ansi);

// The head and strings alone (head.size 0: no text block); 0 or an id.
unsigned ReadXmgNameFields(ByteSource& in, XmgNames& names, XmgAnsiConverter ansi);

// 0 when the depth is 1 to 16 and the pixel block lies inside a file of
// `fileSize` bytes and has the size its kind needs (raw: width x height x 2 bytes; tile stream: at least
// 3 bytes a 32 x 32 tile); else 90 (93 for an unknown kind).
unsigned CheckXmgPixelBlock(const XmgFileInfo& info, uint64_t fileSize);

// Latin-1 as UTF-16: the converter of the native tests.
int XmgLatin1ToUtf16(const uint8_t* bytes, int count, char16_t* out, int capacity);
