// The patient image strip: its query (order, states, numbering, description
// flags), its rows for strips of several heights and a taller caption font,
// reloads that never bind past the records, and its keys.
#include "strip_fixture.h"

#include "app/reghelpers.h"
#include "database/dberrors.h"
#include "ui/control_font.h"

using namespace striptest;

namespace {

class StripQuery : public StripTest {
protected:
    void SetUp() override
    {
        StripTest::SetUp();
        AddPatient(17, L"Ivanov");
        AddPatient(18, L"Petrov");
        // Out of date order on purpose; one of another patient.
        AddImage(301, 17, L"20200105 10:00", L"I00000000170000000301", 1, 0, nullptr);
        AddImage(302, 17, L"20220310 09:30", L"I00000000170000000302", 0, 1, L"healed");
        AddImage(303, 17, L"20210707 12:00", L"", 1, 0, L"");
        AddImage(304, 18, L"20230101 08:00", L"P00000000180000000304", 1, 0, nullptr);
        AddImage(305, 17, L"20190202 14:15", L"I00000000170000000305", 1, 0, L"x");
    }
    IconStrip strip;
    RecordingOwner owner;
};

TEST_F(StripQuery, NewestFirstWithStatesNumbersAndDescriptionLengths)
{
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    ASSERT_EQ(1, strip.LoadPatient(17));
    ASSERT_EQ(4, strip.RecordCount());
    EXPECT_EQ((std::vector<std::string>{"count 4"}), owner.calls);
    const int keys[4] = {302, 303, 301, 305};
    const int states[4] = {kIconStateArchived, kIconStateRemoved, kIconStateShow, kIconStateShow};
    const int negatives[4] = {1, 0, 0, 0};
    const int notes[4] = {12, 0, 0, 2};   // DATALENGTH in bytes; NULL gives 0
    const wchar_t* numbers[4] = {L"1 ", L"2 ", L"3 ", L"4 "};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        IconRecord* r = strip.Record(i);
        ASSERT_TRUE(r);
        EXPECT_EQ(keys[i], r->key);
        EXPECT_EQ(states[i], r->state);
        EXPECT_EQ(negatives[i], r->negative);
        EXPECT_EQ(notes[i], r->noteLength);
        EXPECT_STREQ(numbers[i], r->numberText);
        EXPECT_EQ(2, r->numberLength);
        EXPECT_EQ(nullptr, r->pixels) << "thumbnails load at their first paint";
    }
    EXPECT_STREQ(L"I00000000170000000302", strip.Record(0)->fileName);
    EXPECT_STREQ(L"", strip.Record(1)->fileName);
    SYSTEMTIME t;
    ASSERT_TRUE(FileTimeToSystemTime(&strip.Record(0)->date, &t));
    EXPECT_EQ(2022, t.wYear);
    EXPECT_EQ(3, t.wMonth);
    EXPECT_EQ(10, t.wDay);
    EXPECT_EQ(9, t.wHour);
    EXPECT_EQ(30, t.wMinute);
}

TEST_F(StripQuery, APatientWithoutImagesLeavesEveryRowEmpty)
{
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    ASSERT_EQ(1, strip.Layout(0, 0, 194, 900));
    ASSERT_EQ(1, strip.LoadPatient(99));
    EXPECT_EQ((std::vector<std::string>{"count 0"}), owner.calls);
    EXPECT_EQ(0, strip.Scroll().GetMax());
    EXPECT_EQ(0, strip.Position());
    ASSERT_GT(strip.RowCount(), 0);
    for (int i = 0; i < strip.RowCount(); ++i)
        EXPECT_EQ(nullptr, strip.Row(i)->GetRecord()) << i;
    EXPECT_EQ(1, strip.Clear());
    EXPECT_EQ("count 0", owner.calls.back());
    EXPECT_FALSE(strip.IsLoaded());
    EXPECT_EQ(0, strip.Reload()) << "nothing to reload once cleared";
}

TEST_F(StripQuery, FewerImagesThanRowsLeaveTheRestEmpty)
{
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    const int cell = IconSnimok::CellHeight();
    ASSERT_EQ(1, strip.Layout(0, 0, 194, 20 + 6 * cell));
    ASSERT_EQ(6, strip.RowCount());
    strip.LoadPatient(17);
    EXPECT_EQ(0, strip.Position());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(strip.Record(i), strip.Row(i)->GetRecord()) << i;
    EXPECT_EQ(nullptr, strip.Row(4)->GetRecord());
    EXPECT_EQ(nullptr, strip.Row(5)->GetRecord());
}

TEST_F(StripQuery, ADatabaseFailureLeavesTheStripWithoutRecords)
{
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    strip.Layout(0, 0, 194, 900);
    strip.LoadPatient(17);
    // The query's table is gone.
    Exec(L"DROP TABLE Snimok;");
    EXPECT_THROW(strip.Reload(), DODBErrors);
    EXPECT_EQ(0, strip.RecordCount());
    for (int i = 0; i < strip.RowCount(); ++i)
        EXPECT_EQ(nullptr, strip.Row(i)->GetRecord()) << i;
}

// ---- rows --------------------------------------------------------------------

class StripRows : public StripTest {
protected:
    IconStrip strip;
    RecordingOwner owner;
};

TEST_F(StripRows, RowCountFollowsTheHeightUnderTheScrollBar)
{
    ASSERT_EQ(0, strip.Layout(0, 0, 194, 500)) << "no layout before Create";
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    EXPECT_EQ(0, strip.Create(host->Hwnd(), &owner, nullptr)) << "one parent";
    const int cell = IconSnimok::CellHeight();
    EXPECT_EQ(194 + 32, cell) << "the icon size is taller than the control font";
    struct Case {
        int height, rows, scrollHeight;
    } cases[] = {{12, 0, 12}, {20, 0, 20}, {20 + cell - 1, 0, 20}, {20 + cell, 1, 20}, {20 + 3 * cell + 5, 3, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.height);
        ASSERT_EQ(1, strip.Layout(0, 0, 194, c.height));
        EXPECT_EQ(c.rows, strip.RowCount());
        EXPECT_EQ(c.scrollHeight, strip.Scroll().GetHeight());
        EXPECT_EQ(c.rows, strip.Scroll().GetPage());
        for (int i = 0; i < strip.RowCount(); ++i) {
            RECT r;
            GetWindowRect(strip.Row(i)->hwnd, &r);
            MapWindowPoints(nullptr, host->Hwnd(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(20 + i * cell, r.top) << i;
            EXPECT_EQ(cell, r.bottom - r.top) << i;
            EXPECT_EQ(194, r.right - r.left) << i;
        }
    }
}

TEST_F(StripRows, ATallerCaptionFontMakesTallerRowsThatNeverOverlap)
{
    HKEY param = settings->Sub(L"IconParam");
    LOGFONTW font = {};
    font.lfHeight = -60;
    wcscpy(font.lfFaceName, L"DejaVu Sans");
    ASSERT_TRUE(RegWriteLogFont(font, param, L"Font"));
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    const int before = IconSnimok::CellHeight();
    // The settings are loaded after the strip was made, as each pass of the
    // main cycle does.
    IconSnimok::LoadSettings(settings->Key());
    const int after = IconSnimok::CellHeight();
    ASSERT_GT(after, before);
    EXPECT_GT(IconSnimok::CaptionTextHeight(), 32);
    ASSERT_EQ(1, strip.Layout(0, 0, 194, 20 + 3 * after));
    ASSERT_EQ(3, strip.RowCount());
    RECT previous = {};
    for (int i = 0; i < 3; ++i) {
        RECT r;
        GetWindowRect(strip.Row(i)->hwnd, &r);
        EXPECT_EQ(after, r.bottom - r.top) << i;
        if (i > 0) {
            EXPECT_GE(r.top, previous.bottom) << "row " << i << " overlaps the row above";
        }
        previous = r;
        EXPECT_EQ(IconSnimok::CaptionTextHeight(), strip.Row(i)->GetCaptionHeight());
    }
    strip.Destroy();
    IconSnimok::LoadSettings(nullptr);   // back to the control font for the other tests
    IconSnimok::UnregisterClass();
}

TEST_F(StripRows, ReloadAfterTheLastImagesWereDeletedNeverBindsPastTheEnd)
{
    AddPatient(17, L"Ivanov");
    for (int i = 0; i < 8; ++i) {
        wchar_t date[32], name[32];
        _snwprintf(date, 31, L"2020%02d01 10:00", i + 1);
        date[31] = 0;
        _snwprintf(name, 31, L"I%020d", 400 + i);
        name[31] = 0;
        AddImage(400 + i, 17, date, name);
    }
    const int cell = IconSnimok::CellHeight();
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    ASSERT_EQ(1, strip.Layout(0, 0, 194, 20 + 3 * cell));
    strip.LoadPatient(17);
    strip.Scroll().SetPos(5);   // records 5, 6, 7 in the rows
    ASSERT_EQ(5, strip.Position());
    EXPECT_EQ(strip.Record(7), strip.Row(2)->GetRecord());
    // The three oldest (shown now) go; 5 images are left.
    Exec(L"DELETE FROM Snimok WHERE Snimok IN (400, 401, 402);");
    ASSERT_EQ(1, strip.Reload());
    ASSERT_EQ(5, strip.RecordCount());
    // The old position 5 is clamped to 4 by the count and to 2 by the page.
    EXPECT_EQ(2, strip.Position());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(strip.Record(2 + i), strip.Row(i)->GetRecord()) << i;
        EXPECT_EQ(2 + i, strip.Row(i)->GetNumber()) << i;
    }
    // All but one go: the only record is in the first row, the rest are empty.
    Exec(L"DELETE FROM Snimok WHERE Snimok <> 407;");
    ASSERT_EQ(1, strip.Reload());
    EXPECT_EQ(0, strip.Position());
    EXPECT_EQ(strip.Record(0), strip.Row(0)->GetRecord());
    EXPECT_EQ(nullptr, strip.Row(1)->GetRecord());
    EXPECT_EQ(nullptr, strip.Row(2)->GetRecord());
}

TEST_F(StripRows, ScrollingBindsEachRowToItsRecordAndNumber)
{
    AddPatient(17, L"Ivanov");
    for (int i = 0; i < 6; ++i) {
        wchar_t date[32], name[32];
        _snwprintf(date, 31, L"2021%02d01 10:00", 12 - i);
        date[31] = 0;
        _snwprintf(name, 31, L"I%020d", 500 + i);
        name[31] = 0;
        AddImage(500 + i, 17, date, name);
    }
    const int cell = IconSnimok::CellHeight();
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    ASSERT_EQ(1, strip.Layout(0, 0, 194, 20 + 2 * cell));
    strip.LoadPatient(17);
    strip.Scroll().LineDown();
    strip.Scroll().LineDown();
    ASSERT_EQ(2, strip.Position());
    EXPECT_EQ(502, strip.Row(0)->GetRecord()->key);
    EXPECT_EQ(2, strip.Row(0)->GetNumber());
    EXPECT_STREQ(L"3 ", strip.Row(0)->GetRecord()->numberText);
    strip.Scroll().PageDown();
    EXPECT_EQ(4, strip.Position());
    strip.Scroll().PageDown();
    EXPECT_EQ(4, strip.Position()) << "the last page ends with the last image";
    EXPECT_EQ(505, strip.Row(1)->GetRecord()->key);
}

// ---- keys --------------------------------------------------------------------

TEST_F(StripRows, KeysScrollMoveTheFocusAndReachTheOwner)
{
    AddPatient(17, L"Ivanov");
    for (int i = 0; i < 7; ++i) {
        wchar_t date[32], name[32];
        _snwprintf(date, 31, L"2022%02d01 10:00", 12 - i);
        date[31] = 0;
        _snwprintf(name, 31, L"I%020d", 600 + i);
        name[31] = 0;
        AddImage(600 + i, 17, date, name);
    }
    const int cell = IconSnimok::CellHeight();
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    ASSERT_EQ(1, strip.Layout(0, 0, 194, 20 + 3 * cell));
    strip.LoadPatient(17);
    owner.calls.clear();
    strip.SetFocus();
    EXPECT_EQ(strip.Row(0)->hwnd, GetFocus());
    auto key = [&](int row, WPARAM k) { SendMessageW(strip.Row(row)->hwnd, WM_KEYDOWN, k, 0); };
    key(0, VK_DOWN);
    EXPECT_EQ(strip.Row(1)->hwnd, GetFocus());
    key(1, VK_DOWN);
    EXPECT_EQ(strip.Row(2)->hwnd, GetFocus());
    key(2, VK_DOWN);
    EXPECT_EQ(1, strip.Position()) << "Down in the last row scrolls one line";
    EXPECT_EQ(strip.Row(2)->hwnd, GetFocus());
    key(2, VK_NEXT);
    EXPECT_EQ(4, strip.Position());
    key(2, VK_PRIOR);
    EXPECT_EQ(1, strip.Position());
    key(2, VK_UP);
    EXPECT_EQ(strip.Row(1)->hwnd, GetFocus());
    key(1, VK_UP);
    key(0, VK_UP);
    EXPECT_EQ(0, strip.Position()) << "Up in the first row scrolls one line";
    key(0, VK_UP);
    EXPECT_EQ(0, strip.Position());
    key(0, VK_LEFT);
    key(0, 'A');
    EXPECT_EQ((std::vector<std::string>{"key 37", "key 65"}), owner.calls);
    EXPECT_EQ(7, strip.CellKey(0, VK_RETURN)) << "the owner's answer goes back to the cell";
}

TEST_F(StripRows, TheFrameIsRedWhileTheCellHasTheFocus)
{
    AddPatient(17, L"Ivanov");
    ASSERT_EQ(1, strip.Create(host->Hwnd(), &owner, nullptr));
    ASSERT_EQ(1, strip.Layout(0, 0, 194, 20 + IconSnimok::CellHeight()));
    strip.LoadPatient(17);
    harness::Pump(50);
    // The focus is the active window's: no other test's window may take the activation meanwhile.
    harness::ScreenLock lock;
    // The activation comes back from the X server: the focus is set once it has.
    const HWND root = GetAncestor(host->Hwnd(), GA_ROOT);
    SetForegroundWindow(root);
    ASSERT_TRUE(harness::PumpUntil([&] { return GetForegroundWindow() == root; }));
    SetFocus(host->Hwnd());
    harness::Pump(20);
    EXPECT_FALSE(strip.Row(0)->GetState() & IconSnimok::kFocused);
    strip.SetFocus();
    EXPECT_TRUE(harness::PumpUntil([&] { return (strip.Row(0)->GetState() & IconSnimok::kFocused) != 0; }));
    harness::PixelGrab grab(strip.Row(0)->hwnd, true);
    ASSERT_TRUE(grab.Ok());
    EXPECT_EQ(RGB(255, 0, 0), grab.At(0, 40));
    EXPECT_EQ(RGB(255, 0, 0), grab.At(grab.Width() - 1, 40));
}

}  // namespace
