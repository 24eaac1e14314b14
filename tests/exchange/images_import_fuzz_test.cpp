// A bounded, fixed-seed fuzz run of the import's readers: damaged,
// truncated and random BMP and ".xmg" files, and every prefix of valid ones,
// each in a heap block of exactly its size, so that a read past the input
// shows (natively the address sanitizer stops the run). Every file either
// reads or is refused with one of the readers' messages; no proper prefix of
// a valid file reads.
#include "exchange/imagefiles/bmpformat.h"
#include "exchange/imagefiles/xmgtext.h"

#include "images_file_builders.h"
#include "images/pixels/tilecodec.h"
#include "resources/strings.h"

#include <stdint.h>
#include <string.h>

#include <memory>
#include <random>
#include <set>
#include <vector>

#include <gtest/gtest.h>

using namespace exchtest;

namespace {

const int kRounds = 1200;

// The input in a heap block of exactly its size.
class ExactInput
{
public:
    explicit ExactInput(const std::vector<uint8_t>& bytes)
        : block_(new uint8_t[bytes.empty() ? 1 : bytes.size()]), source_(block_.get(), bytes.size())
    {
        if (!bytes.empty())
            memcpy(block_.get(), bytes.data(), bytes.size());
    }
    ByteSource& Source() { return source_; }
    const uint8_t* Data() const { return block_.get(); }

private:
    std::unique_ptr<uint8_t[]> block_;
    MemorySource source_;
};

const std::set<unsigned> kBmpErrors = {IDS_BMP_READ_ERROR,    IDS_BMP_NOT_BMP,    IDS_BMP_COMPRESSION,
                                       IDS_BMP_OUT_OF_MEMORY, IDS_BMP_SEEK_ERROR, IDS_BMP_COLOR_COUNT};
const std::set<unsigned> kXmgErrors = {IDS_PICTURE_VERSION_ERROR, IDS_PICTURE_VERSION_UNKNOWN,
                                       IDS_ERROR_READING_PICTURE, IDS_WRONG_COMPRESSION_FORMAT,
                                       IDS_FILE_PROCESSING_ERROR};

// The BMP import's reading: 0 or the message.
unsigned ReadBmp(const std::vector<uint8_t>& bytes)
{
    ExactInput input(bytes);
    BmpLayout layout;
    unsigned error = ReadBmpLayout(input.Source(), layout);
    if (error)
        return error;
    // The rows lie inside the file, so the raster is never larger than it.
    EXPECT_LE((uint64_t)layout.width * layout.height, bytes.size());
    std::vector<uint16_t> raster((size_t)layout.width * layout.height);
    uint16_t top = 0;
    return ReadBmpPixels(input.Source(), layout, raster.data(), &top);
}

// The ".xmg" import's reading: identity, names, the pixel block's place and
// the decoding of its stream; 0 or the message.
unsigned ReadXmg(const std::vector<uint8_t>& bytes)
{
    ExactInput input(bytes);
    XmgFileInfo info;
    XmgNames names;
    unsigned error = ReadXmgTextBlock(input.Source(), info, names, XmgLatin1ToUtf16);
    if (error)
        return error;
    if ((error = CheckXmgPixelBlock(info, bytes.size())) != 0)
        return error;
    if (info.compressed != 1)
        return 0;
    std::vector<uint16_t> raster((size_t)info.width * info.height);
    const int depth = (int)info.bitsPerPixel;
    const int32_t size = (int32_t)(info.endOffset - info.pixelOffset);
    return DecodeRaster(raster.data(), (int)info.width, (int)info.height, depth, input.Data() + info.pixelOffset,
                        size) < 0
               ? (unsigned)IDS_FILE_PROCESSING_ERROR
               : 0;
}

std::vector<uint8_t> RandomBmp(std::mt19937& rng)
{
    BmpShape shape;
    shape.width = 1 + (int)(rng() % 40);
    shape.height = 1 + (int)(rng() % 30);
    shape.bits = rng() % 2 ? 8 : 24;
    shape.topDown = rng() % 2 == 0;
    shape.imageSizeZero = rng() % 3 == 0;
    if (shape.bits == 8 && rng() % 2) {
        shape.paletteEntries = 1 + (int)(rng() % 256);
        shape.colorsUsed = (uint32_t)shape.paletteEntries;
    }
    std::vector<uint8_t> grey((size_t)shape.width * shape.height);
    for (auto& g : grey)
        g = (uint8_t)rng();
    return MakeBmp(shape, grey);
}

std::vector<uint8_t> RandomXmg(std::mt19937& rng)
{
    XmgShape shape;
    shape.version = rng() % 3 ? 2 : 1;
    shape.width = 1 + (int)(rng() % 70);
    shape.height = 1 + (int)(rng() % 70);
    shape.bits = 1 + (int)(rng() % 16);
    shape.compressed = rng() % 4 != 0;
    shape.texts = rng() % 5 != 0;
    shape.wideTexts = rng() % 3 != 0;
    shape.names.clear();
    const int count = (int)(rng() % 5);
    for (int i = 0; i < count; ++i)
        shape.names.push_back(std::u16string(rng() % 20, (char16_t)(0x41 + rng() % 26)));
    return MakeXmg(shape, XmgPattern(shape));
}

// Flipped bytes, a cut, or noise.
std::vector<uint8_t> Damage(std::mt19937& rng, std::vector<uint8_t> bytes, int kind)
{
    if (kind == 0) {
        const int flips = 1 + (int)(rng() % 4);
        for (int i = 0; i < flips && !bytes.empty(); ++i)
            bytes[rng() % bytes.size()] ^= (uint8_t)(1 + rng() % 255);
    } else if (kind == 1) {
        bytes.resize(rng() % (bytes.size() + 1));
    } else {
        bytes.resize(rng() % 3000);
        for (auto& b : bytes)
            b = (uint8_t)rng();
        // Half of the noise starts like a file of the kind, to get past the magic.
        if (rng() % 2 && bytes.size() >= 4) {
            bytes[0] = 'B';
            bytes[1] = 'M';
        }
    }
    return bytes;
}

}  // namespace

TEST(ImportReadersFuzz, DamagedTruncatedAndRandomBmpFilesStayInsideTheInput)
{
    std::mt19937 rng(20250125);
    int refused = 0, read = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::vector<uint8_t> bytes = Damage(rng, RandomBmp(rng), round % 3);
        const unsigned error = ReadBmp(bytes);
        ASSERT_TRUE(error == 0 || kBmpErrors.count(error)) << "round " << round << ": " << error;
        (error ? refused : read)++;
    }
    EXPECT_GT(refused, kRounds / 4);
    EXPECT_GT(read, 10);
}

TEST(ImportReadersFuzz, DamagedTruncatedAndRandomXmgFilesStayInsideTheInput)
{
    std::mt19937 rng(20250126);
    int refused = 0, read = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<uint8_t> bytes = Damage(rng, RandomXmg(rng), round % 3);
        if (round % 3 == 2 && bytes.size() >= 8 && rng() % 2) {
            memcpy(bytes.data(), "DIXG", 4);
            bytes[6] = rng() % 2 ? 2 : 1;
            bytes[4] = bytes[5] = bytes[7] = 0;
        }
        const unsigned error = ReadXmg(bytes);
        ASSERT_TRUE(error == 0 || kXmgErrors.count(error)) << "round " << round << ": " << error;
        (error ? refused : read)++;
    }
    EXPECT_GT(refused, kRounds / 4);
    EXPECT_GT(read, 10);
}

TEST(ImportReadersFuzz, EveryPrefixOfAValidFileIsRefused)
{
    std::mt19937 rng(7);
    for (int file = 0; file < 6; ++file) {
        const std::vector<uint8_t> bmp = RandomBmp(rng);
        ASSERT_EQ(0u, ReadBmp(bmp));
        for (size_t n = 0; n < bmp.size(); ++n) {
            const unsigned error = ReadBmp(std::vector<uint8_t>(bmp.begin(), bmp.begin() + n));
            ASSERT_TRUE(kBmpErrors.count(error)) << "BMP prefix of " << n << " of " << bmp.size() << ": " << error;
        }
        const std::vector<uint8_t> xmg = RandomXmg(rng);
        ASSERT_EQ(0u, ReadXmg(xmg));
        for (size_t n = 0; n < xmg.size(); ++n) {
            const unsigned error = ReadXmg(std::vector<uint8_t>(xmg.begin(), xmg.begin() + n));
            ASSERT_TRUE(kXmgErrors.count(error)) << "XMG prefix of " << n << " of " << xmg.size() << ": " << error;
        }
    }
}
