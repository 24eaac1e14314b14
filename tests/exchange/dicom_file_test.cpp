// The export server stand-in's DICOM encoding: element order and padding,
// the two length forms, the file meta information, UUID-derived UIDs and the
// values in their VR's text (dates, times, decimals, codes, cut texts).
#include "tools/dicomsrv/dicomfile.h"

#include <stdint.h>
#include <string.h>

#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace dicom;

namespace {

std::vector<uint8_t> Encode(const DataSet& data)
{
    std::vector<uint8_t> out;
    auto sink = [&out](const void* p, size_t n) {
        out.insert(out.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        return true;
    };
    EXPECT_TRUE(data.Write(sink));
    return out;
}

uint16_t U16(const std::vector<uint8_t>& v, size_t at)
{
    return (uint16_t)(v[at] | (v[at + 1] << 8));
}

uint32_t U32(const std::vector<uint8_t>& v, size_t at)
{
    return U16(v, at) | ((uint32_t)U16(v, at + 2) << 16);
}

}  // namespace

TEST(DicomEncoding, ElementsGoInTagOrderWithEvenPaddedValues)
{
    DataSet data;
    data.SetText(Tag(0x0010, 0x0010), "PN", "Ivanov^Petr");         // 11 bytes: a blank added
    data.SetText(Tag(0x0008, 0x0018), "UI", "1.2.3");               // 5 bytes: a NUL added
    data.SetUS(Tag(0x0028, 0x0010), 480);
    data.SetText(Tag(0x0010, 0x0010), "PN", "Petrov^Ivan");         // replaces the first
    const uint16_t pixels[3] = {1, 0x0203, 0xFFFF};
    data.SetPixelsOW(Tag(0x7FE0, 0x0010), pixels, sizeof pixels);
    EXPECT_EQ(4u, data.Count());
    EXPECT_EQ("Petrov^Ivan", data.Text(Tag(0x0010, 0x0010)));
    EXPECT_EQ("1.2.3", data.Text(Tag(0x0008, 0x0018)));
    uint16_t rows = 0;
    EXPECT_TRUE(data.US(Tag(0x0028, 0x0010), &rows));
    EXPECT_EQ(480, rows);

    const std::vector<uint8_t> out = Encode(data);
    ASSERT_EQ(data.EncodedSize(), out.size());
    // (0008,0018) UI, 2-byte length 6, "1.2.3\0"
    EXPECT_EQ(0x0008, U16(out, 0));
    EXPECT_EQ(0x0018, U16(out, 2));
    EXPECT_EQ('U', out[4]);
    EXPECT_EQ('I', out[5]);
    EXPECT_EQ(6, U16(out, 6));
    EXPECT_EQ(0, memcmp(&out[8], "1.2.3\0", 6));
    // (0010,0010) PN, 12 bytes, blank padded
    size_t at = 14;
    EXPECT_EQ(0x0010, U16(out, at));
    EXPECT_EQ(12, U16(out, at + 6));
    EXPECT_EQ(0, memcmp(&out[at + 8], "Petrov^Ivan ", 12));
    // (0028,0010) US 480
    at += 8 + 12;
    EXPECT_EQ(0x0028, U16(out, at));
    EXPECT_EQ(2, U16(out, at + 6));
    EXPECT_EQ(480, U16(out, at + 8));
    // (7FE0,0010) OW: reserved 2 bytes, 4-byte length, the pixels as they are
    at += 10;
    EXPECT_EQ(0x7FE0, U16(out, at));
    EXPECT_EQ('O', out[at + 4]);
    EXPECT_EQ('W', out[at + 5]);
    EXPECT_EQ(0, U16(out, at + 6));
    EXPECT_EQ(6u, U32(out, at + 8));
    EXPECT_EQ(0, memcmp(&out[at + 12], pixels, 6));
    EXPECT_EQ(out.size(), at + 18);

    data.Remove(Tag(0x0028, 0x0010));
    EXPECT_FALSE(data.Has(Tag(0x0028, 0x0010)));
}

TEST(DicomEncoding, TheFileStartsWithPreambleMagicAndItsMetaGroup)
{
    const std::vector<uint8_t> meta = FileMetaInformation("1.2.826.0.1");
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(0, meta[i]);
    EXPECT_EQ(0, memcmp(&meta[128], "DICM", 4));
    // (0002,0000) UL with the length of the rest of the group
    EXPECT_EQ(0x0002, U16(meta, 132));
    EXPECT_EQ(0x0000, U16(meta, 134));
    EXPECT_EQ('U', meta[136]);
    EXPECT_EQ('L', meta[137]);
    EXPECT_EQ(4, U16(meta, 138));
    EXPECT_EQ(meta.size() - 144, U32(meta, 140));
    const std::string rest(meta.begin() + 144, meta.end());
    EXPECT_NE(std::string::npos, rest.find(kCrImageStorage));
    EXPECT_NE(std::string::npos, rest.find(kExplicitVrLittleEndian));
    EXPECT_NE(std::string::npos, rest.find("1.2.826.0.1"));
    EXPECT_NE(std::string::npos, rest.find(kImplementationClassUid));
}

TEST(DicomEncoding, UidsAreTheDecimalValueOfAVersionFourUuid)
{
    uint8_t bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = (uint8_t)i;
    EXPECT_EQ("2.25.5233100606545046729231089879813647", UidFromRandom(bytes));
    memset(bytes, 0xFF, 16);
    const std::string uid = UidFromRandom(bytes);
    EXPECT_LE(uid.size(), 64u);
    EXPECT_EQ(0u, uid.find("2.25."));
    EXPECT_EQ(std::string::npos, uid.find_first_not_of("0123456789.", 0));
}

TEST(DicomEncoding, DatesAndTimesBecomeTheirVrTextsOrNothing)
{
    EXPECT_EQ("20040818", DateFromDayMonthYear("18/08/2004"));
    EXPECT_EQ("20030201", DateFromDayMonthYear("1/2/2003"));
    EXPECT_EQ("20040229", DateFromDayMonthYear("29/02/2004"));
    EXPECT_EQ("", DateFromDayMonthYear("29/02/2005"));
    EXPECT_EQ("", DateFromDayMonthYear("31/04/2004"));
    EXPECT_EQ("", DateFromDayMonthYear("18.08.2004"));
    EXPECT_EQ("", DateFromDayMonthYear("18/08/04"));
    EXPECT_EQ("", DateFromDayMonthYear(""));
    EXPECT_EQ("090507", TimeFromClock("09:05:07"));
    EXPECT_EQ("235959", TimeFromClock("23:59:59"));
    EXPECT_EQ("", TimeFromClock("24:00:00"));
    EXPECT_EQ("", TimeFromClock("12:60:00"));
    EXPECT_EQ("", TimeFromClock("12:00"));
}

TEST(DicomEncoding, NumbersAndCodesKeepToTheirVrLimits)
{
    EXPECT_EQ("0.347497", DecimalString(0.347497f, 7));
    EXPECT_EQ("1200", DecimalString(1200.0));
    EXPECT_EQ("8192", DecimalString(8192.0f, 7));
    EXPECT_LE(DecimalString(1.0 / 3.0).size(), 16u);
    EXPECT_LE(DecimalString(-123456789.123456789).size(), 16u);
    EXPECT_EQ("", DecimalString(std::numeric_limits<double>::infinity()));
    EXPECT_EQ("-2147483648", IntegerString(INT32_MIN));
    EXPECT_EQ("PA", CodeString("pa"));
    EXPECT_EQ("A_B", CodeString("A-_B\\"));
    EXPECT_EQ(16u, CodeString("ABCDEFGHIJKLMNOPQRSTUV").size());
    // Characters, not bytes, are counted; control characters and "\" go.
    EXPECT_EQ("\xD0\x98\xD0\xB2", CutText("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", 2));
    EXPECT_EQ("ab", CutText("a\\b\n", 10));
    EXPECT_EQ("ab", CutText("ab   ", 10));
}

// A name that fits stays as it is (separators dropped, empty parts at the
// end left out); a longer one is cut by characters, component by component,
// into the 64 characters of its group: each component keeps its place, the
// short ones whole, the long ones sharing the rest.
TEST(DicomEncoding, PersonNamesKeepEveryComponentWithinTheGroupsLimit)
{
    auto times = [](const std::string& c, size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i)
            out += c;
        return out;
    };
    const std::string zhe = "\xD0\x96", pyotr = "\xD0\x9F\xD1\x91\xD1\x82\xD1\x80";
    struct Case
    {
        std::vector<std::string> parts;
        std::string name;
    };
    const Case cases[] = {
        {{"Smith", "John", ""}, "Smith^John"},
        {{"Sm^ith", "Jo=hn", "Q"}, "Smith^John^Q"},
        {{"", "John", ""}, "^John"},
        {{"", "", ""}, ""},
        {{times("W", 255), "Peter", "Sergeyevich"}, times("W", 46) + "^Peter^Sergeyevich"},
        {{times("W", 255), times("W", 255), times("W", 255)},
         times("W", 21) + "^" + times("W", 21) + "^" + times("W", 20)},
        {{times(zhe, 255), pyotr, ""}, times(zhe, 59) + "^" + pyotr},
        {{times("A", 99), times("B", 99), times("C", 99), times("D", 99), times("E", 99)},
         times("A", 12) + "^" + times("B", 12) + "^" + times("C", 12) + "^" + times("D", 12) + "^" + times("E", 12)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.name, PersonName(c.parts)) << c.parts[0].substr(0, 8);
}

TEST(DicomEncoding, TheClientsThirtyNamesAreKnownInTheirOrder)
{
    const std::vector<AttributeRule>& all = KnownAttributes();
    ASSERT_EQ(30u, all.size());
    EXPECT_STREQ("Patient's Name", all.front().name);
    EXPECT_STREQ("Window Width", all.back().name);
    const AttributeRule* rows = FindAttribute(u"rOWS");
    ASSERT_NE(nullptr, rows);
    EXPECT_EQ(Tag(0x0028, 0x0010), rows->tag);
    const AttributeRule* image = FindAttribute(u"Image Number");
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(Tag(0x0020, 0x0013), image->tag);
    EXPECT_EQ(nullptr, FindAttribute(u"Rows "));
    EXPECT_EQ(nullptr, FindAttribute(u""));
}
