// The image file ".xmg" ("DIXG"): one file per image in the image folder.
//
// Layout (little-endian, offsets from the start of the file):
//   header, 16 bytes: "DIXG", version (0x20000 written, 0x10000 also read),
//       end offset (just past the pixel block), compressed flag (1: tile
//       codec stream, 0: raw pixels);
//   information block, 68 bytes at 16 (version 0x20000): pixel offset, text
//       offset (0: none), width, height, two extra words, bits per pixel,
//       image id, image date, text encoding (1 UTF-16, 0 ANSI), image flags
//       (bit 0: the spacings are valid), spacing across and down as floats;
//       version 0x10000 has a 64-byte block read from offset 0 instead;
//   text block (optional): size, patient id, string count, sex code,
//       birthday, then per name part a length byte and that many characters;
//   pixel block: the stored raster, from the pixel offset to the end offset.
//
// The file keeps the stored raster; the orientation lives in the database and
// the viewer applies it after loading. The writer therefore turns the shown
// raster back through the inverse kernel of the orientation, and writes the
// full-size raster of a reduced picture, so that nothing of the image is lost.
//
// The reader trusts nothing in a file: every size and offset is checked
// against the real size of the file before anything is allocated or read, so
// a damaged file is a message, never a crash or a huge allocation.
#pragma once

#include "images/pixels/picture.h"

#include <windows.h>

const DWORD kXmgMagic = 0x47584944;         // "DIXG"
const DWORD kXmgVersion1 = 0x10000;
const DWORD kXmgVersion2 = 0x20000;
const DWORD kXmgHeaderSize = 16;
const DWORD kXmgInfoSizeV1 = 64;            // read from offset 0, the header included
const DWORD kXmgInfoSizeV2 = 68;            // at offset 16
const DWORD kXmgTextHeadSize = 20;
const int kXmgMaxNameChars = 255;           // a name part keeps at most this many characters
const double kXmgDefaultSpacing = 0.347497; // when the file has no valid spacing
// Largest raster a file may claim: two rasters of it still fit the address space.
const DWORD kXmgMaxPixels = 0x4000000;

// The fields of an information block of either version, as the reader uses them.
struct XmgInfo {
    DWORD version;
    DWORD endOffset;
    DWORD compressed;
    DWORD pixelOffset;
    DWORD textOffset;       // 0: no text block
    DWORD width, height;
    DWORD extra[2];
    DWORD bitsPerPixel;
    DWORD imageId;
    FILETIME date;
    BYTE textEncoding;      // 1 UTF-16, 0 ANSI
    DWORD imageFlags;
    float spacingX, spacingY;
};

class SnimokFile
{
public:
    // Reads an open file from its start into a new picture, with the patient
    // texts when `readTexts` and the image id when `takeId`. Throws MsgExcept
    // (737, 90, 91, 92, 93 or a system text); nothing is left behind then.
    static DPicturePtr Load(HANDLE file, bool readTexts, bool takeId);

    // Writes the picture from the current position of a newly created file.
    // 1 on success; 0 with the Win32 error code in *error on failure.
    static int Save(const DPicturePtr& picture, HANDLE file, DWORD* error, bool writeTexts);

    // The 16 bytes at offset 0 and the version in them; false with the last
    // error ERROR_BAD_FORMAT for a short read or a wrong magic.
    static bool ReadHeader(HANDLE file, DWORD* version, BYTE header[kXmgHeaderSize]);
    // The raw information blocks; false when the seek or the read fails.
    static bool ReadInfoV1(HANDLE file, BYTE block[kXmgInfoSizeV1]);
    static bool ReadInfoV2(HANDLE file, BYTE block[kXmgInfoSizeV2]);
    // Decodes the blocks (with the header for version 0x20000) into `info`.
    static void ParseInfoV1(const BYTE block[kXmgInfoSizeV1], XmgInfo& info);
    static void ParseInfoV2(const BYTE header[kXmgHeaderSize], const BYTE block[kXmgInfoSizeV2], XmgInfo& info);

    // The text block at `offset` into the picture's patient record; throws 90.
    static void ReadTexts(DPicture* picture, HANDLE file, DWORD offset, DWORD fileSize, bool utf16);
    // `size` bytes of pixels at `offset` into the source raster, whose pages
    // are newly committed when `freshRaster`; throws 90, 91, 92, 93 or a
    // system text.
    static void ReadPixels(DPicture* picture, HANDLE file, DWORD offset, DWORD compressed, DWORD size,
                           bool freshRaster = false);

    // The text block of a patient record: its size (at most 1,553 bytes) and,
    // with a buffer, its bytes.
    static DWORD BuildTextBlock(const PatientInfo& patient, BYTE* out);
};

// Reads exactly `count` bytes; true only when all were read. The destination
// pages are made writable for the read and get their protection back after
// it; the read's error code is kept as the last error.
bool ReadExact(HANDLE file, void* buffer, DWORD count);

// SnimokFile::Load without texts and image id; a MsgExcept is shown
// (system-modal, over the owner) and an empty handle returned.
DPicturePtr ReadPictureFile(HANDLE file, HWND owner = nullptr);

// Opens "<image folder><file name>.xmg" and reads it; when it cannot be opened
// shows "Error Opening Picture File" and returns an empty handle. A picture
// read gets the file name and image id, is marked stored, and gets its view
// settings and patient from the database; when either is not found the
// integer 0 is thrown. The messages are modal to the owner: the window that
// asked for the picture takes no input while one is up.
DPicturePtr LoadPictureFileEx(DWORD imageId, const wchar_t* fileName, HWND owner = nullptr);
// The same without the database.
DPicturePtr LoadPictureFile(const wchar_t* fileName, HWND owner = nullptr);

// Writes "<image folder><picture's file name>.xmg" with texts; the file must
// not exist yet. Throws MsgExcept ("Internal Error" for an empty handle, the
// system's text for a failure); a failed write leaves no file behind.
void SavePictureFile(const DPicturePtr& picture);
void SavePictureFileAs(const DPicturePtr& picture);
// The same without throwing: false with the Win32 error in *error
// (ERROR_FILE_EXISTS when a file of the name is there already).
bool WritePictureFile(const DPicturePtr& picture, DWORD* error);
