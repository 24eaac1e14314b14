// The filter form under Xvfb: its rows and editors per kind, "Set Filter"
// and its refusals, Reset, and Escape leaving the caller's filter untouched.
#include "form_window_fixture.h"

#include "common/prompt_script.h"
#include "forms/descheap.h"
#include "forms/filtertext.h"
#include "forms/filterwnd.h"
#include "forms/formdesc.h"
#include "ui/button.h"

#include <commctrl.h>

#include <functional>
#include <initializer_list>
#include <iterator>

namespace {

const wchar_t kFilterForm[] =
    L"form { caption = \"Find\" width = -500 height = -2 }\n"
    L"items {\n"
    L"  { \"Name\", \"Name1\", varchar(32) }\n"
    L"  { \"Small\", \"Small\", int8 }\n"
    L"  { \"Male\", \"Pol\", bool }\n"
    L"  { \"Born\", \"Birthday\", date }\n"
    L"  { \"Who\", \"Patient\", int32, reference { \"Patient\", \"Patient\", \"Name1\", char(32) } }\n"
    L"}\n"
    L"reference { name = \"Images\" table = \"Snimok\" key = \"Snimok\" basetable = \"Patient\" basekey = \"Patient\"\n"
    L"  refkey = \"Patient\" items { { \"Image date\", \"[Date file]\", date } } }\n";

enum { kName, kSmall, kMale, kBorn, kWho };

class FilterWindowTest : public FormWindowTest {
protected:
    void SetUp() override
    {
        FormWindowTest::SetUp();
        form_ = Form(L"find.cfg", kFilterForm);
        ASSERT_TRUE(filter_.Load(form_.get()));
    }
    FilterRow* Row(DbFiltFormWindow& w, int i) { return w.OwnGroup().rows[i].get(); }
    HWND Editor(DbFiltFormWindow& w, int row, int i = 0) { return Row(w, row)->editors[i]->control; }
    std::wstring Caption(DButton& button)
    {
        wchar_t text[128] = {};
        button.GetText(text, 128);
        return text;
    }
    std::wstring Described(const DbFilter& f)
    {
        std::wstring text;
        f.Describe(text);
        return text;
    }

    std::unique_ptr<FormDesc> form_;
    DbFilter filter_;
};

TEST_F(FilterWindowTest, EveryFieldGetsARowWithEditorsForItsKind)
{
    AddPatient(L"Abel");
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    EXPECT_EQ(L"Find", TextOf(window.GetHwnd()));
    ASSERT_EQ(5u, window.OwnGroup().rows.size());
    EXPECT_TRUE(window.OwnGroup().title.empty());
    ASSERT_EQ(1, window.SectionGroupCount());
    EXPECT_EQ(L"Images", window.SectionGroup(0).title);
    EXPECT_EQ(1u, window.SectionGroup(0).rows.size());

    EXPECT_EQ(L"Substring", Caption(Row(window, kName)->kindButton));
    EXPECT_EQ(1u, Row(window, kName)->editors.size());
    EXPECT_EQ(L"Equal", Caption(Row(window, kSmall)->kindButton));
    EXPECT_EQ(L"Don,t Use", Caption(Row(window, kMale)->kindButton));
    EXPECT_EQ(0u, Row(window, kMale)->editors.size());
    wchar_t className[32] = {};
    GetClassNameW(Editor(window, kWho), className, 32);
    EXPECT_STREQ(L"ComboBox", className);
    EXPECT_EQ(1, SendMessageW(Editor(window, kWho), CB_GETCOUNT, 0, 0));
    GetClassNameW(Editor(window, kBorn), className, 32);
    EXPECT_STREQ(L"Edit", className);

    // "Between" on an integer that held 5: two editors, both 5.
    SetWindowTextW(Editor(window, kSmall), L"5");
    FilterReadText(*Row(window, kSmall)->condition, 0, L"5");
    ASSERT_TRUE(window.ChooseKind(Row(window, kSmall), kFilterBetween));
    ASSERT_EQ(2u, Row(window, kSmall)->editors.size());
    EXPECT_EQ(L"5", TextOf(Editor(window, kSmall, 0)));
    EXPECT_EQ(L"5", TextOf(Editor(window, kSmall, 1)));
    EXPECT_EQ(L"Between", Caption(Row(window, kSmall)->kindButton));
    ASSERT_TRUE(window.ChooseKind(Row(window, kName), kFilterEmpty));
    EXPECT_EQ(0u, Row(window, kName)->editors.size());
    ASSERT_TRUE(window.ChooseKind(Row(window, kMale), kFilterEqual));
    ASSERT_EQ(1u, Row(window, kMale)->editors.size());
    ASSERT_TRUE(Row(window, kMale)->editors[0]->button);
    EXPECT_EQ(L"Yes", Caption(*Row(window, kMale)->editors[0]->button));
    EXPECT_FALSE(window.ChooseKind(Row(window, kWho), kFilterLess));   // not offered for a list

    // Height -2: status bar, buttons and every row, with one title row.
    RECT client = {};
    GetClientRect(window.GetHwnd(), &client);
    EXPECT_EQ(window.ContentHeight(), client.bottom);
    RECT bar = {};
    GetWindowRect(window.StatusBar(), &bar);
    const int buttons = window.Button(0).GetLineHeight() * 3 / 2 + IconSize;
    EXPECT_EQ((bar.bottom - bar.top) + buttons + 7 * window.RowHeight(), window.ContentHeight());
}

TEST_F(FilterWindowTest, SetFilterReadsTheRowsAndCopiesBack)
{
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    SetWindowTextW(Editor(window, kName), L"abc");
    SetWindowTextW(Editor(window, kBorn), L"1/2/1980");
    ASSERT_TRUE(window.ChooseKind(Row(window, kMale), kFilterEqual));
    SendMessageW(Row(window, kMale)->editors[0]->button->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(Row(window, kMale)->editors[0]->button->GetHwnd(), WM_KEYUP, VK_SPACE, 0);   // Yes -> No
    Press(Editor(window, kName), VK_F2);
    EXPECT_EQ(nullptr, window.GetHwnd());
    EXPECT_EQ(1, window.Result());
    const FilterCondition& name = filter_.Own().conditions[kName];
    EXPECT_EQ(kFilterSubstring, name.effective);
    EXPECT_EQ(std::wstring(L"abc%"), FilterValueText(name, 0));
    EXPECT_EQ(L"01/02/1980", FilterValueText(filter_.Own().conditions[kBorn], 0));
    EXPECT_EQ(kFilterEqual, filter_.Own().conditions[kMale].effective);
    EXPECT_EQ(L"No", FilterValueText(filter_.Own().conditions[kMale], 0));
    EXPECT_EQ(L"Filter on Name, Male, Born", Described(filter_));
}

TEST_F(FilterWindowTest, SubstringKeepsATrailingPercentAndAnEmptyTextStaysInactive)
{
    {
        DbFiltFormWindow window;
        ASSERT_TRUE(window.Create(&filter_, nullptr));
        SetWindowTextW(Editor(window, kName), L"ab%");
        ASSERT_TRUE(window.SetFilter());
        EXPECT_EQ(L"ab%", FilterValueText(filter_.Own().conditions[kName], 0));
    }
    {
        DbFiltFormWindow window;
        ASSERT_TRUE(window.Create(&filter_, nullptr));
        EXPECT_EQ(L"ab%", TextOf(Editor(window, kName)));
        SetWindowTextW(Editor(window, kName), L"");
        ASSERT_TRUE(window.SetFilter());
        EXPECT_EQ(kFilterNotUsed, filter_.Own().conditions[kName].effective);
    }
}

TEST_F(FilterWindowTest, AnInvalidValueKeepsTheWindowOpenAndTheFilterAsItWas)
{
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    SetWindowTextW(Editor(window, kName), L"Kept");
    SetWindowTextW(Editor(window, kSmall), L"300");
    Press(Editor(window, kSmall), VK_F2);
    EXPECT_NE(nullptr, window.GetHwnd());
    EXPECT_STREQ(L"Error while reading: Invalid value", window.StatusText());
    wchar_t shown[256] = {};
    SendMessageW(window.StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(shown));
    EXPECT_STREQ(window.StatusText(), shown);
    EXPECT_EQ(L"Filters a not defined", Described(filter_));
    SetWindowTextW(Editor(window, kSmall), L"-12x");
    EXPECT_FALSE(window.SetFilter());
    EXPECT_STREQ(L"Error while reading: Invalid format value", window.StatusText());
    SetWindowTextW(Editor(window, kSmall), L"-128");
    EXPECT_TRUE(window.SetFilter());
    EXPECT_EQ(L"Filter on Name, Small", Described(filter_));
}

TEST_F(FilterWindowTest, ResetGivesEveryRowItsDefault)
{
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    ASSERT_TRUE(window.ChooseKind(Row(window, kBorn), kFilterBetween));
    ASSERT_TRUE(window.ChooseKind(Row(window, kMale), kFilterEqual));
    SetWindowTextW(Editor(window, kName), L"x");
    window.Reset();
    EXPECT_EQ(L"Equal", Caption(Row(window, kBorn)->kindButton));
    EXPECT_EQ(1u, Row(window, kBorn)->editors.size());
    EXPECT_EQ(0u, Row(window, kMale)->editors.size());
    EXPECT_EQ(L"", TextOf(Editor(window, kName)));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(kFilterNotUsed, window.Working().Own().conditions[i].effective) << i;
}

TEST_F(FilterWindowTest, EscapeLeavesTheCallersFilterUntouched)
{
    FilterReadText(filter_.Own().conditions[kName], 0, L"Before%");
    FilterCondition::Normalize(&filter_.Own().conditions[kName]);
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    bool ownerWasDisabled = false;
    Schedule({
        [&] {
            HWND hwnd = FindOwn(DbFiltFormWindow::kClassName);
            ASSERT_NE(nullptr, hwnd);
            ownerWasDisabled = !IsWindowEnabled(owner);
            DbFiltFormWindow* window = WindowObject<DbFiltFormWindow>(hwnd);
            EXPECT_EQ(L"Before%", TextOf(window->OwnGroup().rows[kName]->editors[0]->control));
            SetWindowTextW(window->OwnGroup().rows[kName]->editors[0]->control, L"After");
            window->ChooseKind(window->OwnGroup().rows[kBorn].get(), kFilterNotEmpty);
        },
        [&] {
            DbFiltFormWindow* window = WindowObject<DbFiltFormWindow>(FindOwn(DbFiltFormWindow::kClassName));
            Press(window->OwnGroup().rows[kName]->editors[0]->control, VK_ESCAPE);
        },
    });
    bool set = true;
    ASSERT_TRUE(DbFiltFormWindow::Run(&filter_, owner, &set));
    EXPECT_FALSE(set);
    EXPECT_TRUE(ownerWasDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(L"Before%", FilterValueText(filter_.Own().conditions[kName], 0));
    EXPECT_EQ(kFilterEqual, filter_.Own().conditions[kBorn].kind);
    EXPECT_EQ(L"Filter on Name", Described(filter_));
    DestroyWindow(owner);
}

TEST_F(FilterWindowTest, EnterAndTabMoveThroughTheEditors)
{
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    SetFocus(window.GetHwnd());   // WM_SETFOCUS: the first editor of the own group
    EXPECT_EQ(Editor(window, kName), GetFocus());
    Type(Editor(window, kName), L'\r');
    EXPECT_EQ(Editor(window, kSmall), GetFocus());
    Type(Editor(window, kSmall), L'\t');   // Male has no editor
    EXPECT_EQ(Editor(window, kBorn), GetFocus());
    Type(Editor(window, kBorn), L'\t');
    EXPECT_EQ(Editor(window, kWho), GetFocus());
    Type(Editor(window, kWho), L'\t');
    EXPECT_EQ(window.SectionGroup(0).rows[0]->editors[0]->control, GetFocus());
}

TEST_F(FilterWindowTest, AFormWithoutReferenceSectionsHasOnlyItsOwnGroup)
{
    auto plain = Form(L"plain.cfg", L"items { { \"Name\", \"Name1\", char(32) } }");
    DbFilter filter;
    ASSERT_TRUE(filter.Load(plain.get()));
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter, nullptr));
    EXPECT_EQ(0, window.SectionGroupCount());
    EXPECT_EQ(1u, window.OwnGroup().rows.size());
    EXPECT_EQ(0, window.OwnGroup().rows[0]->rect.top - (window.Button(0).GetLineHeight() * 3 / 2 + IconSize));
}

TEST_F(FilterWindowTest, AFilterThatCannotBeCopiedOpensNoWindow)
{
    DbFilter empty;   // never loaded: nothing to edit
    PromptScript script;
    EXPECT_FALSE(DbFiltFormWindow::Run(&empty, nullptr, nullptr));
    EXPECT_EQ(nullptr, FindOwn(DbFiltFormWindow::kClassName));
}

}  // namespace

namespace {

TEST_F(FilterWindowTest, ACopyBackThatFailsKeepsTheWindowAndTheCallersFilter)
{
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    SetWindowTextW(Editor(window, kName), L"New");
    DescHeap::FailAfter(0);   // the first allocation of the copy fails
    const bool set = window.SetFilter();
    DescHeap::FailAfter(-1);
    EXPECT_FALSE(set);
    EXPECT_NE(nullptr, window.GetHwnd());
    EXPECT_STREQ(L"Error while copying: Error of copying value", window.StatusText());
    EXPECT_TRUE(filter_.IsLoaded());
    EXPECT_EQ(L"Filters a not defined", Described(filter_));
    ASSERT_TRUE(window.SetFilter());
    EXPECT_EQ(L"New%", FilterValueText(filter_.Own().conditions[kName], 0));
}

TEST_F(FilterWindowTest, GroupTitlesAreRedAndTheBackgroundIsTheWindowColour)
{
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    SetWindowPos(window.GetHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    harness::Pump(50);
    RedrawWindow(window.GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    harness::Pump(50);
    harness::PixelGrab grab(window.GetHwnd());
    ASSERT_TRUE(grab.Ok());
    const FilterGroup& images = window.SectionGroup(0);
    RECT title = {0, images.top, grab.Width(), images.top + images.rowHeight};
    EXPECT_GT(grab.Count(RGB(255, 0, 0), title), 10);
    RECT rows = {0, window.OwnGroup().rows[0]->rect.top, window.OwnGroup().rows[0]->rect.right / 4,
                 window.OwnGroup().rows[0]->rect.bottom};
    EXPECT_EQ(0, grab.Count(RGB(255, 0, 0), rows));   // captions are not red
    const COLORREF back = GetSysColor(COLOR_WINDOW);
    EXPECT_GT(grab.Count(RGB(GetRValue(back), GetGValue(back), GetBValue(back)), rows), 10);
}

}  // namespace

namespace {

// Drives the kind menu, a modal popup menu, from a thread timer: when the
// menu is up it records the items' texts, then picks the item of the given
// text with real key presses (Escape when there is none).
class KindMenuDriver {
public:
    explicit KindMenuDriver(std::wstring choice) : choice_(std::move(choice))
    {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, Tick);
    }
    ~KindMenuDriver()
    {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    const std::vector<std::wstring>& Items() const { return items_; }
    int Menus() const { return menus_; }

private:
    static BOOL CALLBACK FindMenu(HWND w, LPARAM found)
    {
        wchar_t name[16] = {};
        GetClassNameW(w, name, 16);
        if (wcscmp(name, L"#32768") == 0 && IsWindowVisible(w)) {
            *reinterpret_cast<HWND*>(found) = w;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        KindMenuDriver* self = current_;
        if (self == nullptr || self->busy_)
            return;
        HWND popup = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindMenu, reinterpret_cast<LPARAM>(&popup));
        if (popup == nullptr)
            return;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, 0x01E1 /* MN_GETHMENU */, 0, 0));
        if (menu == nullptr)
            return;
        self->busy_ = true;
        ++self->menus_;
        self->items_.clear();
        int chosen = -1;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            self->items_.push_back(text);
            if (self->choice_ == text)
                chosen = i;
        }
        if (chosen < 0) {
            harness::Key(VK_ESCAPE, true);
            harness::Key(VK_ESCAPE, false);
        } else {
            for (int i = 0; i <= chosen; ++i) {
                harness::Key(VK_DOWN, true);
                harness::Key(VK_DOWN, false);
            }
            harness::Key(VK_RETURN, true);
            harness::Key(VK_RETURN, false);
        }
        self->busy_ = false;
    }

    static KindMenuDriver* current_;
    std::wstring choice_;
    std::vector<std::wstring> items_;
    int menus_ = 0;
    bool busy_ = false;
    UINT_PTR timer_ = 0;
};

KindMenuDriver* KindMenuDriver::current_ = nullptr;

using Texts = std::vector<std::wstring>;

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using FilterWindowRealInput = FilterWindowTest;

// F3 in a row opens the menu of the kinds its field offers, in the menu's
// order and without the current kind; the chosen kind rebuilds the row's
// editors and the focus goes to its first editor.
TEST_F(FilterWindowRealInput, F3OffersTheFieldsKindsAndAppliesTheChosenOne)
{
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    SetForegroundWindow(window.GetHwnd());
    harness::Pump(30);
    struct Case {
        int row;
        const wchar_t* choice;
        Texts items;
        int kind;
        size_t editors;
    } cases[] = {
        {kBorn, L"Between", {L"Less", L"More", L"Between", L"Empty", L"Not Empty", L"Now"}, kFilterBetween, 2},
        {kName, L"Like", {L"Equal", L"Like", L"Less", L"More", L"Empty", L"Not Empty"}, kFilterLike, 1},
        {kSmall, L"More", {L"Less", L"More", L"Between"}, kFilterMore, 1},
        {kWho, L"Not Empty", {L"Empty", L"Not Empty"}, kFilterNotEmpty, 0},
        {kMale, L"Equal", {L"Equal"}, kFilterEqual, 1},
    };
    for (const Case& c : cases) {
        FilterRow* row = Row(window, c.row);
        HWND first = row->editors.empty() ? row->kindButton.GetHwnd()
                                          : (row->editors[0]->control ? row->editors[0]->control
                                                                      : row->editors[0]->button->GetHwnd());
        SetFocus(first);
        KindMenuDriver driver(c.choice);
        harness::Key(VK_F3, true);
        harness::Key(VK_F3, false);
        harness::PumpUntil([&] { return row->condition->kind == c.kind; }, 10000);
        EXPECT_EQ(1, driver.Menus()) << c.row;
        EXPECT_EQ(c.items, driver.Items()) << c.row;
        EXPECT_EQ(c.kind, row->condition->kind) << c.row;
        EXPECT_EQ(c.editors, row->editors.size()) << c.row;
        EXPECT_EQ(c.choice, Caption(row->kindButton)) << c.row;
        if (!row->editors.empty()) {
            HWND editor = row->editors[0]->control ? row->editors[0]->control : row->editors[0]->button->GetHwnd();
            EXPECT_EQ(editor, GetFocus()) << c.row;
        }
    }
    // "Now" on a date: today as the value, and the kind "Equal".
    SetFocus(Editor(window, kBorn));
    {
        KindMenuDriver driver(L"Now");
        harness::Key(VK_F3, true);
        harness::Key(VK_F3, false);
        harness::PumpUntil([&] { return Row(window, kBorn)->condition->kind == kFilterEqual; }, 10000);
    }
    EXPECT_EQ(kFilterEqual, Row(window, kBorn)->condition->kind);
    EXPECT_FALSE(TextOf(Editor(window, kBorn)).empty());
}

// A reset rebuilds every editor, the focused one too: the focus stays in the
// form (after Ctrl+Delete in the same row's editor, after a click on "Reset"
// in the first one), so that typing, F2 and Escape work without a click.
TEST_F(FilterWindowRealInput, AfterAResetTheKeysStillReachTheForm)
{
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    SetForegroundWindow(window.GetHwnd());
    harness::Pump(30);
    // Presses the keys in order and lets them go in the reverse order.
    const auto keys = [](std::initializer_list<WORD> held) {
        for (WORD key : held)
            harness::Key(key, true);
        for (auto key = std::rbegin(held); key != std::rend(held); ++key)
            harness::Key(*key, false);
    };
    const auto clickReset = [&] {
        RECT r = {};
        GetWindowRect(window.Button(2).GetHwnd(), &r);
        harness::MouseMoveTo((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        harness::Pump(30);
        harness::MouseButton(harness::Button::Left, true);
        harness::Pump(30);
        harness::MouseButton(harness::Button::Left, false);
    };
    const struct {
        int from;   // the row whose editor has the focus before
        std::function<void()> reset;
        int to;     // the row whose first editor has it after
    } cases[] = {{kSmall, [&] { keys({VK_CONTROL, VK_DELETE}); }, kSmall}, {kBorn, clickReset, kName}};
    for (const auto& c : cases) {
        SetWindowTextW(Editor(window, kName), L"typed");
        SetFocus(Editor(window, c.from));
        c.reset();
        harness::PumpUntil([&] { return TextOf(Editor(window, kName)).empty() && GetFocus() == Editor(window, c.to); },
                           10000);
        EXPECT_EQ(L"", TextOf(Editor(window, kName))) << c.from;
        EXPECT_EQ(Editor(window, c.to), GetFocus()) << c.from;
    }
    keys({'7'});
    EXPECT_TRUE(harness::PumpUntil([&] { return TextOf(Editor(window, kName)) == L"7"; }, 10000));
    keys({VK_ESCAPE});
    EXPECT_TRUE(harness::PumpUntil([&] { return window.GetHwnd() == nullptr; }, 10000));
}

// A click on a row's kind button opens the same menu; Escape changes nothing.
TEST_F(FilterWindowRealInput, TheKindButtonOpensTheMenuAndEscapeKeepsTheKind)
{
    DbFiltFormWindow window;
    ASSERT_TRUE(window.Create(&filter_, nullptr));
    SetForegroundWindow(window.GetHwnd());
    harness::Pump(30);
    FilterRow* row = Row(window, kSmall);
    RECT button = {};
    GetWindowRect(row->kindButton.GetHwnd(), &button);
    KindMenuDriver driver(L"");
    harness::MouseMoveTo((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, true);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, false);
    harness::PumpUntil([&] { return driver.Menus() == 1; }, 10000);
    harness::Pump(100);
    EXPECT_EQ(1, driver.Menus());
    EXPECT_EQ((Texts{L"Less", L"More", L"Between"}), driver.Items());
    EXPECT_EQ(kFilterEqual, row->condition->kind);
    EXPECT_EQ(L"Equal", Caption(row->kindButton));
}

}  // namespace
