// The merge's pure parts: the statements built from the settings (quoted
// names, NULL-safe patient search), the checks of the other site's file
// names and "dbinit.cfg", the value kinds and the merge window's layout.
#include "exchange/merge/importlayout.h"
#include "exchange/merge/mergesql.h"
#include "exchange/merge/mergevalue.h"

#include <gtest/gtest.h>

// RECT lives in the global namespace: so do its comparison and printing.
inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline ::std::ostream& operator<<(::std::ostream& out, const RECT& r)
{
    return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

TEST(MergeTexts, NamesAreBracketedWithTheirClosingBracketsDoubled)
{
    EXPECT_EQ(L"[Name1]", QuoteName(L"Name1"));
    EXPECT_EQ(L"[File name]", QuoteName(L"File name"));
    EXPECT_EQ(L"[a]]b]", QuoteName(L"a]b"));
    EXPECT_EQ(L"[x; DROP TABLE Patient --]", QuoteName(L"x; DROP TABLE Patient --"));
}

TEST(MergeTexts, ThePatientSearchComparesNullKeysWithIsNull)
{
    EXPECT_EQ(L"Select Patient From Patient Where [Name1]=? AND [Name2]=? ;",
              BuildFindPatientSql({L"Name1", L"Name2"}, {false, false}));
    EXPECT_EQ(L"Select Patient From Patient Where [Name1]=? AND [Name2] IS NULL AND [Birth day]=? ;",
              BuildFindPatientSql({L"Name1", L"Name2", L"Birth day"}, {false, true, false}));
}

TEST(MergeTexts, UpdatesAndSelectsOfTheConfiguredColumns)
{
    EXPECT_EQ(L"Update Patient Set [Address]=? Where patient=? ;", BuildUpdatePatientSql({L"Address"}));
    EXPECT_EQ(L"Update Patient Set [A]=?, [B]=? Where patient=? ;", BuildUpdatePatientSql({L"A", L"B"}));
    EXPECT_EQ(L"", BuildUpdatePatientSql({})) << "no further column: nothing to update";
    EXPECT_EQ(L"Select [Name1], [Pol] From Patient Where patient=? ;", BuildLoadPatientSql({L"Name1", L"Pol"}));
    EXPECT_EQ(L"Update Snimok Set [Orientation]=?, [Date file]=? Where snimok=? ;",
              BuildUpdateSnimokSql({L"Orientation", L"Date file"}));
    EXPECT_EQ(L"", BuildUpdateSnimokSql({}));
    EXPECT_EQ(L"SELECT bri, contrast, negativ, [Scale], [Date file], [Disk], [File name], imported, Patient "
              L"FROM Snimok WHERE Snimok=? ;",
              BuildCarriedValuesSql({L"Scale", L"Date file"}));
    EXPECT_EQ(L"SELECT Snimok, bri, contrast, negativ, [Scale], [Disk], [File name], imported, Patient FROM Snimok "
              L"WHERE imported=0 AND [File name] IS NOT NULL AND [Disk]<>0 ORDER BY Patient, Snimok ;",
              BuildListedImagesSql({L"Scale"}));
    EXPECT_EQ(L"SELECT Snimok, bri, contrast, negativ, [Disk], [File name], imported, Patient FROM Snimok "
              L"WHERE Snimok IN (SELECT Snimok FROM MergeSnimok) ;",
              BuildIdentifiedImagesSql({}));
}

TEST(MergeTexts, AnIdentityIsAGuidInBraces)
{
    const struct {
        const wchar_t* text;
        bool identity;
    } cases[] = {
        {L"{0F3C1A2B-4D5E-6F70-8192-A3B4C5D6E7F8}", true},
        {L"{0f3c1a2b-4d5e-6f70-8192-a3b4c5d6e7f8}", true},
        {L"", false},
        {L"0F3C1A2B-4D5E-6F70-8192-A3B4C5D6E7F8", false},
        {L"{0F3C1A2B-4D5E-6F70-8192-A3B4C5D6E7F}", false},
        {L"{0F3C1A2B-4D5E-6F70-8192-A3B4C5D6E7F8} ", false},
        {L"{0F3C1A2B-4D5E-6F70-8192_A3B4C5D6E7F8}", false},
        {L"{0F3C1A2B-4D5E-6F70-8192-A3B4C5D6E7G8}", false},
        {L"{0F3C1A2B4-D5E-6F70-8192-A3B4C5D6E7F8}", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.identity, IsIdentity(c.text)) << testing::PrintToString(std::wstring(c.text));
}

TEST(MergeTexts, TheInitFileIsUtf16AfterItsByteOrderMark)
{
    std::wstring init;
    const BYTE good[] = {0xFF, 0xFE, 'P', 0, '=', 0, 'Z', 0, '\r', 0, '\n', 0, 'x', 0};
    EXPECT_EQ(InitFileVerdict::kOk, ParseInitFile(good, sizeof good, &init));
    EXPECT_EQ(L"P=Z", init) << "up to the first control character";

    const BYTE noMark[] = {'P', 0, '=', 0, 'Z', 0};
    EXPECT_EQ(InitFileVerdict::kNoByteOrderMark, ParseInitFile(noMark, sizeof noMark, &init));
    EXPECT_EQ(L"", init);
    const BYTE bigEndian[] = {0xFE, 0xFF, 0, 'P'};
    EXPECT_EQ(InitFileVerdict::kNoByteOrderMark, ParseInitFile(bigEndian, sizeof bigEndian, &init));
    const BYTE utf8[] = {0xEF, 0xBB, 0xBF, 'P'};
    EXPECT_EQ(InitFileVerdict::kNoByteOrderMark, ParseInitFile(utf8, sizeof utf8, &init));
    EXPECT_EQ(InitFileVerdict::kNoByteOrderMark, ParseInitFile(good, 1, &init));
    EXPECT_EQ(InitFileVerdict::kEmpty, ParseInitFile(good, 2, &init));

    std::vector<BYTE> longText = {0xFF, 0xFE};
    for (int i = 0; i < 600; ++i) {
        longText.push_back('a');
        longText.push_back(0);
    }
    EXPECT_EQ(InitFileVerdict::kOk, ParseInitFile(longText.data(), (DWORD)longText.size(), &init));
    EXPECT_EQ(511u, init.size());
    longText.push_back('b');   // an odd byte at the end is no character
    EXPECT_EQ(InitFileVerdict::kOk, ParseInitFile(longText.data(), (DWORD)longText.size(), &init));
}

TEST(MergeTexts, TheDriveToEjectIsTheLetterOfTheFolder)
{
    EXPECT_EQ(L'K', DriveLetterOfFolder(L"K:\\"));
    EXPECT_EQ(L'K', DriveLetterOfFolder(L"k:"));
    EXPECT_EQ(L'E', DriveLetterOfFolder(L"E:\\Ward2\\Data"));
    EXPECT_EQ(0, DriveLetterOfFolder(L"\\\\server\\share\\Data")) << "a network share has no drive";
    EXPECT_EQ(0, DriveLetterOfFolder(L"Data"));
    EXPECT_EQ(0, DriveLetterOfFolder(L"E:Data")) << "relative to the drive's current folder";
    EXPECT_EQ(0, DriveLetterOfFolder(L""));
    EXPECT_EQ(0, DriveLetterOfFolder(nullptr));
}

TEST(MergeTexts, ColumnTypesAreCarriedByTheirKind)
{
    EXPECT_EQ(ValueKind::kInteger, ValueKindOfType(3));
    EXPECT_EQ(ValueKind::kInteger, ValueKindOfType(11));
    EXPECT_EQ(ValueKind::kInteger, ValueKindOfType(20));
    EXPECT_EQ(ValueKind::kReal, ValueKindOfType(4));
    EXPECT_EQ(ValueKind::kReal, ValueKindOfType(5));
    EXPECT_EQ(ValueKind::kText, ValueKindOfType(130));
    EXPECT_EQ(ValueKind::kText, ValueKindOfType(129));
    EXPECT_EQ(ValueKind::kDate, ValueKindOfType(64));
    EXPECT_EQ(ValueKind::kDate, ValueKindOfType(135));
    EXPECT_EQ(ValueKind::kUnsupported, ValueKindOfType(0));
    EXPECT_EQ(ValueKind::kUnsupported, ValueKindOfType(128));   // bytes
}

TEST(MergeTexts, ValuesAsThePatientTextShowsThem)
{
    MergeValue value;
    EXPECT_EQ(L" ", MergeValueText(value)) << "NULL";
    value.isNull = false;
    value.kind = ValueKind::kText;
    value.text = L"Иванов";
    EXPECT_EQ(L"Иванов", MergeValueText(value));
    value.kind = ValueKind::kInteger;
    value.integer = -12345678901LL;
    EXPECT_EQ(L"-12345678901", MergeValueText(value));
    value.kind = ValueKind::kDate;
    SYSTEMTIME day = {1956, 3, 0, 14, 0, 0, 0, 0};
    SystemTimeToFileTime(&day, &value.date);
    EXPECT_EQ(L"14.03.1956", MergeValueText(value));
}

TEST(MergeWindowLayout, FollowsTheFontHeightInRowsOfFramesLinesAndButtons)
{
    // Font height 16: L = 24, G = 12, H = 12.
    const ImportLayout l = ComputeImportLayout(960, 16, 40);
    EXPECT_EQ((RECT{20, 20, 940, 66}), l.frames[ImportLayout::kInfoFrame]);
    EXPECT_EQ((RECT{30, 32, 475, 56}), l.lines[ImportLayout::kNotMergedLine]);
    EXPECT_EQ((RECT{485, 32, 930, 56}), l.lines[ImportLayout::kMergedLine]);
    const int y1 = 2 * 12 + 24 + 12 + 30;   // 90
    EXPECT_EQ((RECT{20, y1, 940, y1 + 12 + 48 + 12 + 10}), l.frames[ImportLayout::kImportFrame]);
    EXPECT_EQ((RECT{30, y1 + 12, 930, y1 + 36}), l.lines[ImportLayout::kPatientLine]);
    EXPECT_EQ((RECT{30, y1 + 48, 930, y1 + 72}), l.lines[ImportLayout::kImageLine]);
    const int y2 = y1 + 24 + 48 + 24 + 10;
    EXPECT_EQ((RECT{30, y2 + 12, 930, y2 + 60}), l.panes[ImportLayout::kStatusPane]);
    const int y3 = y2 + 12 + 48 + 24 + 10;
    EXPECT_EQ((RECT{30, y3 + 12, 930, y3 + 60}), l.panes[ImportLayout::kErrorPane]);
    const int buttons = y3 + 12 + 48 + 24 + 10;
    EXPECT_EQ((RECT{20, buttons, 220, buttons + 44}), l.buttons[ImportLayout::kStart]);
    EXPECT_EQ(260, l.buttons[ImportLayout::kStop].left);
    EXPECT_EQ(500, l.buttons[ImportLayout::kEject].left);
    EXPECT_EQ(740, l.buttons[ImportLayout::kClose].left);
    EXPECT_EQ(940, l.buttons[ImportLayout::kClose].right) << "the last button ends at the frames' right edge";
    EXPECT_LE(buttons + 44, ImportMinClientHeight(16, 40)) << "the window is tall enough for the buttons";
}

TEST(MergeWindowLayout, TheGapIsAtLeastTenPixels)
{
    const ImportLayout l = ComputeImportLayout(600, 8, 30);   // G = 8 -> 10
    EXPECT_EQ(20 + 10, l.lines[ImportLayout::kNotMergedLine].top);
    EXPECT_EQ(7 * 12 + 7 * 10 + 6 * 6 + 30 + 84, ImportMinClientHeight(8, 30));
}

}  // namespace
