// The scroll bar: values and their invariants, large ranges, presses on the
// arrows, the track and the thumb driven by messages and timer ticks.
#include "ui/scroll.h"

#include "controls_fixture.h"

#include <functional>

using harness::LogMatches;

namespace {

class ScrollTest : public ControlsTest {
protected:
    void DestroyControls() override { bar.reset(); }

    // A bar in the host: vertical 20 x 200 at (10, 10) unless said otherwise.
    bool Make(DWORD style, int minimum, int maximum, int position, int page, int w = 20, int h = 200)
    {
        bar.reset(new DScroll);
        DScrollDesc d = {style | DScrollStyle::kVisible,
                         this,
                         Host(),
                         10,
                         10,
                         w,
                         h,
                         hInstance,
                         DScrollMask::kMin | DScrollMask::kMax | DScrollMask::kPos | DScrollMask::kPage,
                         minimum,
                         maximum,
                         position,
                         page,
                         &inputRecord,
                         &notifyRecord};
        return bar->Create(&d);
    }
    LRESULT Send(UINT m, WPARAM w, LPARAM l) { return SendMessageW(bar->GetHwnd(), m, w, l); }
    void Down(int x, int y) { Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Move(int x, int y) { Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Up(int x, int y) { Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    void Tick() { Send(WM_TIMER, DScroll::kRepeatTimerId, 0); }

    static ScrollTest* Self(void* c) { return static_cast<ScrollTest*>(c); }

    std::unique_ptr<DScroll> bar;
    std::function<int(const char*, int*)> stepAnswer;   // null: let the bar step
    DScrollNotify notifyRecord = {
        [](void* c, DScroll*, int p) { Self(c)->log.Addf("settled %d", p); },
        [](void* c, DScroll*, int p) { Self(c)->log.Addf("tracking %d", p); },
        [](void* c, DScroll*, int* p) { return Self(c)->Answer("line down", p); },
        [](void* c, DScroll*, int* p) { return Self(c)->Answer("line up", p); },
        [](void* c, DScroll*, int* p) { return Self(c)->Answer("page up", p); },
        [](void* c, DScroll*, int* p) { return Self(c)->Answer("page down", p); },
        nullptr,
    };
    DScrollInput inputRecord = {};

    int Answer(const char* what, int* p)
    {
        log.Add(what);
        return stepAnswer ? stepAnswer(what, p) : 0;
    }
};

TEST_F(ScrollTest, CreationClampsThePositionAndRefusesAnInvertedRange)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 95, 10));
    EXPECT_EQ(bar->GetPos(), 90);
    EXPECT_FALSE(Make(DScrollStyle::kVertical, 10, 5, 0, 0));
    EXPECT_EQ(bar->GetHwnd(), nullptr);
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 0, 0));
    DScrollDesc again = {};
    EXPECT_FALSE(bar->Create(&again)) << "a bar has one window";
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ScrollTest, SetInfoReportsOnlyAClamp)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 0, 10));
    DScrollInfo info = {DScrollMask::kPos, 0, 0, 40, 0};
    EXPECT_TRUE(bar->SetInfo(&info));
    EXPECT_EQ(bar->GetPos(), 40);
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();

    info = {DScrollMask::kPos, 0, 0, 97, 0};
    EXPECT_TRUE(bar->SetInfo(&info));
    EXPECT_EQ(bar->GetPos(), 90);
    EXPECT_TRUE(LogMatches(log, {"settled 90"}));

    info = {DScrollMask::kMin | DScrollMask::kMax, 50, 20, 0, 0};
    EXPECT_FALSE(bar->SetInfo(&info));
    EXPECT_EQ(bar->GetMin(), 0);
    EXPECT_EQ(bar->GetMax(), 100);
    EXPECT_FALSE(bar->SetInfo(nullptr));

    DScrollInfo out = {DScrollMask::kMin | DScrollMask::kMax | DScrollMask::kPos | DScrollMask::kPage};
    EXPECT_TRUE(bar->GetInfo(&out));
    EXPECT_EQ(out.minimum, 0);
    EXPECT_EQ(out.maximum, 100);
    EXPECT_EQ(out.position, 90);
    EXPECT_EQ(out.page, 10);
}

TEST_F(ScrollTest, PageLargerThanTheRangeKeepsThePositionAtTheMinimumAndFillsTheTrack)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 5, 20, 12, 50));
    EXPECT_EQ(bar->GetPos(), 5);
    EXPECT_EQ(bar->GetThumbLength(), bar->GetTrackLength());
    EXPECT_EQ(bar->GetThumbOffset(), 0);
}

TEST_F(ScrollTest, SetPageSetMaxAndSetMinKeepTheInvariant)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 80, 10));
    bar->SetPage(30);
    EXPECT_EQ(bar->GetPos(), 70);
    EXPECT_TRUE(LogMatches(log, {"settled 70"}));
    log.Clear();
    bar->SetPage(-4);
    EXPECT_EQ(bar->GetPage(), 0);
    EXPECT_FALSE(bar->SetMax(-1));
    EXPECT_TRUE(bar->SetMax(50));
    EXPECT_EQ(bar->GetPos(), 50);
    EXPECT_TRUE(bar->SetMin(60) == false);
    EXPECT_TRUE(bar->SetMin(20));
    EXPECT_EQ(bar->GetPos(), 50);
    bar->SetPos(-100);
    EXPECT_EQ(bar->GetPos(), 20);
    EXPECT_TRUE(LogMatches(log, {"settled 50", "settled 20"}));
}

TEST_F(ScrollTest, ThumbShorterThanFivePixelsIsFivePixelsOrTheWholeTrack)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100000, 0, 1));
    EXPECT_EQ(bar->GetThumbLength(), 5);
    int sys = DScroll::Thickness();
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100000, 0, 1, 20, 2 * sys + 3));
    EXPECT_EQ(bar->GetTrackLength(), 3);
    EXPECT_EQ(bar->GetThumbLength(), 3);
}

TEST_F(ScrollTest, RangeOfTenMillionDoesNotOverflow)
{
    const int kMax = 10000000, kPage = 1000000;
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, kMax, 0, kPage, 20, 400));
    int track = bar->GetTrackLength();
    EXPECT_EQ(bar->GetThumbLength(), track / 10);
    bar->SetPos(kMax);
    EXPECT_EQ(bar->GetPos(), kMax - kPage);
    EXPECT_EQ(bar->GetThumbOffset(), track - bar->GetThumbLength());
    bar->SetPos(kMax / 2);
    EXPECT_EQ(bar->GetThumbOffset(), (track - bar->GetThumbLength()) * 5 / 9);

    // The whole int range: still exact at both ends of a thumb drag.
    ASSERT_TRUE(Make(DScrollStyle::kVertical, -2000000000, 2000000000, 0, 1000, 20, 400));
    int b = bar->GetButtonLength();
    int thumbTop = b + bar->GetThumbOffset() + 1;
    Down(10, thumbTop);
    Move(10, thumbTop + 1000);
    EXPECT_EQ(bar->GetPos(), 2000000000 - 1000);
    Move(10, thumbTop - 1000);
    EXPECT_EQ(bar->GetPos(), -2000000000);
    Up(10, thumbTop - 1000);
    EXPECT_EQ(bar->GetPos(), -2000000000);
}

TEST_F(ScrollTest, ArrowPressStepsAtOnceAndOnEveryTickAndSettlesOnceAtRelease)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 50, 10));
    int b = bar->GetButtonLength();
    Down(10, b / 2);
    EXPECT_EQ(bar->GetPressPart(), DScroll::kFirstArrow);
    EXPECT_EQ(GetCapture(), bar->GetHwnd());
    Tick();
    Tick();
    Up(10, b / 2);
    EXPECT_EQ(bar->GetPressPart(), DScroll::kNone);
    EXPECT_NE(GetCapture(), bar->GetHwnd());
    EXPECT_TRUE(LogMatches(log, {"line up", "tracking 49", "line up", "tracking 48", "line up", "tracking 47",
                                 "settled 47"}));

    log.Clear();
    Down(10, 200 - b / 2);
    EXPECT_EQ(bar->GetPressPart(), DScroll::kSecondArrow);
    Move(10, 200 - b - 5);   // off the arrow: the press ends
    Tick();
    Up(10, 200 - b - 5);
    EXPECT_TRUE(LogMatches(log, {"line down", "tracking 48", "settled 48"}));
}

TEST_F(ScrollTest, PressThatDoesNotMoveReportsNothingAtRelease)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 0, 10));
    int b = bar->GetButtonLength();
    Down(10, b / 2);   // already at the minimum
    Up(10, b / 2);
    EXPECT_TRUE(LogMatches(log, {"line up"}));
    log.Clear();
    int thumbMiddle = b + bar->GetThumbOffset() + bar->GetThumbLength() / 2;
    Down(10, thumbMiddle);
    Up(10, thumbMiddle);
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
}

TEST_F(ScrollTest, StepCallbacksDecideOrLetTheBarStep)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 10, 10));
    stepAnswer = [](const char*, int*) { return 1; };   // decided, position unchanged: nothing
    bar->LineDown();
    EXPECT_EQ(bar->GetPos(), 10);
    stepAnswer = nullptr;   // 0: the bar adds 1
    bar->LineDown();
    EXPECT_EQ(bar->GetPos(), 11);
    stepAnswer = [](const char*, int* p) {
        *p = 33;
        return 1;
    };
    bar->PageDown();
    EXPECT_EQ(bar->GetPos(), 33);
    stepAnswer = nullptr;
    bar->PageUp();
    EXPECT_EQ(bar->GetPos(), 23);
    bar->LineUp();
    EXPECT_EQ(bar->GetPos(), 22);
    EXPECT_TRUE(LogMatches(log, {"line down", "line down", "settled 11", "page down", "settled 33", "page up",
                                 "settled 23", "line up", "settled 22"}));
}

TEST_F(ScrollTest, HoldingTheTrackPagesUntilTheThumbCoversThePointerThenSettlesOnce)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 0, 10));
    int b = bar->GetButtonLength();
    int track = bar->GetTrackLength();
    int y = b + track * 45 / 100;   // below the thumb, near the position 45
    Down(10, y);
    EXPECT_EQ(bar->GetPressPart(), DScroll::kTrackAfter);
    for (int i = 0; i < 20 && bar->GetPressPart() != DScroll::kNone; ++i)
        Tick();
    EXPECT_EQ(bar->GetPressPart(), DScroll::kNone) << "the thumb reached the pointer";
    EXPECT_NE(GetCapture(), bar->GetHwnd());
    int settled = static_cast<int>(log.Count("settled " + std::to_string(bar->GetPos())));
    EXPECT_EQ(settled, 1) << log.Dump();
    EXPECT_GE(bar->GetPos(), 30);
    EXPECT_LE(bar->GetPos(), 50);
    // The release after the press has ended reports nothing more.
    log.Clear();
    Up(10, y);
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
}

TEST_F(ScrollTest, LeavingTheTrackEndsThePressWithOneSettledReport)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 0, 10));
    int b = bar->GetButtonLength();
    int y = 200 - b - 3;
    Down(10, y);
    EXPECT_EQ(bar->GetPos(), 10);
    Move(40, y);   // sideways off the bar
    EXPECT_EQ(bar->GetPressPart(), DScroll::kNone);
    Up(40, y);
    EXPECT_TRUE(LogMatches(log, {"page down", "tracking 10", "settled 10"}));
}

TEST_F(ScrollTest, LosingTheCaptureEndsThePressWithOneSettledReport)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 50, 10));
    int b = bar->GetButtonLength();
    Down(10, b / 2);
    SetCapture(Host());
    EXPECT_EQ(bar->GetPressPart(), DScroll::kNone);
    ReleaseCapture();
    Tick();
    EXPECT_TRUE(LogMatches(log, {"line up", "tracking 49", "settled 49"}));
}

TEST_F(ScrollTest, DraggingTheThumbToEitherEndGivesMinimumAndMaximumLessPage)
{
    ASSERT_TRUE(Make(0, 10, 110, 40, 20, 300, 20));   // horizontal
    int b = bar->GetButtonLength();
    int x = b + bar->GetThumbOffset() + 2;
    Down(x, 10);
    EXPECT_EQ(bar->GetPressPart(), DScroll::kThumb);
    Move(x + 500, 10);
    EXPECT_EQ(bar->GetPos(), 90);
    Move(x - 500, 10);
    EXPECT_EQ(bar->GetPos(), 10);
    Up(x - 500, 10);
    EXPECT_EQ(log.Lines().back(), "settled 10");
    EXPECT_EQ(log.Count("settled 10"), 1u);
    EXPECT_EQ(log.Count("tracking 90"), 1u);
}

TEST_F(ScrollTest, SystemThicknessAndPinningHoldWhateverTheOwnerAsks)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical | DScrollStyle::kSystemThickness | DScrollStyle::kAnchorRight |
                         DScrollStyle::kAnchorTop,
                     0, 10, 0, 1, 0, 120));
    RECT r;
    GetWindowRect(bar->GetHwnd(), &r);
    MapWindowPoints(nullptr, Host(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.right - r.left, DScroll::Thickness());
    EXPECT_EQ(r.right, hostWidth);
    EXPECT_EQ(r.top, 0);
    MoveWindow(bar->GetHwnd(), 5, 5, 0, 80, TRUE);
    GetWindowRect(bar->GetHwnd(), &r);
    MapWindowPoints(nullptr, Host(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.right - r.left, DScroll::Thickness());
    EXPECT_EQ(r.right, hostWidth);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 80);
}

TEST_F(ScrollTest, WindowlessBarKeepsValuesAndRefusesWindowOperations)
{
    bar.reset(new DScroll);
    DScrollDesc d = {DScrollStyle::kNoWindow | DScrollStyle::kVertical, this, Host(), 0, 0, 0, 0, hInstance,
                     DScrollMask::kMax | DScrollMask::kPage, 0, 50, 0, 5, nullptr, &notifyRecord};
    ASSERT_TRUE(bar->Create(&d));
    EXPECT_EQ(bar->GetHwnd(), nullptr);
    EXPECT_FALSE(bar->Create(&d));
    bar->SetPos(60);
    EXPECT_EQ(bar->GetPos(), 45);
    EXPECT_FALSE(bar->Show(true));
    EXPECT_FALSE(bar->Enable(false));
    bar->Clear();
    EXPECT_TRUE(bar->Create(&d)) << "a cleared bar can be created again";
}

TEST_F(ScrollTest, ShowAndHideFollowTheWindow)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 10, 0, 1));
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_TRUE(bar->Show(false));
    EXPECT_FALSE(IsWindowVisible(bar->GetHwnd()));
    EXPECT_FALSE(bar->IsVisible());
    EXPECT_TRUE(bar->Show(true));
    EXPECT_TRUE(IsWindowVisible(bar->GetHwnd()));
    EXPECT_TRUE(bar->Enable(false));
    EXPECT_FALSE(bar->IsEnabled());
}

TEST_F(ScrollTest, PaintsTrackAroundARaisedThumbOnAMemoryDc)
{
    ASSERT_TRUE(Make(DScrollStyle::kVertical, 0, 100, 50, 20, 20, 200));
    MemoryCanvas canvas(20, 200);
    bar->Draw(canvas.Dc());
    int b = bar->GetButtonLength();
    COLORREF track = GetSysColor(COLOR_SCROLLBAR), face = GetSysColor(COLOR_BTNFACE);
    int thumbTop = b + bar->GetThumbOffset(), thumbBottom = thumbTop + bar->GetThumbLength();
    EXPECT_EQ(canvas.At(10, b + 1), track);
    EXPECT_EQ(canvas.At(10, 200 - b - 2), track);
    EXPECT_EQ(canvas.At(10, (thumbTop + thumbBottom) / 2), face);
    EXPECT_EQ(canvas.At(0, thumbTop + 2), RGB(255, 255, 255)) << "raised: white on the left";
    EXPECT_EQ(canvas.At(19, thumbTop + 2), RGB(0, 0, 0)) << "raised: black on the right";
    EXPECT_EQ(canvas.At(10, b / 2), GetSysColor(COLOR_BTNTEXT)) << "the up glyph";
    EXPECT_EQ(canvas.Count(RGB(255, 0, 255), RECT{0, 0, 20, 200}), 0) << "every pixel painted";
}

}  // namespace
