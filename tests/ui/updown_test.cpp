// The up-down: layout, arrow clicks, strip drags, right-click reset and
// cancel, capture loss, and value checks.
#include "ui/updown.h"

#include "controls_fixture.h"

#include <limits.h>

using harness::LogMatches;

namespace {

class UpDownTest : public ControlsTest {
protected:
    void DestroyControls() override { control.reset(); }

    bool Make(int minimum, int maximum, int value, int def, int step, int w = 60, int h = 40,
              DWORD style = DUpDownStyle::kVisible | DUpDownStyle::kText, const DUpDownNotify* notify = nullptr)
    {
        control.reset(new DUpDown);
        DUpDownDesc d = {style,       10, 10, w, h, Host(), this, nullptr, 0, 0, &inputRecord,
                         notify ? notify : &notifyRecord,
                         DUpDownMask::kMin | DUpDownMask::kMax | DUpDownMask::kValue | DUpDownMask::kDefault | DUpDownMask::kStep,
                         minimum, maximum, value, def, step};
        return control->Create(&d);
    }
    LRESULT Send(UINT m, WPARAM w, LPARAM l) { return SendMessageW(control->GetHwnd(), m, w, l); }
    int ColumnMiddle() const { return control->GetColumnX() + control->GetColumnWidth() / 2; }
    int StripMiddle() const { return control->GetStripTop() + control->GetStripHeight() / 2; }
    int UpMiddle() const { return control->GetUpTop() + control->GetUpHeight() / 2; }
    int DownMiddle() const { return control->GetDownTop() + control->GetDownHeight() / 2; }

    static UpDownTest* Self(void* c) { return static_cast<UpDownTest*>(c); }

    std::unique_ptr<DUpDown> control;
    DUpDownNotify notifyRecord = {
        [](void* c, DUpDown*, int v) { Self(c)->log.Addf("set %d", v); },
        [](void* c, DUpDown*, int v) { Self(c)->log.Addf("changing %d", v); },
    };
    DUpDownInput inputRecord = {};

    // An input record that notes the keys.
    static DUpDownInput KeyRecord()
    {
        DUpDownInput r = {};
        r.keyDown = [](void* c, DUpDown*, WPARAM key, LPARAM) { Self(c)->log.Addf("key down %d", (int)key); };
        r.keyUp = [](void* c, DUpDown*, WPARAM key, LPARAM) { Self(c)->log.Addf("key up %d", (int)key); };
        r.character = [](void* c, DUpDown*, WPARAM ch, LPARAM) { Self(c)->log.Addf("char %d", (int)ch); };
        return r;
    }
};

TEST_F(UpDownTest, LayoutSplitsTheColumnIntoArrowsAndStrip)
{
    ASSERT_TRUE(Make(0, 10, 5, 0, 1, 60, 24));
    EXPECT_EQ(control->GetColumnWidth(), 22);
    EXPECT_EQ(control->GetColumnX(), 36);
    EXPECT_EQ(control->GetUpTop(), 1);
    EXPECT_EQ(control->GetUpHeight(), 8);
    EXPECT_EQ(control->GetStripTop(), 10);
    EXPECT_EQ(control->GetStripHeight(), 4);
    EXPECT_EQ(control->GetDownTop(), 15);
    EXPECT_EQ(control->GetDownHeight(), 7);
    ASSERT_TRUE(Make(0, 10, 5, 0, 1, 60, 40));
    EXPECT_EQ(control->GetStripHeight(), 6);
    ASSERT_TRUE(Make(0, 10, 5, 0, 1, 20, 40));   // narrower than high: the column is everything
    EXPECT_EQ(control->GetColumnWidth(), 18);
    EXPECT_EQ(control->GetColumnX(), 0);
    EXPECT_STREQ(control->GetText(), L"5");
}

TEST_F(UpDownTest, CreationNeedsBothRecordsAndConsistentValues)
{
    control.reset(new DUpDown);
    DUpDownDesc d = {0, 0, 0, 40, 20, Host(), this, nullptr, 0, 0, nullptr, &notifyRecord,
                     DUpDownMask::kMax | DUpDownMask::kValue, 0, 10, 5, 0, 0};
    EXPECT_FALSE(control->Create(&d));
    d.input = &inputRecord;
    d.notify = nullptr;
    EXPECT_FALSE(control->Create(&d));
    d.notify = &notifyRecord;
    d.value = 11;
    EXPECT_FALSE(control->Create(&d)) << "a value above the maximum";
    d.value = 5;
    d.mask |= DUpDownMask::kDefault;
    d.defaultValue = -1;
    EXPECT_FALSE(control->Create(&d)) << "a default below the minimum";
    d.mask = DUpDownMask::kMin | DUpDownMask::kMax;
    d.minimum = 3;
    d.maximum = 1;
    EXPECT_FALSE(control->Create(&d)) << "minimum above maximum";
    EXPECT_EQ(control->GetHwnd(), nullptr);
    d.mask = DUpDownMask::kMax | DUpDownMask::kValue;
    d.minimum = 0;
    d.maximum = 10;
    EXPECT_TRUE(control->Create(&d));
    EXPECT_FALSE(control->Create(&d)) << "one window per control";
}

TEST_F(UpDownTest, ArrowClickCommitsOneStepOnRelease)
{
    ASSERT_TRUE(Make(0, 100, 50, 0, 5));
    int x = ColumnMiddle();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, UpMiddle()));
    EXPECT_EQ(control->GetPress() & DUpDown::kUpPressed, DUpDown::kUpPressed);
    EXPECT_EQ(GetCapture(), control->GetHwnd());
    harness::Pump(300);   // holding does nothing more
    EXPECT_EQ(control->GetValue(), 50);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, UpMiddle()));
    EXPECT_EQ(control->GetValue(), 55);
    EXPECT_STREQ(control->GetText(), L"55");
    EXPECT_NE(GetCapture(), control->GetHwnd());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, DownMiddle()));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, DownMiddle()));
    EXPECT_EQ(control->GetValue(), 50);
    EXPECT_TRUE(LogMatches(log, {"set 55", "set 50"}));
}

TEST_F(UpDownTest, StepsStopAtTheRange)
{
    ASSERT_TRUE(Make(0, 7, 6, 0, 5));
    int x = ColumnMiddle();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, UpMiddle()));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, UpMiddle()));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, UpMiddle()));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, UpMiddle()));
    EXPECT_EQ(control->GetValue(), 7);
    EXPECT_TRUE(LogMatches(log, {"set 7"})) << "at the maximum nothing changes";
}

TEST_F(UpDownTest, LeavingAPressedArrowDropsThePress)
{
    ASSERT_TRUE(Make(0, 100, 50, 0, 5));
    int x = ColumnMiddle();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, UpMiddle()));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, DownMiddle()));
    EXPECT_EQ(control->GetPress() & 7, 0u);
    EXPECT_NE(GetCapture(), control->GetHwnd());
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, UpMiddle()));
    EXPECT_EQ(control->GetValue(), 50);
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
}

TEST_F(UpDownTest, DragChangesOneStepPerTwoPixelsAndCommitsAtRelease)
{
    ASSERT_TRUE(Make(0, 100, 50, 0, 3));
    int x = ColumnMiddle(), y = StripMiddle();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    EXPECT_EQ(control->GetPress() & DUpDown::kDragging, DUpDown::kDragging);
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 1));
    EXPECT_EQ(control->GetValue(), 50) << "one pixel is nothing";
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 2));
    EXPECT_EQ(control->GetValue(), 53);
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y + 5));
    EXPECT_EQ(control->GetValue(), 44) << "towards zero: -5 / 2 is -2";
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y + 5));
    EXPECT_EQ(control->GetPress(), 0u);
    EXPECT_TRUE(LogMatches(log, {"changing 53", "changing 44", "set 44"}));
    log.Clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y - 4));   // moved only at the release
    EXPECT_TRUE(LogMatches(log, {"changing 50", "set 50"}));
}

TEST_F(UpDownTest, DragBeyondTheRangeStopsAtItsEnds)
{
    ASSERT_TRUE(Make(-5, 5, 0, 0, 1));
    int x = ColumnMiddle(), y = StripMiddle();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 300));
    EXPECT_EQ(control->GetValue(), 5);
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y + 300));
    EXPECT_EQ(control->GetValue(), -5);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y + 300));
    EXPECT_TRUE(LogMatches(log, {"changing 5", "changing -5", "set -5"}));
}

TEST_F(UpDownTest, DragArithmeticDoesNotOverflow)
{
    ASSERT_TRUE(Make(INT_MIN, INT_MAX, 0, 0, 1000000000));
    int x = ColumnMiddle(), y = StripMiddle();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 30));
    EXPECT_EQ(control->GetValue(), INT_MAX);
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y + 30));
    EXPECT_EQ(control->GetValue(), INT_MIN);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y + 30));
    EXPECT_EQ(control->GetValue(), INT_MIN);
}

TEST_F(UpDownTest, DragThatReturnsToItsStartCallsNoValueSet)
{
    ASSERT_TRUE(Make(0, 100, 50, 0, 1));
    int x = ColumnMiddle(), y = StripMiddle();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    EXPECT_TRUE(log.Lines().empty()) << "a drag that ends where it began calls nothing";
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 4));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    EXPECT_TRUE(LogMatches(log, {"changing 52", "changing 50"}));
}

TEST_F(UpDownTest, RightClickResetsToTheDefaultOrCancelsADrag)
{
    ASSERT_TRUE(Make(0, 100, 50, 20, 1));
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(control->GetValue(), 20);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));   // already the default
    int x = ColumnMiddle(), y = StripMiddle();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 10));
    Send(WM_RBUTTONDOWN, MK_RBUTTON | MK_LBUTTON, MAKELPARAM(x, y - 10));
    EXPECT_EQ(control->GetValue(), 20);
    EXPECT_EQ(control->GetPress(), 0u);
    EXPECT_NE(GetCapture(), control->GetHwnd());
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y - 10));
    EXPECT_EQ(control->GetValue(), 20);
    EXPECT_TRUE(LogMatches(log, {"set 20", "changing 25", "set 20"}));
}

TEST_F(UpDownTest, RightClickWithoutValueSetCallbackLeavesTheValue)
{
    DUpDownNotify onlyChanging = {nullptr, notifyRecord.valueChanging};
    ASSERT_TRUE(Make(0, 100, 50, 20, 1, 60, 40, DUpDownStyle::kVisible | DUpDownStyle::kText, &onlyChanging));
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(control->GetValue(), 50);
}

// Keys never change the value: they go to the owner's input record as they
// come, and without a key entry nothing happens.
TEST_F(UpDownTest, KeysReachTheOwnersRecordAndLeaveTheValue)
{
    inputRecord = KeyRecord();
    ASSERT_TRUE(Make(0, 100, 50, 20, 1));
    Send(WM_KEYDOWN, VK_UP, 1);
    Send(WM_KEYUP, VK_UP, 0xC0000001);
    Send(WM_CHAR, 'n', 1);
    EXPECT_EQ(control->GetValue(), 50);
    EXPECT_TRUE(LogMatches(log, {"key down 38", "key up 38", "char 110"}));
    inputRecord = DUpDownInput{};
    ASSERT_TRUE(Make(0, 100, 50, 20, 1));
    log.Clear();
    Send(WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(control->GetValue(), 50);
    EXPECT_TRUE(LogMatches(log, {}));
}

TEST_F(UpDownTest, LosingTheCaptureEndsHoverAndDrag)
{
    ASSERT_TRUE(Make(0, 100, 50, 0, 1));
    int x = ColumnMiddle(), y = StripMiddle();
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    EXPECT_EQ(control->GetPress(), DUpDown::kHovering);
    EXPECT_EQ(GetCapture(), control->GetHwnd());
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(control->GetPress(), 0u);
    EXPECT_NE(GetCapture(), control->GetHwnd());

    Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SetCapture(Host());
    EXPECT_EQ(control->GetPress(), 0u) << "the hover ended";
    ReleaseCapture();

    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 6));
    SetCapture(Host());
    EXPECT_EQ(control->GetPress(), 0u) << "the drag ended";
    EXPECT_EQ(control->GetValue(), 50) << "and went back to its start";
    ReleaseCapture();
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 20));
    EXPECT_EQ(control->GetValue(), 50);
    EXPECT_TRUE(LogMatches(log, {"changing 53", "set 50"}));
}

TEST_F(UpDownTest, SetInfoRefusesInconsistentValuesAndSetsTheStepUnchecked)
{
    ASSERT_TRUE(Make(0, 100, 50, 10, 1));
    DUpDownInfo info = {DUpDownMask::kMin | DUpDownMask::kMax, 20, 60, 0, 0, 0};
    EXPECT_FALSE(control->SetInfo(&info)) << "the default 10 falls outside";
    info.mask |= DUpDownMask::kDefault;
    info.defaultValue = 30;
    EXPECT_TRUE(control->SetInfo(&info));
    info = {DUpDownMask::kValue | DUpDownMask::kStep, 0, 0, 60, 0, -7};
    EXPECT_TRUE(control->SetInfo(&info));
    EXPECT_STREQ(control->GetText(), L"60");
    DUpDownInfo out = {0x1F};
    EXPECT_TRUE(control->GetInfo(&out));
    EXPECT_EQ(out.minimum, 20);
    EXPECT_EQ(out.maximum, 60);
    EXPECT_EQ(out.value, 60);
    EXPECT_EQ(out.defaultValue, 30);
    EXPECT_EQ(out.step, -7);
    EXPECT_FALSE(control->SetInfo(nullptr));
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(UpDownTest, PaintsTheValueAndRaisedParts)
{
    ASSERT_TRUE(Make(0, 100, 42, 0, 1, 80, 40));
    MemoryCanvas canvas(80, 40);
    control->Paint(canvas.Dc());
    int cx = control->GetColumnX();
    EXPECT_EQ(canvas.At(cx, control->GetUpTop() + 2), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(cx + control->GetColumnWidth() - 1, control->GetUpTop() + 2), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(ColumnMiddle(), control->GetUpTop() + 4), RGB(0, 0, 0)) << "the up glyph";
    EXPECT_GT(canvas.Count(GetSysColor(COLOR_MENUTEXT), RECT{1, 1, cx - 1, 39}), 0) << "the value text";
    EXPECT_EQ(canvas.Count(RGB(255, 0, 255), RECT{0, 0, 80, 40}), 0);
}

}  // namespace
