// The ".xmg" reader on files built by hand, byte by byte: both versions, raw
// and compressed pixels, UTF-16 and ANSI texts, and a crafted file for every
// message the reader gives.
#include "images/files/xmgfile.h"

#include "foundation/lefields.h"
#include "images/pixels/pixmem.h"
#include "images/pixels/tilecodec.h"
#include "imagefiles_fixture.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <string.h>

#include <thread>

using namespace imgtest;

namespace {

FILETIME Time(DWORD low, DWORD high)
{
    FILETIME t;
    t.dwLowDateTime = low;
    t.dwHighDateTime = high;
    return t;
}

void Put32(std::vector<BYTE>& b, size_t at, DWORD v)
{
    if (b.size() < at + 4)
        b.resize(at + 4);
    PutLe32(&b[at], v);
}

void PutFloat(std::vector<BYTE>& b, size_t at, float f)
{
    DWORD bits;
    memcpy(&bits, &f, 4);
    Put32(b, at, bits);
}

// A text block: head, then each name as its length and its characters.
std::vector<BYTE> TextBlock(DWORD patientId, BYTE sex, FILETIME birthday, const std::vector<std::wstring>& names,
                            bool utf16)
{
    std::vector<BYTE> block(20, 0);
    Put32(block, 4, patientId);
    block[8] = (BYTE)names.size();
    block[10] = sex;
    Put32(block, 12, birthday.dwLowDateTime);
    Put32(block, 16, birthday.dwHighDateTime);
    for (const std::wstring& name : names) {
        if (utf16) {
            block.push_back((BYTE)name.size());
            for (wchar_t c : name) {
                block.push_back((BYTE)c);
                block.push_back((BYTE)(c >> 8));
            }
        } else {
            char ansi[512];
            int n = WideCharToMultiByte(CP_ACP, 0, name.c_str(), (int)name.size(), ansi, 512, nullptr, nullptr);
            block.push_back((BYTE)n);
            block.insert(block.end(), ansi, ansi + n);
        }
    }
    Put32(block, 0, (DWORD)block.size());
    return block;
}

std::vector<BYTE> RawPixels(const std::vector<uint16_t>& raster)
{
    std::vector<BYTE> bytes(raster.size() * 2);
    for (size_t i = 0; i < raster.size(); ++i)
        PutLe16(&bytes[2 * i], raster[i]);
    return bytes;
}

std::vector<BYTE> Compressed(const std::vector<uint16_t>& raster, int width, int height, int bits)
{
    std::vector<BYTE> out(EncodeBufferBound(width, height) + 16);
    int32_t n = EncodeRaster(raster.data(), out.data(), (int32_t)out.size(), width, height, bits);
    EXPECT_GT(n, 0);
    out.resize(n > 0 ? n : 0);
    return out;
}

// A version 0x20000 file as the system writes it: header, block, texts, pixels.
struct V2File {
    DWORD width = 0, height = 0, bits = 16;
    DWORD imageId = 0, flags = 0, extra0 = 0, extra1 = 0;
    float spacingX = 0, spacingY = 0;
    FILETIME date = {};
    BYTE encoding = 1;
    DWORD compressed = 0;
    std::vector<BYTE> texts;
    std::vector<BYTE> pixels;

    std::vector<BYTE> Build() const
    {
        std::vector<BYTE> f(84, 0);
        Put32(f, 0, kXmgMagic);
        Put32(f, 4, kXmgVersion2);
        Put32(f, 12, compressed);
        DWORD at = 84;
        if (!texts.empty()) {
            Put32(f, 20, at);
            f.insert(f.end(), texts.begin(), texts.end());
            at += (DWORD)texts.size();
        }
        Put32(f, 16, at);
        Put32(f, 24, width);
        Put32(f, 28, height);
        Put32(f, 32, extra0);
        Put32(f, 36, extra1);
        Put32(f, 40, bits);
        Put32(f, 44, imageId);
        Put32(f, 48, date.dwLowDateTime);
        Put32(f, 52, date.dwHighDateTime);
        f[56] = encoding;
        Put32(f, 60, flags);
        PutFloat(f, 64, spacingX);
        PutFloat(f, 68, spacingY);
        f.insert(f.end(), pixels.begin(), pixels.end());
        Put32(f, 8, (DWORD)f.size());
        return f;
    }
};

// A version 0x10000 file: its 64-byte block from offset 0, texts, raw pixels.
struct V1File {
    DWORD width = 0, height = 0;
    BYTE flags = 0;
    WORD bits = 0;
    FILETIME date = {};
    BYTE encoding = 1;
    std::vector<BYTE> texts;
    std::vector<BYTE> pixels;

    std::vector<BYTE> Build() const
    {
        std::vector<BYTE> f(64, 0);
        Put32(f, 0, kXmgMagic);
        Put32(f, 4, kXmgVersion1);
        Put32(f, 12, width);
        Put32(f, 16, height);
        DWORD at = 64;
        if (!texts.empty()) {
            Put32(f, 24, at);
            f.insert(f.end(), texts.begin(), texts.end());
            at += (DWORD)texts.size();
        }
        Put32(f, 20, at);
        Put32(f, 32, date.dwLowDateTime);
        Put32(f, 36, date.dwHighDateTime);
        f[40] = encoding;
        f[42] = flags;
        PutLe16(&f[58], bits);
        f.insert(f.end(), pixels.begin(), pixels.end());
        Put32(f, 8, (DWORD)f.size());
        return f;
    }
};

class XmgReadTest : public ::testing::Test
{
protected:
    DataFolder folder;
    int serial = 0;

    std::wstring Write(const std::vector<BYTE>& bytes)
    {
        std::wstring path = folder.Path() + L"f" + std::to_wstring(++serial) + L".xmg";
        WriteBytes(path, bytes);
        return path;
    }
    DPicturePtr Load(const std::vector<BYTE>& bytes, bool texts = true, bool takeId = true)
    {
        std::wstring message;
        DPicturePtr p = LoadFile(Write(bytes), texts, takeId, &message);
        EXPECT_TRUE(p.Get()) << std::string(message.begin(), message.end());
        return p;
    }
    // The message a damaged file gives.
    std::wstring Refused(const std::vector<BYTE>& bytes, bool texts = true)
    {
        std::wstring message;
        DPicturePtr p = LoadFile(Write(bytes), texts, true, &message);
        EXPECT_FALSE(p.Get());
        return message;
    }
    static void ExpectRaster(const DPicture* p, const std::vector<uint16_t>& raster)
    {
        ASSERT_TRUE(p && p->GetBits());
        ASSERT_EQ((size_t)p->width * p->height, raster.size());
        EXPECT_EQ(0, memcmp(p->GetBits(), raster.data(), raster.size() * 2));
    }
    // A file of PatternRaster(width, height, bits).
    V2File Valid(int width = 37, int height = 35, bool compressed = true, int bits = 12)
    {
        V2File f;
        f.width = width;
        f.height = height;
        f.bits = bits;
        std::vector<uint16_t> raster = PatternRaster(width, height, bits);
        f.compressed = compressed ? 1 : 0;
        f.pixels = compressed ? Compressed(raster, width, height, bits) : RawPixels(raster);
        f.texts = TextBlock(17, 1, Time(5, 6), {L"Kuznetsov", L"Ivan", L"Petrovich"}, true);
        return f;
    }
};

// --- Good files ------------------------------------------------------------------

TEST_F(XmgReadTest, Version2RawWithUtf16TextsGivesEveryField)
{
    V2File f;
    f.width = 5;
    f.height = 3;
    f.bits = 10;
    f.imageId = 305;
    f.flags = 0x11;
    f.extra0 = 0xAABBCCDD;
    f.extra1 = 7;
    f.spacingX = 0.25f;
    f.spacingY = 0.5f;
    f.date = Time(0x12345678, 0x01D00000);
    std::vector<uint16_t> raster = PatternRaster(5, 3, 10);
    f.pixels = RawPixels(raster);
    f.texts = TextBlock(17, 2, Time(11, 22), {L"Иванов", L"Иван", L"Петрович"}, true);
    DPicturePtr p = Load(f.Build());
    ASSERT_TRUE(p.Get());
    EXPECT_EQ(5, p->width);
    EXPECT_EQ(3, p->height);
    EXPECT_EQ(10, p->bitsPerPixel);
    EXPECT_EQ(1024, p->levels);
    EXPECT_EQ(305u, p->imageId);
    EXPECT_EQ(0x11u, p->imageFlags);
    EXPECT_EQ(0xAABBCCDDu, p->extra[0]);
    EXPECT_EQ(7u, p->extra[1]);
    EXPECT_DOUBLE_EQ(0.25, p->spacingX);
    EXPECT_DOUBLE_EQ(0.5, p->spacingY);
    EXPECT_EQ(0x12345678u, p->imageDate.dwLowDateTime);
    EXPECT_EQ(0x01D00000u, p->imageDate.dwHighDateTime);
    EXPECT_EQ(17u, p->patient.GetPatientId());
    EXPECT_EQ(2u, p->patient.GetSex());
    EXPECT_EQ(11u, p->patient.GetBirthday().dwLowDateTime);
    EXPECT_EQ(22u, p->patient.GetBirthday().dwHighDateTime);
    EXPECT_STREQ(L"Иванов", p->patient.GetName(0));
    EXPECT_STREQ(L"Иван", p->patient.GetName(1));
    EXPECT_STREQ(L"Петрович", p->patient.GetName(2));
    EXPECT_EQ(0, p->stored);
    ExpectRaster(p.Get(), raster);
}

TEST_F(XmgReadTest, Version2CompressedWithAnsiTextsConvertsThroughTheAnsiCodePage)
{
    V2File f = Valid(70, 45, true);
    f.encoding = 0;
    f.texts = TextBlock(9, 1, Time(1, 2), {L"Müller", L"Hans", L""}, false);
    DPicturePtr p = Load(f.Build());
    ASSERT_TRUE(p.Get());
    EXPECT_STREQ(L"Müller", p->patient.GetName(0));
    EXPECT_STREQ(L"Hans", p->patient.GetName(1));
    EXPECT_STREQ(L"", p->patient.GetName(2));
    ExpectRaster(p.Get(), PatternRaster(70, 45, 12));
}

TEST_F(XmgReadTest, ThePictureReadShowsItsSourceRasterInReusedPages)
{
    // Kept blocks of the size of the raster and of the stream, full of
    // another picture's pixels: the reader overwrites every pixel it uses.
    const int W = 1024, H = 640;
    for (size_t bytes : {(size_t)W * H * 2, (size_t)W * H * 2 + 5000}) {
        void* block = PixelAlloc(bytes);
        ASSERT_TRUE(block);
        memset(block, 0x5A, bytes);
        PixelFree(block);
    }
    for (bool compressed : {true, false}) {
        V2File f = Valid(W, H, compressed);
        DPicturePtr p = Load(f.Build());
        ASSERT_TRUE(p.Get());
        EXPECT_EQ(p->GetBits(), p->GetWorkBits()) << "one raster, shown as it is";
        ExpectRaster(p.Get(), PatternRaster(W, H, 12));
        ASSERT_TRUE(p->RefreshWork());
        EXPECT_EQ(p->GetBits(), p->GetWorkBits());
    }
    PixelTrim();
}

TEST_F(XmgReadTest, SpacingFlagClearGivesTheDefaultSpacingWhateverTheFloatsHold)
{
    V2File f = Valid();
    f.flags = 0x10;
    f.spacingX = 9.0f;
    f.spacingY = 8.0f;
    DPicturePtr p = Load(f.Build());
    ASSERT_TRUE(p.Get());
    EXPECT_DOUBLE_EQ(0.347497, p->spacingX);
    EXPECT_DOUBLE_EQ(0.347497, p->spacingY);
    EXPECT_EQ(0x10u, p->imageFlags);
}

TEST_F(XmgReadTest, ImageIdAndTextsAreTakenOnlyWhenAsked)
{
    V2File f = Valid();
    f.imageId = 44;
    DPicturePtr p = Load(f.Build(), false, false);
    ASSERT_TRUE(p.Get());
    EXPECT_EQ(0u, p->imageId);
    EXPECT_EQ(0u, p->patient.GetPatientId());
    EXPECT_STREQ(L"", p->patient.GetName(0));
}

TEST_F(XmgReadTest, TextOffsetZeroWithTextsAskedMeansNoTexts)
{
    V2File f = Valid();
    f.texts.clear();
    DPicturePtr p = Load(f.Build(), true, true);
    ASSERT_TRUE(p.Get());
    EXPECT_EQ(0u, p->patient.GetPatientId());
    ExpectRaster(p.Get(), PatternRaster(37, 35, 12));
}

TEST_F(XmgReadTest, StringsAfterTheThirdAreSteppedOver)
{
    V2File f = Valid();
    f.texts = TextBlock(3, 0, Time(0, 0), {L"A", L"B", L"C", L"Fourth"}, true);
    DPicturePtr p = Load(f.Build());
    ASSERT_TRUE(p.Get());
    EXPECT_STREQ(L"C", p->patient.GetName(2));
}

TEST_F(XmgReadTest, Version1RawWithItsOwnBitsAndFlags)
{
    V1File f;
    f.width = 33;
    f.height = 9;
    f.flags = 0x20 | 0x10 | 0x01 | 0x04;    // bits present, carried bit, spacing bit, an unused bit
    f.bits = 12;
    f.date = Time(77, 88);
    std::vector<uint16_t> raster = PatternRaster(33, 9, 12);
    f.pixels = RawPixels(raster);
    f.texts = TextBlock(5, 1, Time(3, 4), {L"Сидоров", L"Алексей", L""}, true);
    DPicturePtr p = Load(f.Build());
    ASSERT_TRUE(p.Get());
    EXPECT_EQ(33, p->width);
    EXPECT_EQ(9, p->height);
    EXPECT_EQ(12, p->bitsPerPixel);
    EXPECT_EQ(0x11u, p->imageFlags);
    EXPECT_EQ(0u, p->imageId);
    EXPECT_EQ(0u, p->extra[0]);
    EXPECT_DOUBLE_EQ(0.347497, p->spacingX);
    EXPECT_EQ(77u, p->imageDate.dwLowDateTime);
    EXPECT_STREQ(L"Сидоров", p->patient.GetName(0));
    ExpectRaster(p.Get(), raster);
}

TEST_F(XmgReadTest, Version1WithoutTheBitsFlagIsSixteenBitsWithAnsiTexts)
{
    V1File f;
    f.width = 4;
    f.height = 4;
    f.bits = 9;     // ignored without flag bit 5
    f.encoding = 0;
    std::vector<uint16_t> raster = PatternRaster(4, 4, 16);
    f.pixels = RawPixels(raster);
    f.texts = TextBlock(8, 0, Time(0, 0), {L"Smith", L"John", L"Q"}, false);
    DPicturePtr p = Load(f.Build());
    ASSERT_TRUE(p.Get());
    EXPECT_EQ(16, p->bitsPerPixel);
    EXPECT_EQ(65536, p->levels);
    EXPECT_STREQ(L"Smith", p->patient.GetName(0));
    EXPECT_STREQ(L"Q", p->patient.GetName(2));
    ExpectRaster(p.Get(), raster);
}

// --- Damaged files: one message each, never a crash or a huge allocation -----------

TEST_F(XmgReadTest, ShortHeaderIsAVersionError)
{
    std::vector<BYTE> f = Valid().Build();
    f.resize(10);
    EXPECT_EQ(StringText(IDS_PICTURE_VERSION_ERROR), Refused(f));
    EXPECT_EQ(StringText(IDS_PICTURE_VERSION_ERROR), Refused({}));
}

TEST_F(XmgReadTest, MagicWrongInOneByteIsAVersionError)
{
    std::vector<BYTE> f = Valid().Build();
    f[3] = 'H';
    EXPECT_EQ(StringText(IDS_PICTURE_VERSION_ERROR), Refused(f));
}

TEST_F(XmgReadTest, UnknownVersionIsWrongCompressionFormat)
{
    std::vector<BYTE> f = Valid().Build();
    Put32(f, 4, 0x30000);
    EXPECT_EQ(StringText(IDS_WRONG_COMPRESSION_FORMAT), Refused(f));
    Put32(f, 4, 0);
    EXPECT_EQ(StringText(IDS_WRONG_COMPRESSION_FORMAT), Refused(f));
}

TEST_F(XmgReadTest, UnknownCompressedValueIsWrongCompressionFormat)
{
    V2File v = Valid();
    v.compressed = 2;
    EXPECT_EQ(StringText(IDS_WRONG_COMPRESSION_FORMAT), Refused(v.Build()));
}

TEST_F(XmgReadTest, InformationBlockCutShortIsAReadError)
{
    std::vector<BYTE> f = Valid().Build();
    f.resize(50);
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(f));
    V1File v1;
    std::vector<BYTE> g = v1.Build();
    g.resize(40);
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(g));
}

TEST_F(XmgReadTest, ZeroHugeOrNegativeSizesAreReadErrors)
{
    const DWORD sizes[][2] = {{0, 35}, {37, 0}, {0x80000000u, 35}, {37, 0xFFFFFFFFu}, {60000, 60000}, {0x10000, 0x10000}};
    for (const auto& s : sizes) {
        std::vector<BYTE> f = Valid().Build();
        Put32(f, 24, s[0]);
        Put32(f, 28, s[1]);
        EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(f)) << s[0] << " x " << s[1];
    }
}

TEST_F(XmgReadTest, SizesTheStreamCannotHoldAreReadErrors)
{
    // 8,000 x 8,000 pixels would need at least 3 bytes per tile: the file is far too small.
    std::vector<BYTE> f = Valid().Build();
    Put32(f, 24, 8000);
    Put32(f, 28, 8000);
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(f));
}

TEST_F(XmgReadTest, BitsPerPixelOutsideOneToSixteenAreReadErrors)
{
    for (DWORD bits : {0u, 17u, 0xFFFFFFFFu}) {
        std::vector<BYTE> f = Valid().Build();
        Put32(f, 40, bits);
        EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(f)) << bits;
    }
}

TEST_F(XmgReadTest, EndOffsetPastTheFileIsAReadError)
{
    std::vector<BYTE> f = Valid().Build();
    f.resize(f.size() - 5);     // the file was cut short: the end offset no longer fits
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(f));
    std::vector<BYTE> g = Valid().Build();
    Put32(g, 8, 0xFFFFFFF0u);
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(g));
}

TEST_F(XmgReadTest, PixelOffsetPastTheEndOrInsideTheHeaderIsAReadError)
{
    for (DWORD offset : {0u, 16u, 83u, 0x7FFFFFFFu}) {
        std::vector<BYTE> f = Valid().Build();
        Put32(f, 16, offset);
        EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(f)) << offset;
    }
}

TEST_F(XmgReadTest, TextOffsetOrTextSizePastTheEndIsAReadError)
{
    std::vector<BYTE> f = Valid().Build();
    Put32(f, 20, (DWORD)f.size() - 4);
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(f));
    std::vector<BYTE> g = Valid().Build();
    Put32(g, 84, 0x7FFFFFFF);   // the block's size
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(g));
    std::vector<BYTE> h = Valid().Build();
    Put32(h, 84, 3);            // smaller than its own head
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(h));
    // Without texts asked the same file reads.
    std::wstring message;
    EXPECT_TRUE(LoadFile(Write(g), false, false, &message).Get());
}

TEST_F(XmgReadTest, StringRunningPastItsBlockIsAReadError)
{
    V2File v = Valid();
    v.texts[20] = 200;  // the first name claims 200 characters
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(v.Build()));
}

TEST_F(XmgReadTest, RawBlockOneByteShortIsAReadError)
{
    V2File v = Valid(6, 5, false);
    v.pixels.pop_back();
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(v.Build()));
    V1File w;
    w.width = 6;
    w.height = 5;
    w.pixels = RawPixels(PatternRaster(6, 5, 16));
    w.pixels.pop_back();
    EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), Refused(w.Build()));
}

TEST_F(XmgReadTest, TruncatedStreamIsAProcessingError)
{
    V2File v = Valid(64, 64, true);
    v.pixels.resize(v.pixels.size() - 7);
    EXPECT_EQ(StringText(IDS_FILE_PROCESSING_ERROR), Refused(v.Build()));
}

TEST_F(XmgReadTest, DamagedTileHeaderIsAProcessingError)
{
    V2File v = Valid(64, 64, true);
    v.pixels[0] = 255;
    EXPECT_EQ(StringText(IDS_FILE_PROCESSING_ERROR), Refused(v.Build()));
}

TEST_F(XmgReadTest, PictureThatCannotBeAllocatedIsAMemoryError)
{
    std::vector<BYTE> f = Valid().Build();
    SetPixelAllocFailure(0);
    EXPECT_EQ(StringText(IDS_ERROR_ALLOCATING_MEMORY), Refused(f));
    SetPixelAllocFailure(-1);
    // The stream buffer (after the one raster, source and work alike) too.
    SetPixelAllocFailure(1);
    EXPECT_EQ(StringText(IDS_ERROR_ALLOCATING_MEMORY), Refused(f, false));
    SetPixelAllocFailure(-1);
}

// --- The first open of a process and later ones -----------------------------

// 2003 x 1201 pixels: edge tiles on both sides, and a raster (4.8 MB) large
// enough for helper threads to decode its stream's bands (compressed) or to
// commit its fresh pages (raw) while the reader reads it.
const int kOpenWidth = 2003, kOpenHeight = 1201;

TEST_F(XmgReadTest, AnOpenGivesThePixelsInFreshAndKeptPages)
{
    const size_t bytes = (size_t)kOpenWidth * kOpenHeight * 2;
    for (int bits : {14, 16}) {
        const std::vector<uint16_t> px = PatternRaster(kOpenWidth, kOpenHeight, bits);
        for (bool compressed : {true, false}) {
            const std::vector<BYTE> file = Valid(kOpenWidth, kOpenHeight, compressed, bits).Build();
            // Fresh pages (nothing kept, as in the first open of a process),
            // then a kept block full of another picture's pixels.
            for (bool fresh : {true, false}) {
                SCOPED_TRACE(testing::Message() << bits << " bits" << (compressed ? ", compressed" : ", raw")
                                                << (fresh ? ", fresh pages" : ", kept pages"));
                PixelTrim();
                void* kept = nullptr;
                if (!fresh) {
                    kept = PixelAllocForOverwrite(bytes);
                    ASSERT_TRUE(kept);
                    memset(kept, 0x5A, bytes);
                    PixelFree(kept);
                }
                DPicturePtr p = Load(file);
                ASSERT_TRUE(p.Get());
                if (!fresh) {
                    EXPECT_EQ(kept, p->GetBits());
                }
                ExpectRaster(p.Get(), px);
            }
        }
    }
    PixelTrim();
}

// A large stream is decoded in bands on helper threads while it is read
// (banddecode.h): cut short or damaged in its bands, it gives the reader's
// message.
TEST_F(XmgReadTest, ALargeStreamCutShortOrDamagedInItsBandsIsAProcessingError)
{
    V2File v = Valid(kOpenWidth, kOpenHeight, true, 14);
    const std::vector<BYTE> whole = v.pixels;
    v.pixels.resize(whole.size() / 2);
    EXPECT_EQ(StringText(IDS_FILE_PROCESSING_ERROR), Refused(v.Build()));
    size_t band10 = 0;
    for (int b = 0; b < 10; ++b)
        band10 += (size_t)TileBandSize(whole.data() + band10, whole.size() - band10, kOpenWidth, 14);
    v.pixels = whole;
    v.pixels[band10] = 255;
    EXPECT_EQ(StringText(IDS_FILE_PROCESSING_ERROR), Refused(v.Build()));
    v.pixels = whole;
    EXPECT_TRUE(Load(v.Build()).Get());
}

// Bands too wide for three of them in the stream block: the reader decodes
// the stream alone, as a small one.
TEST_F(XmgReadTest, AStreamOfVeryWideBandsIsReadOnOneThread)
{
    const std::vector<BYTE> file = Valid(5500, 800, true, 12).Build();
    for (bool fresh : {true, false}) {
        SCOPED_TRACE(fresh ? "fresh pages" : "kept pages");
        if (fresh)
            PixelTrim();
        DPicturePtr p = Load(file);
        ASSERT_TRUE(p.Get());
        ExpectRaster(p.Get(), PatternRaster(5500, 800, 12));
    }
    PixelTrim();
}

// Readers on several threads at once, every raster on fresh pages (each
// picture is held to the end, so none is taken from kept pages): more rasters
// than the process has helpers, whose chunks wait for a helper or are touched
// by their writers.
TEST_F(XmgReadTest, OpensOnSeveralThreadsAtOnceGiveEachItsPixels)
{
    struct Reader
    {
        int bits;
        bool compressed;
        std::vector<uint16_t> px;
        std::wstring path;
        std::vector<DPicturePtr> opened;
    };
    std::vector<Reader> readers = {{14, true}, {16, true}, {16, false}, {12, true}};
    for (Reader& r : readers) {
        r.px = PatternRaster(kOpenWidth, kOpenHeight, r.bits);
        r.path = Write(Valid(kOpenWidth, kOpenHeight, r.compressed, r.bits).Build());
    }
    PixelTrim();
    std::vector<std::thread> threads;
    for (Reader& r : readers)
        threads.emplace_back([&r] {
            for (int i = 0; i < 3; ++i)
                r.opened.push_back(LoadFile(r.path, true, true, nullptr));
        });
    for (std::thread& t : threads)
        t.join();
    for (const Reader& r : readers) {
        SCOPED_TRACE(testing::Message() << r.bits << " bits" << (r.compressed ? ", compressed" : ", raw"));
        for (const DPicturePtr& p : r.opened)
            ExpectRaster(p.Get(), r.px);
    }
    readers.clear();
    PixelTrim();
}

}  // namespace
