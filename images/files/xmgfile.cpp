// Reader and writer of the ".xmg" image file: see xmgfile.h.
#include "images/files/xmgfile.h"

#include "foundation/journal.h"
#include "foundation/lefields.h"
#include "foundation/messages.h"
#include "images/pixels/banddecode.h"
#include "images/pixels/commitahead.h"
#include "images/pixels/pixmem.h"
#include "images/pixels/rasterkernels.h"
#include "images/files/savefaults.h"
#include "images/pixels/tilecodec.h"
#include "resources/strings.h"

#include <string.h>

namespace {

// Spare bytes behind a compressed stream in the read buffer: the decoder may
// look that far ahead.
const DWORD kDecodeSlack = 4;
// The reader's read of the pixel stream, and the most bytes one tile takes
// (a 32 x 32 tile of 16-bit fields with its minimum), which the buffer keeps
// room for beside a tile cut short by the read before. Reads of 128 KB cost
// what reads of a megabyte do (18 MB either way: 1.6 ms). The buffer is a
// block of kPixelKeepSmallest, so that the process keeps it from one image
// to the next, of which only the pages the reads reach are ever touched: the
// first image of a process commits 33 of them, not 257.
const DWORD kStreamRead = 128 << 10;
const DWORD kMaxTileBytes = 3 + 32 * 32 * 2;
// The text block after its head, as SnimokFile::BuildTextBlock makes it at
// its largest: three names of 255 UTF-16 characters with their lengths.
const DWORD kXmgTextLocalBytes = 3 * (1 + 2 * kXmgMaxNameChars);
// A raw pixel block is read into fresh raster pages about this many bytes
// at a time, each piece committed first (commitahead.h).
const DWORD kRawPiece = 1 << 20;

[[noreturn]] void ThrowId(UINT id)
{
    MsgExcept message;
    message.SetTextId(id);
    throw message;
}

// The system's text for an error code.
[[noreturn]] void ThrowSystemText(DWORD code)
{
    throw MsgExcept(nullptr, 0, ErrorCodeText(code).c_str(), -1);
}

bool SeekTo(HANDLE file, DWORD offset)
{
    LONG high = 0;
    return SetFilePointer(file, (LONG)offset, &high, FILE_BEGIN) != INVALID_SET_FILE_POINTER ||
           GetLastError() == NO_ERROR;
}

bool FileSize(HANDLE file, DWORD* size)
{
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return false;
    if (high != 0 || low > 0x7FFFFFFF) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    *size = low;
    return true;
}

FILETIME GetFileTimeLe(const BYTE* p)
{
    FILETIME t;
    t.dwLowDateTime = GetLe32(p);
    t.dwHighDateTime = GetLe32(p + 4);
    return t;
}

void PutFileTimeLe(BYTE* p, const FILETIME& t)
{
    PutLe32(p, t.dwLowDateTime);
    PutLe32(p + 4, t.dwHighDateTime);
}

float GetFloatLe(const BYTE* p)
{
    DWORD bits = GetLe32(p);
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

void PutFloatLe(BYTE* p, float f)
{
    DWORD bits;
    memcpy(&bits, &f, sizeof bits);
    PutLe32(p, bits);
}

// Checks every size and offset of the blocks against the file before anything
// is allocated; throws 90 or 93.
void CheckInfo(const XmgInfo& info, DWORD fileSize)
{
    const DWORD firstData = info.version == kXmgVersion1 ? kXmgInfoSizeV1 : kXmgHeaderSize + kXmgInfoSizeV2;
    if (info.width == 0 || info.height == 0 || info.width > kXmgMaxPixels || info.height > kXmgMaxPixels ||
        (unsigned long long)info.width * info.height > kXmgMaxPixels)
        ThrowId(IDS_ERROR_READING_PICTURE);
    if (info.bitsPerPixel < 1 || info.bitsPerPixel > 16)
        ThrowId(IDS_ERROR_READING_PICTURE);
    if (info.endOffset > fileSize || info.pixelOffset < firstData || info.pixelOffset > info.endOffset)
        ThrowId(IDS_ERROR_READING_PICTURE);
    const DWORD size = info.endOffset - info.pixelOffset;
    if (info.compressed == 0) {
        if ((unsigned long long)size != 2ull * info.width * info.height)
            ThrowId(IDS_ERROR_READING_PICTURE);
    } else if (info.compressed == 1) {
        if (size < LeastStreamSize(info.width, info.height, info.bitsPerPixel))
            ThrowId(IDS_ERROR_READING_PICTURE);
    } else {
        ThrowId(IDS_WRONG_COMPRESSION_FORMAT);
    }
}

// Frees a PixelAlloc block when it goes out of scope; a block of 0 bytes is
// none (null, and no allocation counted).
class PixelBlock
{
public:
    enum Fill { kZeroed, kForOverwrite };
    // `fresh` as PixelAllocForOverwrite sets it (kForOverwrite only).
    explicit PixelBlock(size_t bytes, Fill fill = kZeroed, bool* fresh = nullptr)
        : p(bytes == 0 ? nullptr : fill == kZeroed ? PixelAlloc(bytes) : PixelAllocForOverwrite(bytes, fresh))
    {
    }
    ~PixelBlock() { PixelFree(p); }
    PixelBlock(const PixelBlock&) = delete;
    PixelBlock& operator=(const PixelBlock&) = delete;
    void* Get() const { return p; }
    BYTE* Bytes() const { return static_cast<BYTE*>(p); }

private:
    void* p;
};

// One write of the file; false with the error code when it fails.
bool WritePart(HANDLE file, const void* data, DWORD count, DWORD* error)
{
    if (SaveStepFails(SaveStep::WriteImageFile, error))
        return false;
    DWORD done = 0;
    if (!WriteFile(file, data, count, &done, nullptr)) {
        *error = GetLastError();
        return false;
    }
    if (done != count) {
        *error = ERROR_HANDLE_DISK_FULL;
        return false;
    }
    return true;
}

// ReadExact into memory of the reader's own, whose protection nobody
// changed (the stream block, the blocks of the header and of the texts): the
// stream block is read a hundred times an image and more, and each pair of
// VirtualProtect calls costs 6 us under Wine. Nothing to read is success.
bool ReadOwn(HANDLE file, void* buffer, DWORD count)
{
    if (count == 0)
        return true;
    DWORD done = 0;
    const BOOL ok = ReadFile(file, buffer, count, &done, nullptr);
    if (ok && done != count)
        SetLastError(ERROR_HANDLE_EOF);
    return ok && done == count;
}

// The stream of a file for BandDecode: the next bytes of the pixel block, of
// which `left` are still unread; a failed read throws as the reader's own do.
struct StreamSource
{
    HANDLE file;
    DWORD* left;
};

uint32_t ReadStreamPart(void* context, uint8_t* into, uint32_t most)
{
    StreamSource& s = *static_cast<StreamSource*>(context);
    const DWORD take = *s.left < most ? *s.left : most;
    if (!ReadOwn(s.file, into, take))
        ThrowId(IDS_ERROR_READING_PICTURE);
    *s.left -= take;
    return take;
}

}  // namespace

bool ReadExact(HANDLE file, void* buffer, DWORD count)
{
    if (count == 0)
        return true;
    // The destination may be a raster whose pages were protected by the
    // caller: they are writable for the read only.
    DWORD oldProtect = 0;
    const bool changed = VirtualProtect(buffer, count, PAGE_READWRITE, &oldProtect) != 0;
    const bool ok = ReadOwn(file, buffer, count);
    const DWORD error = ok ? NO_ERROR : GetLastError();
    if (changed) {
        DWORD ignored = 0;
        VirtualProtect(buffer, count, oldProtect, &ignored);
    }
    SetLastError(error);
    return ok;
}

bool SnimokFile::ReadHeader(HANDLE file, DWORD* version, BYTE header[kXmgHeaderSize])
{
    if (!SeekTo(file, 0) || !ReadOwn(file, header, kXmgHeaderSize) || GetLe32(header) != kXmgMagic) {
        SetLastError(ERROR_BAD_FORMAT);
        return false;
    }
    *version = GetLe32(header + 4);
    return true;
}

bool SnimokFile::ReadInfoV1(HANDLE file, BYTE block[kXmgInfoSizeV1])
{
    return SeekTo(file, 0) && ReadOwn(file, block, kXmgInfoSizeV1);
}

bool SnimokFile::ReadInfoV2(HANDLE file, BYTE block[kXmgInfoSizeV2])
{
    return SeekTo(file, kXmgHeaderSize) && ReadOwn(file, block, kXmgInfoSizeV2);
}

void SnimokFile::ParseInfoV1(const BYTE block[kXmgInfoSizeV1], XmgInfo& info)
{
    ZeroMemory(&info, sizeof info);
    info.version = GetLe32(block + 4);
    info.endOffset = GetLe32(block + 8);
    info.compressed = 0;        // the word at 12 is the width: these files are always raw
    info.width = GetLe32(block + 12);
    info.height = GetLe32(block + 16);
    info.pixelOffset = GetLe32(block + 20);
    info.textOffset = GetLe32(block + 24);
    info.date = GetFileTimeLe(block + 32);
    info.textEncoding = block[40];
    const BYTE flags = block[42];
    info.imageFlags = flags & 0x11;
    info.bitsPerPixel = (flags & 0x20) ? GetLe16(block + 58) : 16;
    // No spacing fields: the defaults, whatever flag bit 0 says.
    info.spacingX = info.spacingY = 0.0f;
}

void SnimokFile::ParseInfoV2(const BYTE header[kXmgHeaderSize], const BYTE block[kXmgInfoSizeV2], XmgInfo& info)
{
    ZeroMemory(&info, sizeof info);
    info.version = GetLe32(header + 4);
    info.endOffset = GetLe32(header + 8);
    info.compressed = GetLe32(header + 12);
    info.pixelOffset = GetLe32(block + 0);
    info.textOffset = GetLe32(block + 4);
    info.width = GetLe32(block + 8);
    info.height = GetLe32(block + 12);
    info.extra[0] = GetLe32(block + 16);
    info.extra[1] = GetLe32(block + 20);
    info.bitsPerPixel = GetLe32(block + 24);
    info.imageId = GetLe32(block + 28);
    info.date = GetFileTimeLe(block + 32);
    info.textEncoding = block[40];
    info.imageFlags = GetLe32(block + 44);
    info.spacingX = GetFloatLe(block + 48);
    info.spacingY = GetFloatLe(block + 52);
}

DPicturePtr SnimokFile::Load(HANDLE file, bool readTexts, bool takeId)
{
    BYTE header[kXmgHeaderSize];
    DWORD version = 0;
    if (!ReadHeader(file, &version, header))
        ThrowId(IDS_PICTURE_VERSION_ERROR);

    XmgInfo info;
    if (version == kXmgVersion2) {
        BYTE block[kXmgInfoSizeV2];
        if (!ReadInfoV2(file, block))
            ThrowId(IDS_ERROR_READING_PICTURE);
        ParseInfoV2(header, block, info);
    } else if (version == kXmgVersion1) {
        BYTE block[kXmgInfoSizeV1];
        if (!ReadInfoV1(file, block))
            ThrowId(IDS_ERROR_READING_PICTURE);
        ParseInfoV1(block, info);
    } else {
        ThrowId(IDS_WRONG_COMPRESSION_FORMAT);
    }

    DWORD fileSize = 0;
    if (!FileSize(file, &fileSize))
        ThrowId(IDS_ERROR_READING_PICTURE);
    CheckInfo(info, fileSize);

    // One raster, source and work alike, which the pixel block fills whole:
    // the viewer shows it as it is unless it sharpens it (then the work
    // raster gets its own).
    DPicturePtr picture;
    bool fresh = false;
    if (!picture.CreateNew() || !picture->AllocShared((int)info.width, (int)info.height, &fresh))
        ThrowId(IDS_ERROR_ALLOCATING_MEMORY);

    DPicture* p = picture.Get();
    if (takeId)
        p->imageId = info.imageId;
    p->extra[0] = info.extra[0];
    p->extra[1] = info.extra[1];
    p->bitsPerPixel = (int32_t)info.bitsPerPixel;
    p->levels = 1 << info.bitsPerPixel;
    p->imageDate = info.date;
    p->imageFlags = info.imageFlags;
    if ((info.imageFlags & DPictureBase::kSpacingKnown) && info.version == kXmgVersion2) {
        p->spacingX = info.spacingX;
        p->spacingY = info.spacingY;
    } else {
        p->spacingX = p->spacingY = kXmgDefaultSpacing;
    }

    // A file written without texts has the text offset 0: nothing to read.
    if (readTexts && info.textOffset != 0)
        ReadTexts(p, file, info.textOffset, fileSize, info.textEncoding == 1);

    ReadPixels(p, file, info.pixelOffset, info.compressed, info.endOffset - info.pixelOffset, fresh);
    return picture;
}

void SnimokFile::ReadTexts(DPicture* picture, HANDLE file, DWORD offset, DWORD fileSize, bool utf16)
{
    if (offset < kXmgHeaderSize || offset > fileSize || fileSize - offset < kXmgTextHeadSize)
        ThrowId(IDS_ERROR_READING_PICTURE);
    BYTE head[kXmgTextHeadSize];
    if (!SeekTo(file, offset) || !ReadOwn(file, head, kXmgTextHeadSize))
        ThrowId(IDS_ERROR_READING_PICTURE);
    const DWORD blockSize = GetLe32(head);
    if (blockSize < kXmgTextHeadSize || blockSize > fileSize - offset)
        ThrowId(IDS_ERROR_READING_PICTURE);

    // The block this program writes (at most 1,553 bytes) is read into the
    // stack; a larger one into pixel memory, whose fresh pages and release
    // would cost an open more than the names themselves.
    const DWORD restSize = blockSize - kXmgTextHeadSize;
    BYTE local[kXmgTextLocalBytes];
    PixelBlock large(restSize > sizeof local ? restSize : 0);
    BYTE* restBytes = local;
    if (restSize > sizeof local) {
        if (!large.Get())
            ThrowId(IDS_ERROR_READING_PICTURE);
        restBytes = large.Bytes();
    }
    if (!ReadOwn(file, restBytes, restSize))
        ThrowId(IDS_ERROR_READING_PICTURE);

    PatientInfo& patient = picture->patient;
    patient.SetPatientId(GetLe32(head + 4));
    patient.SetSex(head[10]);
    patient.SetBirthday(GetFileTimeLe(head + 12));

    const int strings = head[8];
    const BYTE* at = restBytes;
    const BYTE* end = at + restSize;
    wchar_t converted[kXmgMaxNameChars + 1];
    for (int i = 0; i < strings; ++i) {
        if (at >= end)
            ThrowId(IDS_ERROR_READING_PICTURE);
        const DWORD chars = *at++;
        const DWORD bytes = utf16 ? chars * 2 : chars;
        if ((DWORD)(end - at) < bytes)
            ThrowId(IDS_ERROR_READING_PICTURE);
        if (i < PatientInfo::GetNameCount()) {
            int length = 0;
            if (utf16) {
                for (DWORD c = 0; c < chars; ++c)
                    converted[c] = (wchar_t)GetLe16(at + 2 * c);
                length = (int)chars;
            } else if (chars > 0) {
                length = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(at), (int)chars, converted,
                                             kXmgMaxNameChars);
            }
            patient.SetName(i, converted, length);
        }
        at += bytes;
    }
}

void SnimokFile::ReadPixels(DPicture* picture, HANDLE file, DWORD offset, DWORD compressed, DWORD size,
                            bool freshRaster)
{
    if (!SeekTo(file, offset))
        ThrowSystemText(GetLastError());
    const int width = picture->width, height = picture->height;
    const size_t rowBytes = (size_t)width * 2;
    // A large stream is decoded band by band on helper threads while it is
    // read (banddecode.h), each taking the faults of its own rows.
    const bool bands = compressed == 1 && BandDecode::Suits(width, height, picture->bitsPerPixel, kPixelKeepSmallest);
    // Otherwise the pages of a fresh raster are committed on helper threads
    // while the pixels arrive (commitahead.h); declared first, so that it
    // outlives the decoder that tells it how far the pixels have come.
    CommitAhead ahead(picture->GetBits(), rowBytes, height, freshRaster && !bands);
    if (compressed == 0) {
        if ((unsigned long long)size != 2ull * (unsigned)width * (unsigned)height)
            ThrowId(IDS_ERROR_READING_PICTURE);
        // A piece at a time, each committed before the read: a read into
        // untouched pages faults twice on each.
        const int pieceRows = rowBytes < kRawPiece ? (int)(kRawPiece / rowBytes) : 1;
        for (int row = 0; row < height; row += pieceRows) {
            const int rows = height - row < pieceRows ? height - row : pieceRows;
            ahead.Reach(row + rows);
            if (!ReadExact(file, picture->GetBits() + (size_t)row * width, (DWORD)(rows * rowBytes)))
                ThrowId(IDS_ERROR_READING_PICTURE);
        }
        return;
    }
    if (compressed != 1)
        ThrowId(IDS_WRONG_COMPRESSION_FORMAT);
    // The stream is read and decoded a piece at a time, so that no buffer of
    // the whole stream is committed. A tile cut by a piece's end waits at
    // the front of the buffer for the rest.
    static_assert(kStreamRead + kMaxTileBytes + kDecodeSlack <= kPixelKeepSmallest, "the reads fit the block");
    bool freshStream = false;
    PixelBlock stream(kPixelKeepSmallest, PixelBlock::kForOverwrite, &freshStream);
    if (!stream.Get())
        ThrowId(IDS_ERROR_ALLOCATING_MEMORY);
    TileStreamDecoder decoder(picture->GetBits(), width, height, picture->bitsPerPixel, bands ? nullptr : &ahead);
    DWORD held = 0, left = size;
    if (bands) {
        // The bands first; what was read past the last one waits at the
        // front of the block for the strips and the corner below. A band
        // takes at most a third of the block, so that with it the next read
        // still fits.
        static_assert(kPixelKeepSmallest / BandDecode::kLeastSlots + kStreamRead + kDecodeSlack <= kPixelKeepSmallest,
                      "the rest of the last band and a read fit the block");
        StreamSource source = {file, &left};
        const int64_t carried = BandDecode::Run(decoder, picture->GetBits(), width, height, picture->bitsPerPixel,
                                                stream.Bytes(), kPixelKeepSmallest, freshStream, ReadStreamPart,
                                                &source);
        if (carried < 0)
            ThrowId(IDS_FILE_PROCESSING_ERROR);
        held = (DWORD)carried;
    }
    while (!decoder.Done()) {
        const DWORD take = left < kStreamRead ? left : kStreamRead;
        if (!ReadOwn(file, stream.Bytes() + held, take))
            ThrowId(IDS_ERROR_READING_PICTURE);
        held += take;
        left -= take;
        memset(stream.Bytes() + held, 0, kDecodeSlack);
        const int32_t used = decoder.Feed(stream.Bytes(), (int32_t)held, left == 0);
        if (used < 0 || (left == 0 && !decoder.Done()))
            ThrowId(IDS_FILE_PROCESSING_ERROR);
        held -= (DWORD)used;
        memmove(stream.Bytes(), stream.Bytes() + used, held);
    }
}

DWORD SnimokFile::BuildTextBlock(const PatientInfo& patient, BYTE* out)
{
    const int names = PatientInfo::GetNameCount();
    DWORD size = kXmgTextHeadSize;
    for (int i = 0; i < names; ++i) {
        int length = patient.GetNameLength(i);
        // A longer name keeps its first 255 characters: the length byte holds no more.
        if (length > kXmgMaxNameChars)
            length = kXmgMaxNameChars;
        size += 1 + 2 * (DWORD)length;
    }
    if (!out)
        return size;
    ZeroMemory(out, kXmgTextHeadSize);
    PutLe32(out, size);
    PutLe32(out + 4, patient.GetPatientId());
    out[8] = (BYTE)names;
    out[10] = (BYTE)patient.GetSex();
    PutFileTimeLe(out + 12, patient.GetBirthday());
    BYTE* at = out + kXmgTextHeadSize;
    for (int i = 0; i < names; ++i) {
        int length = patient.GetNameLength(i);
        if (length > kXmgMaxNameChars)
            length = kXmgMaxNameChars;
        const wchar_t* text = patient.GetName(i);
        *at++ = (BYTE)length;
        for (int c = 0; c < length; ++c, at += 2)
            PutLe16(at, (WORD)text[c]);
    }
    return size;
}

int SnimokFile::Save(const DPicturePtr& handle, HANDLE file, DWORD* error, bool writeTexts)
{
    DWORD dummy = 0;
    if (!error)
        error = &dummy;
    *error = NO_ERROR;
    const DPicture* picture = handle.Get();
    if (!picture || !picture->GetBits()) {
        *error = ERROR_INVALID_PARAMETER;
        return 0;
    }

    // The raster to keep: the full-size one of a reduced picture, turned back
    // from the shown orientation to the stored one.
    const bool reduced = (picture->stateFlags & DPictureBase::kReduced) && picture->full;
    const uint16_t* raster = reduced ? picture->full : picture->GetBits();
    int width = reduced ? picture->fullWidth : picture->width;
    int height = reduced ? picture->fullHeight : picture->height;
    double spacingX = reduced ? picture->fullSpacingX : picture->spacingX;
    double spacingY = reduced ? picture->fullSpacingY : picture->spacingY;

    const CopyKernel inverse = InverseOrientationKernel(picture->orientation);
    uint16_t* turned = nullptr;
    if (inverse) {
        turned = AllocRaster(width, height);
        if (!turned) {
            *error = PixelAllocError();
            return 0;
        }
        inverse(raster, turned, width, height);
        raster = turned;
        if (picture->orientation & 4) {
            int t = width;
            width = height;
            height = t;
            double s = spacingX;
            spacingX = spacingY;
            spacingY = s;
        }
    }
    struct TurnedGuard {
        uint16_t* p;
        ~TurnedGuard() { PixelFree(p); }
    } turnedGuard = {turned};

    BYTE header[kXmgHeaderSize];
    BYTE info[kXmgInfoSizeV2];
    ZeroMemory(info, sizeof info);
    DWORD endOffset = kXmgHeaderSize + kXmgInfoSizeV2;
    PutLe32(info + 8, (DWORD)width);
    PutLe32(info + 12, (DWORD)height);
    PutLe32(info + 16, picture->extra[0]);
    PutLe32(info + 20, picture->extra[1]);
    // A picture made in memory without a depth (or with one no file may
    // carry) is kept at 16 bits: the reader refuses any depth outside 1..16,
    // so writing it as it is would report success for a file nobody can open.
    const int depth = picture->bitsPerPixel >= 1 && picture->bitsPerPixel <= 16 ? picture->bitsPerPixel : 16;
    PutLe32(info + 24, (DWORD)depth);
    PutLe32(info + 28, picture->imageId);
    PutFileTimeLe(info + 32, picture->imageDate);
    info[40] = 1;   // UTF-16 texts
    PutLe32(info + 44, picture->imageFlags);
    PutFloatLe(info + 48, (float)spacingX);
    PutFloatLe(info + 52, (float)spacingY);

    BYTE texts[kXmgTextHeadSize + 3 * (1 + 2 * kXmgMaxNameChars)];
    DWORD textSize = 0;
    if (writeTexts) {
        textSize = BuildTextBlock(picture->patient, texts);
        PutLe32(info + 4, endOffset);
        endOffset += textSize;
    }

    // The encoder writes every byte of the stream it returns, and only those
    // are written to the file: the block needs no zero fill (18 MB for a
    // 3000 x 3000 picture).
    const uint32_t bound = EncodeBufferBound(width, height);
    PixelBlock encoded(bound, PixelBlock::kForOverwrite);
    if (!encoded.Get()) {
        *error = PixelAllocError();
        return 0;
    }
    DWORD compressed = 1;
    const void* pixels = encoded.Get();
    int32_t pixelSize = EncodeRaster(raster, encoded.Bytes(), (int32_t)bound, width, height, depth);
    if (pixelSize < 0) {
        // The stream would not fit: the raw raster instead.
        compressed = 0;
        pixels = raster;
        pixelSize = (int32_t)(2u * (uint32_t)width * (uint32_t)height);
    }
    PutLe32(info + 0, endOffset);
    endOffset += (DWORD)pixelSize;

    PutLe32(header, kXmgMagic);
    PutLe32(header + 4, kXmgVersion2);
    PutLe32(header + 8, endOffset);
    PutLe32(header + 12, compressed);

    if (!WritePart(file, header, kXmgHeaderSize, error) || !WritePart(file, info, kXmgInfoSizeV2, error) ||
        (textSize && !WritePart(file, texts, textSize, error)) ||
        !WritePart(file, pixels, (DWORD)pixelSize, error)) {
        LogError(*error, L"Error save snimok file");
        return 0;
    }
    return 1;
}
