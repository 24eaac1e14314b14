// The profile and statistics windows: samples, lengths and statistics of
// known lines and regions.
#include "viewer_fixture.h"

#include "common/window_look.h"

namespace {

struct NullOwner : ProfileOwner {
    int closed = 0;
    void OnProfileClosed(ProfileWnd* profile) override
    {
        ++closed;
        EXPECT_FALSE(profile->Exists()) << "the owner must no longer see the window";
    }
};

int Ramp(int x, int y)
{
    return 100 + x + 10 * y;
}

}  // namespace

class ProfileTest : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        IsAdministrator = true;
        picture = MakePicture(64, 48, Ramp);
    }
    void TearDown() override
    {
        profile.Destroy();
        ViewerTest::TearDown();
    }
    int Open(ProfileLine line, bool restricted = false, const DPicturePtr* other = nullptr)
    {
        return profile.Create(host->Hwnd(), &owner, other ? *other : picture, line, restricted);
    }
    DPicturePtr picture;
    NullOwner owner;
    ProfileWnd profile;
};

TEST_F(ProfileTest, HorizontalLineSamplesEveryPixelInOrder)
{
    ASSERT_EQ(1, Open(ProfileLine{10, 5, 14, 5}));
    ASSERT_EQ(5, profile.SampleCount());
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(10 + i, profile.SamplePoint(i).x);
        EXPECT_EQ(5, profile.SamplePoint(i).y);
        EXPECT_EQ(Ramp(10 + i, 5), profile.SampleValue(i));
    }
    ASSERT_EQ(1, Open(ProfileLine{14, 5, 10, 5}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(14 - i, profile.SamplePoint(i).x);
    EXPECT_EQ(Ramp(10, 5), profile.Minimum());
    EXPECT_EQ(Ramp(14, 5), profile.Maximum());
}

TEST_F(ProfileTest, SlantedLineEndsAtItsEndPoint)
{
    ASSERT_EQ(1, Open(ProfileLine{2, 3, 12, 8}));
    ASSERT_EQ(11, profile.SampleCount());
    EXPECT_EQ(2, profile.SamplePoint(0).x);
    EXPECT_EQ(3, profile.SamplePoint(0).y);
    EXPECT_EQ(12, profile.SamplePoint(10).x);
    EXPECT_EQ(8, profile.SamplePoint(10).y);
    EXPECT_EQ(Ramp(12, 8), profile.SampleValue(10));
}

TEST_F(ProfileTest, LengthUsesThePixelSpacing)
{
    picture->spacingX = picture->spacingY = 0.5;
    ASSERT_EQ(1, Open(ProfileLine{0, 0, 30, 40}));
    EXPECT_DOUBLE_EQ(25.0, profile.Length());
}

TEST_F(ProfileTest, LinesOffThePictureOrOfNoLengthOpenNothing)
{
    EXPECT_EQ(0, Open(ProfileLine{0, 0, 64, 10}));
    EXPECT_FALSE(profile.Exists());
    EXPECT_EQ(0, Open(ProfileLine{5, 5, 5, 5}));
    EXPECT_FALSE(profile.Exists());
    EXPECT_EQ(0, Open(ProfileLine{-1, 5, 5, 5}));
}

TEST_F(ProfileTest, EqualSamplesScaleFromZeroToTheTop)
{
    DPicturePtr flat = MakePicture(20, 20, [](int, int) { return 700; });
    ASSERT_EQ(1, Open(ProfileLine{0, 3, 19, 3}, false, &flat));
    EXPECT_EQ(0, profile.Minimum());
    EXPECT_EQ(65535, profile.Maximum());
}

TEST_F(ProfileTest, AveragingStaysOnThePicture)
{
    ASSERT_EQ(1, Open(ProfileLine{62, 0, 62, 10}));
    profile.SetAveraging(256);
    EXPECT_EQ(256, profile.GetAveraging());
    // Only columns 62 and 63 exist to the right of the line.
    EXPECT_EQ((Ramp(62, 4) + Ramp(63, 4)) / 2, profile.SampleValue(4));
    profile.SetAveraging(1);
    EXPECT_EQ(Ramp(62, 4), profile.SampleValue(4));
    ASSERT_EQ(1, Open(ProfileLine{0, 46, 10, 46}));
    profile.SetAveraging(3);
    EXPECT_EQ((Ramp(7, 46) + Ramp(7, 47)) / 2, profile.SampleValue(7));
}

TEST_F(ProfileTest, AveragingAfterThePictureWasTurnedReadsOnlyThePicture)
{
    // The window stays open while the view turns the picture: a vertical
    // line at x = 48 of the 64 x 48 picture lies just off the 48 x 64 one.
    ASSERT_EQ(1, Open(ProfileLine{48, 0, 48, 10}));
    ASSERT_EQ(1, picture->RotateClockwise());
    ASSERT_EQ(48, picture->width);
    profile.SetAveraging(2);
    // Turned clockwise, column 47 holds the old top row: (47, y) was (y, 0).
    for (int i = 0; i <= 10; ++i)
        EXPECT_EQ(Ramp(i, 0), profile.SampleValue(i)) << i;
    // A horizontal line below the turned picture's last column likewise.
    ASSERT_EQ(1, picture->RotateCounterClockwise());
    ASSERT_EQ(1, Open(ProfileLine{50, 40, 60, 40}));
    ASSERT_EQ(1, picture->RotateClockwise());
    profile.SetAveraging(30);
    for (int i = 0; i <= 10; ++i)
        EXPECT_GE(profile.SampleValue(i), 0) << i;
}

TEST_F(ProfileTest, CoordinatesBeyond32767AreKept)
{
    DPicturePtr wide = MakePicture(40000, 2, [](int x, int) { return x & 0xFFFF; });
    ASSERT_TRUE(wide.Get());
    ASSERT_EQ(1, Open(ProfileLine{32760, 1, 32800, 1}, false, &wide));
    EXPECT_EQ(32800, profile.SamplePoint(40).x);
    EXPECT_EQ(32790, profile.SampleValue(30));
}

TEST_F(ProfileTest, RestrictedWindowShowsOnlyTheMeasure)
{
    IsAdministrator = false;
    picture->spacingX = picture->spacingY = 0.5;
    ASSERT_EQ(1, Open(ProfileLine{0, 0, 30, 40}, true));
    EXPECT_TRUE(profile.IsRestricted());
    EXPECT_DOUBLE_EQ(25.0, profile.Length());
    EXPECT_EQ(-1, profile.SampleValue(0)) << "no samples in the restricted form";
    const LONG style = GetWindowLongW(profile.GetHwnd(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    RECT w;
    GetWindowRect(profile.GetHwnd(), &w);
    EXPECT_EQ(100, w.left);
    EXPECT_EQ(0, w.top);
    wchar_t title[32];
    GetWindowTextW(profile.GetHwnd(), title, 32);
    EXPECT_STREQ(L"Profile", title);
    profile.Destroy();
    EXPECT_EQ(1, owner.closed);
}

TEST_F(ProfileTest, GraphDrawsBarsWithinTheGraph)
{
    ASSERT_EQ(1, Open(ProfileLine{0, 10, 63, 10}));
    harness::Pump(30);
    const RECT g = profile.GraphRect();
    ASSERT_GT(g.right - g.left, 10);
    int bottom, top;
    profile.ValueRange(&bottom, &top);
    EXPECT_EQ(0, bottom);
    EXPECT_EQ(Ramp(63, 10), top) << "automatic maximum by default";
    RedrawWindow(profile.GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GdiFlush();
    harness::PixelGrab grab(profile.GetHwnd());
    // The last sample (the maximum) fills its column to the top.
    const int x = g.left + 63 * profile.GetZoom();
    EXPECT_EQ(RGB(0xFF, 0x7F, 0x7F), grab.At(x, g.top + 1));
    EXPECT_EQ(RGB(0, 0, 0), grab.At(g.left, g.bottom - 1)) << "the cursor sample";
    // Past the last sample: grey.
    if (g.left + 64 * profile.GetZoom() + 2 < g.right) {
        EXPECT_EQ(RGB(0xC0, 0xC0, 0xC0), grab.At(g.left + 64 * profile.GetZoom() + 1, g.top + 5));
    }
}

TEST_F(ProfileTest, ClickingTheGraphMovesTheCursor)
{
    ASSERT_EQ(1, Open(ProfileLine{0, 10, 63, 10}));
    harness::Pump(30);
    const RECT g = profile.GraphRect();
    SendMessageW(profile.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(g.left + 7 * profile.GetZoom(), g.top + 3));
    EXPECT_EQ(7, profile.GetCursor());
    SendMessageW(profile.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(g.left + 9 * profile.GetZoom(), g.top + 3));
    EXPECT_EQ(7, profile.GetCursor()) << "moves count only with the button held";
}

TEST_F(ProfileTest, ZoomMenuSetsPixelsPerSample)
{
    ASSERT_EQ(1, Open(ProfileLine{0, 10, 63, 10}));
    harness::Pump(30);
    const RECT g = profile.GraphRect();
    MenuScript::Answers() = {3};
    SendMessageW(profile.GetHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(g.left + 5, g.top + 5));
    ASSERT_EQ(1u, MenuScript::Seen().size());
    EXPECT_EQ(5u, MenuScript::Seen()[0].size());
    EXPECT_EQ(L"Zoom 300%", MenuScript::Seen()[0][2].text);
    EXPECT_EQ(3, profile.GetZoom());
}

// The profile and statistics windows in each language: the texts of their
// controls whole and in the running language.
TEST_F(ProfileTest, TheirTextsAreWholeInBothLanguages)
{
    for (LANGID lang : {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)}) {
        const bool russian = PRIMARYLANGID(lang) == LANG_RUSSIAN;
        harness::ThreadLanguage language(lang);
        ASSERT_EQ(1, Open(ProfileLine{2, 5, 60, 40}));
        StatisticsWnd& stats = StatisticsWnd::Instance();
        ASSERT_EQ(1, stats.Create(host->Hwnd()));
        for (HWND window : {profile.GetHwnd(), stats.GetHwnd()}) {
            const std::wstring fault = harness::WindowTextFault(window, russian);
            EXPECT_TRUE(fault.empty()) << "language " << lang << ": " << std::string(fault.begin(), fault.end());
        }
        harness::SaveWindowPicture(profile.GetHwnd(), russian ? L"profile_ru" : L"profile_en");
        stats.Destroy();
        profile.Destroy();
    }
}

// ---- statistics ----

class StatisticsTest : public ViewerTest {
protected:
    StatisticsWnd& stats = StatisticsWnd::Instance();
};

TEST_F(StatisticsTest, TwoPixelRegion)
{
    DPicturePtr p = MakePicture(4, 4, [](int x, int y) { return y == 1 && x == 1 ? 10 : (y == 1 && x == 2 ? 20 : 0); });
    ASSERT_EQ(1, stats.Create(host->Hwnd()));
    const PixelRect r = {1, 1, 3, 2};
    stats.CalcRect(p.Get(), &r);
    ASSERT_TRUE(stats.HasStatistics());
    wchar_t text[256];
    stats.FormatStatistics(text, 256);
    EXPECT_STREQ(L"(1, 1)\n(2, 1)\nmin=10\nmax=20\naverage=15.000000\nrms=7.071068", text);
}

TEST_F(StatisticsTest, WholePictureAndOnePixel)
{
    DPicturePtr p = MakePicture(5, 3, [](int x, int y) { return x + 5 * y; });
    ASSERT_EQ(1, stats.Create(host->Hwnd()));
    const PixelRect whole = {0, 0, -1, -1};
    stats.CalcRect(p.Get(), &whole);
    EXPECT_EQ(0, stats.GetMinimum());
    EXPECT_EQ(14, stats.GetMaximum());
    EXPECT_DOUBLE_EQ(7.0, stats.GetAverage());
    const PixelRect one = {2, 2, 3, 3};
    stats.CalcRect(p.Get(), &one);
    EXPECT_EQ(12, stats.GetMinimum());
    EXPECT_EQ(0.0, stats.GetDeviation()) << "one pixel has no spread";
    stats.CalcRect(p.Get(), nullptr);
    EXPECT_EQ(12, stats.GetMaximum()) << "no rectangle: the same area again";
}

TEST_F(StatisticsTest, RegionsAreHeldToThePicture)
{
    DPicturePtr p = MakePicture(5, 3, [](int x, int y) { return x + 5 * y; });
    ASSERT_EQ(1, stats.Create(host->Hwnd()));
    const PixelRect left = {-4, -2, 2, 1};
    stats.CalcRect(p.Get(), &left);
    ASSERT_TRUE(stats.Exists());
    EXPECT_EQ(0, stats.GetMinimum());
    EXPECT_EQ(1, stats.GetMaximum());
    const PixelRect beyond = {1, 0, 6, 2};
    stats.CalcRect(p.Get(), &beyond);
    EXPECT_FALSE(stats.Exists()) << "a region past the right edge closes the window";
}

TEST_F(StatisticsTest, WindowSitsAtTheBottomLeftAndGrowsForStatistics)
{
    ASSERT_EQ(1, stats.Create(host->Hwnd()));
    EXPECT_EQ(0, stats.Create(host->Hwnd()));
    RECT w;
    GetWindowRect(stats.GetHwnd(), &w);
    EXPECT_EQ(0, w.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), w.bottom);
    RECT c;
    GetClientRect(stats.GetHwnd(), &c);
    const int small = c.bottom;
    DPicturePtr p = MakePicture(5, 3, [](int x, int) { return x; });
    const PixelRect whole = {0, 0, -1, -1};
    stats.CalcRect(p.Get(), &whole);
    GetClientRect(stats.GetHwnd(), &c);
    EXPECT_EQ(3 * c.bottom, 9 * small);
    EXPECT_EQ(HTCAPTION, SendMessageW(stats.GetHwnd(), WM_NCHITTEST, 0, MAKELPARAM(w.left + 3, w.bottom - 3)));
}

TEST_F(StatisticsTest, PointReadoutFollowsTheView)
{
    DPicturePtr p = MakePicture(50, 40, [](int x, int y) { return x * 100 + y; });
    ASSERT_TRUE(MakeView(p, 0, 0, 100, 100));
    ASSERT_EQ(1, stats.Create(host->Hwnd()));
    Send(WM_MOUSEMOVE, 0, 12, 34);
    ASSERT_TRUE(stats.HasPoint());
    wchar_t text[64];
    stats.FormatReadout(text, 64);
    EXPECT_STREQ(L"X=12\nY=34\nZ=1234", text);
    ShowPointReadout(50, 0, p.Get());
    EXPECT_FALSE(stats.HasPoint()) << "a point off the picture reads nothing";
}

TEST_F(StatisticsTest, LineStatisticsLeaveOutTheEndPoint)
{
    DPicturePtr p = MakePicture(10, 10, [](int x, int) { return x * 10; });
    ASSERT_EQ(1, stats.Create(host->Hwnd()));
    stats.CalcLine(p.Get(), 0, 0, 4, 0);
    EXPECT_EQ(0, stats.GetMinimum());
    EXPECT_EQ(30, stats.GetMaximum());
    EXPECT_DOUBLE_EQ(15.0, stats.GetAverage());
}
