// The import's reader of an ".xmg" file's identity: the fields of both
// information-block versions, the text block's names in UTF-16 and ANSI,
// files without a text block, and the refusals.
#include "exchange/imagefiles/xmgtext.h"

#include "images_file_builders.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

using namespace exchtest;

namespace {

struct Parsed
{
    unsigned error;
    XmgFileInfo info;
    XmgNames names;
};

Parsed Parse(const std::vector<uint8_t>& file)
{
    Parsed p;
    MemorySource in(file.data(), file.size());
    p.error = ReadXmgTextBlock(in, p.info, p.names, XmgLatin1ToUtf16);
    return p;
}

std::vector<uint8_t> Make(const XmgShape& shape)
{
    return MakeXmg(shape, XmgPattern(shape));
}

}  // namespace

TEST(XmgTextReader, VersionTwoGivesItsFieldsAndItsPatientsNames)
{
    XmgShape shape;
    const std::vector<uint8_t> file = Make(shape);
    const Parsed p = Parse(file);
    ASSERT_EQ(0u, p.error);
    EXPECT_EQ(0x20000u, p.info.version);
    EXPECT_EQ(40u, p.info.width);
    EXPECT_EQ(35u, p.info.height);
    EXPECT_EQ(shape.dateLow, p.info.dateLow);
    EXPECT_EQ(shape.dateHigh, p.info.dateHigh);
    EXPECT_FLOAT_EQ(0.15f, p.info.pixelSizeX);
    EXPECT_FLOAT_EQ(0.2f, p.info.pixelSizeY);
    EXPECT_EQ(1u, p.info.flags);
    EXPECT_EQ(305u, p.info.imageId);
    EXPECT_EQ(1u, p.info.compressed);
    EXPECT_EQ(0u, p.info.wordA);
    EXPECT_EQ(p.info.endOffset - p.info.pixelOffset, p.info.pixelSize);
    EXPECT_EQ(file.size(), p.info.endOffset);
    EXPECT_EQ(0u, CheckXmgPixelBlock(p.info, file.size()));

    EXPECT_EQ(17u, p.names.head.patientId);
    EXPECT_EQ(1, p.names.head.sex);
    EXPECT_EQ(3, p.names.head.count);
    EXPECT_EQ(shape.birthdayLow, p.names.head.birthdayLow);
    EXPECT_EQ(shape.birthdayHigh, p.names.head.birthdayHigh);
    ASSERT_EQ(3u, p.names.strings.size());
    EXPECT_EQ(u"Иванов", p.names.strings[0]);
    EXPECT_EQ(u"Пётр", p.names.strings[1]);
    EXPECT_EQ(u"Сергеевич", p.names.strings[2]);
    EXPECT_EQ(p.names.head.size, p.info.head.size);
}

// Raw edge tiles of a few pixels of a few bits: a pixel block under 3 bytes a tile fits; one byte shorter than the
// fewest bytes its tiles can take does not.
TEST(XmgTextReader, SmallPicturesOfEveryDepthHaveAPixelBlockThatFits)
{
    const int sizes[][2] = {{2, 1}, {3, 1}, {7, 1}, {1, 7}, {2, 2}, {4, 2}, {33, 1}, {65, 3}};
    XmgShape shape;
    for (shape.bits = 1; shape.bits <= 16; ++shape.bits)
        for (const auto& size : sizes) {
            shape.width = size[0];
            shape.height = size[1];
            SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1] << " at " << shape.bits);
            const std::vector<uint8_t> file = Make(shape);
            ASSERT_EQ(0u, Parse(file).error);
            EXPECT_EQ(0u, CheckXmgPixelBlock(Parse(file).info, file.size()));

            std::vector<uint8_t> cut = file;
            cut.resize(Parse(file).info.pixelOffset + LeastStreamSize(size[0], size[1], shape.bits) - 1);
            Le32(cut, 8, (uint32_t)cut.size());   // the end of the pixel block
            Le32(cut, 12, 1);                     // a tile stream
            EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, CheckXmgPixelBlock(Parse(cut).info, cut.size()));
        }
}

TEST(XmgTextReader, VersionOneGivesItsWordsAndARawPixelBlock)
{
    XmgShape shape;
    shape.version = 1;
    shape.flags = 0x11;
    const std::vector<uint8_t> file = Make(shape);
    const Parsed p = Parse(file);
    ASSERT_EQ(0u, p.error);
    EXPECT_EQ(0x10000u, p.info.version);
    EXPECT_EQ(40u, p.info.width);
    EXPECT_EQ(35u, p.info.height);
    EXPECT_EQ(0x1111, p.info.wordA);
    EXPECT_EQ(0x2222, p.info.wordB);
    EXPECT_EQ(0x31u, p.info.flags);     // the flags byte as it stands
    EXPECT_EQ(0u, p.info.compressed);
    EXPECT_EQ(0.0f, p.info.pixelSizeX);
    EXPECT_EQ(40u * 35u * 2u, p.info.pixelSize);
    EXPECT_EQ(305u, p.info.imageId);
    EXPECT_EQ(0u, CheckXmgPixelBlock(p.info, file.size()));
    ASSERT_EQ(3u, p.names.strings.size());
    EXPECT_EQ(u"Сергеевич", p.names.strings[2]);
}

TEST(XmgTextReader, AnsiNamesGoThroughTheConverter)
{
    XmgShape shape;
    shape.wideTexts = false;
    shape.names = {u"Smith", u"J\u00e9r\u00f4me", u""};
    const Parsed p = Parse(Make(shape));
    ASSERT_EQ(0u, p.error);
    ASSERT_EQ(3u, p.names.strings.size());
    EXPECT_EQ(u"Smith", p.names.strings[0]);
    EXPECT_EQ(u"J\u00e9r\u00f4me", p.names.strings[1]);
    EXPECT_EQ(u"", p.names.strings[2]);

    // Without a converter an ANSI name cannot be read.
    const std::vector<uint8_t> file = Make(shape);
    MemorySource in(file.data(), file.size());
    XmgFileInfo info;
    XmgNames names;
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, ReadXmgTextBlock(in, info, names, nullptr));
}

TEST(XmgTextReader, AFileWithoutATextBlockHasAnEmptyHead)
{
    XmgShape shape;
    shape.texts = false;
    const std::vector<uint8_t> file = Make(shape);
    const Parsed p = Parse(file);
    ASSERT_EQ(0u, p.error);
    EXPECT_EQ(0u, p.names.head.size);
    EXPECT_TRUE(p.names.strings.empty());
    MemorySource in(file.data(), file.size());
    XmgNames names;
    EXPECT_EQ(0u, ReadXmgNameFields(in, names, XmgLatin1ToUtf16));
    EXPECT_EQ(0u, names.head.size);
}

TEST(XmgTextReader, DamagedFilesAreRefusedWithTheirMessages)
{
    XmgShape shape;
    const std::vector<uint8_t> valid = Make(shape);
    const uint32_t textOffset = 84;

    std::vector<uint8_t> file = valid;
    file[3] = 'H';
    EXPECT_EQ((unsigned)IDS_PICTURE_VERSION_ERROR, Parse(file).error) << "one byte of the magic";
    file = valid;
    Le32(file, 4, 0x30000);
    EXPECT_EQ((unsigned)IDS_PICTURE_VERSION_UNKNOWN, Parse(file).error) << "version 0x30000";
    const std::vector<uint8_t> noHeader(valid.begin(), valid.begin() + 15), noInfo(valid.begin(), valid.begin() + 80);
    EXPECT_EQ((unsigned)IDS_PICTURE_VERSION_ERROR, Parse(noHeader).error);
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, Parse(noInfo).error);
    file = valid;
    Le32(file, textOffset, 12);
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, Parse(file).error) << "a head smaller than itself";
    file = valid;
    Le32(file, 16 + 4, (uint32_t)valid.size() - 10);
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, Parse(file).error) << "a text block past the end";

    // More names than the import's 2,048 bytes hold.
    XmgShape many = shape;
    many.names.assign(255, u"abc");
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, Parse(Make(many)).error);
    XmgShape longNames = shape;
    longNames.names.assign(5, std::u16string(250, u'я'));
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, Parse(Make(longNames)).error);
    longNames.names.assign(3, std::u16string(250, u'я'));
    EXPECT_EQ(0u, Parse(Make(longNames)).error) << "three long names fit";
}

TEST(XmgTextReader, ThePixelBlockMustLieInsideTheFile)
{
    XmgShape shape;
    const std::vector<uint8_t> file = Make(shape);
    Parsed p = Parse(file);
    ASSERT_EQ(0u, p.error);
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, CheckXmgPixelBlock(p.info, file.size() - 1));
    XmgFileInfo info = p.info;
    info.compressed = 2;
    EXPECT_EQ((unsigned)IDS_WRONG_COMPRESSION_FORMAT, CheckXmgPixelBlock(info, file.size()));
    info = p.info;
    info.pixelOffset = 10;
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, CheckXmgPixelBlock(info, file.size()));
    info = p.info;
    info.width = 0;
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, CheckXmgPixelBlock(info, file.size()));

    XmgShape raw = shape;
    raw.compressed = false;
    const std::vector<uint8_t> rawFile = Make(raw);
    p = Parse(rawFile);
    ASSERT_EQ(0u, p.error);
    EXPECT_EQ(0u, p.info.compressed);
    EXPECT_EQ(0u, CheckXmgPixelBlock(p.info, rawFile.size()));
    info = p.info;
    info.endOffset -= 2;
    EXPECT_EQ((unsigned)IDS_ERROR_READING_PICTURE, CheckXmgPixelBlock(info, rawFile.size()));
}
