// The BMP reader and writer of the image import and export: 8 and 24 bits,
// bottom-up and top-down, the palette the header gives, the header's image
// size, padded rows; every damaged header refused with its message number.
#include "exchange/imagefiles/bmpformat.h"

#include "images_file_builders.h"
#include "resources/strings.h"

#include <stdint.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

using namespace exchtest;

namespace {

struct Read
{
    unsigned error;
    BmpLayout layout;
    std::vector<uint16_t> raster;
    uint16_t top;
};

Read ReadAll(const std::vector<uint8_t>& file)
{
    Read r = {};
    MemorySource in(file.data(), file.size());
    r.error = ReadBmpLayout(in, r.layout);
    if (r.error)
        return r;
    r.raster.assign((size_t)r.layout.width * r.layout.height, 0xFFFF);
    r.error = ReadBmpPixels(in, r.layout, r.raster.data(), &r.top);
    return r;
}

std::vector<uint16_t> Widen(const std::vector<uint8_t>& grey)
{
    return std::vector<uint16_t>(grey.begin(), grey.end());
}

unsigned LayoutError(const std::vector<uint8_t>& file)
{
    MemorySource in(file.data(), file.size());
    BmpLayout layout;
    return ReadBmpLayout(in, layout);
}

}  // namespace

TEST(BmpReader, EightAndTwentyFourBitsBottomUpAndTopDownGiveThePicture)
{
    for (int bits : {8, 24}) {
        for (bool topDown : {false, true}) {
            for (int width : {1, 5, 8, 13}) {
                BmpShape shape;
                shape.bits = bits;
                shape.topDown = topDown;
                shape.width = width;
                shape.height = 4;
                const std::vector<uint8_t> grey = GreyPattern(width, 4);
                const Read r = ReadAll(MakeBmp(shape, grey));
                ASSERT_EQ(0u, r.error) << bits << " bits, top-down " << topDown << ", width " << width;
                EXPECT_EQ(width, r.layout.width);
                EXPECT_EQ(4, r.layout.height);
                EXPECT_EQ(topDown, r.layout.topDown);
                EXPECT_EQ(Widen(grey), r.raster) << bits << " bits, top-down " << topDown << ", width " << width;
                EXPECT_EQ(*std::max_element(grey.begin(), grey.end()), r.top);
            }
        }
    }
}

// A source that counts its reads.
class CountingSource : public MemorySource
{
public:
    using MemorySource::MemorySource;
    bool ReadAt(uint64_t offset, void* dst, uint32_t count) override
    {
        ++reads;
        return MemorySource::ReadAt(offset, dst, count);
    }
    int reads = 0;
};

// The pixels come in blocks of many rows, or in pieces of a row longer than a
// block, never a read a row (a read a row of a picture one pixel wide took
// seconds): every shape reads whole, in a handful of reads.
TEST(BmpReader, TallWideAndLargePicturesAreReadWholeInAFewReads)
{
    struct Case
    {
        int width, height;
    };
    const Case cases[] = {{1, 70000}, {300000, 1}, {2, 40000}, {301, 900}, {90001, 3}};
    for (int bits : {8, 24}) {
        for (bool topDown : {false, true}) {
            for (const Case& c : cases) {
                BmpShape shape;
                shape.bits = bits;
                shape.topDown = topDown;
                shape.width = c.width;
                shape.height = c.height;
                const std::vector<uint8_t> grey = GreyPattern(c.width, c.height);
                const std::vector<uint8_t> file = MakeBmp(shape, grey);
                CountingSource in(file.data(), file.size());
                BmpLayout layout;
                ASSERT_EQ(0u, ReadBmpLayout(in, layout));
                std::vector<uint16_t> raster((size_t)c.width * c.height, 0xFFFF);
                uint16_t top = 0;
                in.reads = 0;
                ASSERT_EQ(0u, ReadBmpPixels(in, layout, raster.data(), &top))
                    << bits << " bits, " << c.width << "x" << c.height;
                EXPECT_TRUE(Widen(grey) == raster) << bits << " bits, top-down " << topDown << ", " << c.width << "x"
                                                   << c.height;
                EXPECT_EQ(*std::max_element(grey.begin(), grey.end()), top);
                EXPECT_LE(in.reads, 8) << bits << " bits, " << c.width << "x" << c.height;
            }
        }
    }
}

TEST(BmpReader, AHeaderImageSizeOfZeroReadsTheRowsThemselves)
{
    BmpShape shape;
    shape.imageSizeZero = true;
    shape.width = 7;
    const std::vector<uint8_t> grey = GreyPattern(7, 3);
    const Read r = ReadAll(MakeBmp(shape, grey));
    ASSERT_EQ(0u, r.error);
    EXPECT_EQ(8u, r.layout.rowSize);
    EXPECT_EQ(Widen(grey), r.raster);
}

TEST(BmpReader, ThePaletteHoldsAsManyEntriesAsTheHeaderSays)
{
    // Sixteen entries, the pixels right behind them: reading 256 entries
    // would take the pixels for colours (and run past a small file). Rows of
    // twelve: eight pixels a step, then four one by one.
    BmpShape shape;
    shape.colorsUsed = 16;
    shape.paletteEntries = 16;
    shape.width = 12;
    shape.height = 2;
    std::vector<uint8_t> grey = {0, 1, 2, 15, 14, 13, 12, 11, 10, 9, 8, 7, 3, 4, 5, 6, 15, 14, 13, 12, 11, 10, 9, 8};
    std::vector<uint8_t> file = MakeBmp(shape, grey);
    Read r = ReadAll(file);
    ASSERT_EQ(0u, r.error);
    EXPECT_EQ(16u, r.layout.paletteEntries);
    EXPECT_EQ(Widen(grey), r.raster);
    EXPECT_EQ(15, r.top);

    // An index beyond the palette reads as 0 at every place of a row, and is
    // no maximum.
    const size_t firstFileRow = 14 + 40 + 16 * 4;   // the last picture row
    for (size_t x = 0; x < 12; ++x) {
        std::vector<uint8_t> damaged = file;
        damaged[firstFileRow + x] = 200;
        r = ReadAll(damaged);
        ASSERT_EQ(0u, r.error);
        std::vector<uint16_t> expected = Widen(grey);
        expected[12 + x] = 0;
        EXPECT_EQ(expected, r.raster) << "pixel " << x;
        EXPECT_EQ(*std::max_element(expected.begin(), expected.end()), r.top) << "pixel " << x;
    }

    // A header count of 0 means 256.
    shape.colorsUsed = 0;
    shape.paletteEntries = 256;
    EXPECT_EQ(256u, ReadAll(MakeBmp(shape, grey)).layout.paletteEntries);
}

TEST(BmpReader, LongerInformationHeadersAreReadForTheirFirstFortyBytes)
{
    BmpShape shape;
    shape.infoSize = 124;
    shape.bits = 24;
    const std::vector<uint8_t> grey = GreyPattern(5, 3);
    const Read r = ReadAll(MakeBmp(shape, grey));
    ASSERT_EQ(0u, r.error);
    EXPECT_EQ(Widen(grey), r.raster);
}

TEST(BmpReader, DamagedHeadersAreRefusedWithTheirMessages)
{
    const std::vector<uint8_t> grey = GreyPattern(5, 3);
    BmpShape good;
    const std::vector<uint8_t> valid = MakeBmp(good, grey);
    ASSERT_EQ(0u, LayoutError(valid));

    struct Case
    {
        const char* what;
        size_t at;          // field offset, or SIZE_MAX to cut the file
        uint32_t value;
        int bytes;
        unsigned expected;
    };
    const Case cases[] = {
        {"no BM", 0, 0x4142, 2, IDS_BMP_NOT_BMP},
        {"compressed", 30, 1, 4, IDS_BMP_COMPRESSION},
        {"16 bits", 28, 16, 2, IDS_BMP_COLOR_COUNT},
        {"1 bit", 28, 1, 2, IDS_BMP_COLOR_COUNT},
        {"core header", 14, 12, 4, IDS_BMP_NOT_BMP},
        {"two planes", 26, 2, 2, IDS_BMP_NOT_BMP},
        {"width 0", 18, 0, 4, IDS_BMP_NOT_BMP},
        {"negative width", 18, 0xFFFFFFFB, 4, IDS_BMP_NOT_BMP},
        {"height 0", 22, 0, 4, IDS_BMP_NOT_BMP},
        {"height INT_MIN", 22, 0x80000000, 4, IDS_BMP_NOT_BMP},
        {"huge picture", 18, 0x10000, 4, IDS_BMP_NOT_BMP},
        {"image size too small", 34, 8, 4, IDS_BMP_NOT_BMP},
        {"more than 256 colours", 46, 257, 4, IDS_BMP_NOT_BMP},
        {"pixels past the end", 10, 0x10000, 4, IDS_BMP_SEEK_ERROR},
        {"pixels inside the headers", 10, 20, 4, IDS_BMP_SEEK_ERROR},
        {"taller than the file", 22, 300, 4, IDS_BMP_SEEK_ERROR},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = valid;
        if (c.bytes == 2)
            Le16(file, c.at, c.value);
        else
            Le32(file, c.at, c.value);
        if (c.at == 18 && c.value == 0x10000)
            Le32(file, 22, 0x10000);
        if (c.at == 22 && c.value == 300)
            Le32(file, 34, 0);      // the header's image size would refuse it first
        EXPECT_EQ(c.expected, LayoutError(file)) << c.what;
    }

    // Cut files: inside a header, inside the palette, inside the rows.
    EXPECT_EQ((unsigned)IDS_BMP_READ_ERROR, LayoutError(std::vector<uint8_t>(valid.begin(), valid.begin() + 10)));
    EXPECT_EQ((unsigned)IDS_BMP_READ_ERROR, LayoutError(std::vector<uint8_t>(valid.begin(), valid.begin() + 30)));
    EXPECT_EQ((unsigned)IDS_BMP_SEEK_ERROR, LayoutError(std::vector<uint8_t>(valid.begin(), valid.begin() + 500)));
    EXPECT_EQ((unsigned)IDS_BMP_SEEK_ERROR, LayoutError(std::vector<uint8_t>(valid.begin(), valid.end() - 1)));

    // A palette that the file does not hold.
    BmpShape small;
    small.colorsUsed = 4;
    small.paletteEntries = 4;
    std::vector<uint8_t> file = MakeBmp(small, std::vector<uint8_t>(15, 1));
    Le32(file, 14, 40 + (uint32_t)file.size());     // the palette would start past the end
    EXPECT_EQ((unsigned)IDS_BMP_SEEK_ERROR, LayoutError(file));
}

TEST(BmpWriter, RowsArePaddedToFourBytesAndStoredBottomUp)
{
    const int width = 5, height = 3, stride = 7;
    std::vector<uint8_t> pixels((size_t)stride * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[(size_t)y * stride + x] = (uint8_t)(10 * y + x);
    ASSERT_EQ(1078u + 8u * 3u, BmpGreyFileSize(width, height));
    std::vector<uint8_t> file((size_t)BmpGreyFileSize(width, height), 0xAA);
    BuildGreyBmp(file.data(), pixels.data(), width, height, stride);

    EXPECT_EQ('B', file[0]);
    EXPECT_EQ('M', file[1]);
    EXPECT_EQ(file.size(), LoadLe32(&file[2]));
    EXPECT_EQ(1078u, LoadLe32(&file[10]));
    EXPECT_EQ(40u, LoadLe32(&file[14]));
    EXPECT_EQ(5u, LoadLe32(&file[18]));
    EXPECT_EQ(3u, LoadLe32(&file[22]));
    EXPECT_EQ(1, LoadLe16(&file[26]));
    EXPECT_EQ(8, LoadLe16(&file[28]));
    EXPECT_EQ(0u, LoadLe32(&file[30]));
    EXPECT_EQ(24u, LoadLe32(&file[34]));     // the padding counts
    EXPECT_EQ(256u, LoadLe32(&file[46]));
    EXPECT_EQ(256u, LoadLe32(&file[50]));
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(i, file[54 + 4 * i]);
        ASSERT_EQ(i, file[54 + 4 * i + 2]);
        ASSERT_EQ(0, file[54 + 4 * i + 3]);
    }
    // The first file row is the last picture row; the padding is zero.
    const uint8_t* first = &file[1078];
    EXPECT_EQ(20, first[0]);
    EXPECT_EQ(24, first[4]);
    EXPECT_EQ(0, first[5]);
    EXPECT_EQ(0, first[7]);

    // What the reader makes of it is the picture again.
    const Read r = ReadAll(file);
    ASSERT_EQ(0u, r.error);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(10 * y + x, r.raster[(size_t)y * width + x]);
}

TEST(BmpWriter, ARasterGoesThroughTheTable)
{
    const int width = 3, height = 2;
    const std::vector<uint16_t> raster = {0, 1000, 40000, 65535, 7, 300};
    std::vector<uint8_t> table(65536);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = (uint8_t)(i / 257);
    std::vector<uint8_t> file((size_t)BmpGreyFileSize(width, height));
    BuildGreyBmpFromRaster(file.data(), raster.data(), width, height, table.data());
    const Read r = ReadAll(file);
    ASSERT_EQ(0u, r.error);
    for (size_t i = 0; i < raster.size(); ++i)
        EXPECT_EQ(table[raster[i]], r.raster[i]) << i;
    EXPECT_EQ(0u, BmpGreyFileSize(0, 5));
    EXPECT_EQ(0u, BmpGreyFileSize(70000, 70000));
}
