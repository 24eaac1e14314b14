// The record card under Xvfb, opened on the site's "Patient.cfg": values
// typed into its controls, F2 inserting and then updating, the check-row
// question answered through the prompt hook, Escape closing.
#include "form_window_fixture.h"

#include "common/prompt_script.h"
#include "forms/dbformdesc.h"
#include "forms/desccache.h"
#include "forms/kartwnd.h"
#include "ui/button.h"
#include "ui/listview.h"

#include <commctrl.h>

#include <functional>

namespace {

enum { kName1, kName2, kName3, kBirthday, kPol };

class KartWindowTest : public FormWindowTest {
protected:
    void SetUp() override
    {
        FormWindowTest::SetUp();
        CopySiteCfg(L"Patient.cfg");
    }
    KartField* Field(DbKartWindow* card, int i) { return card->Layout().fields[i]; }
    HWND Control(DbKartWindow* card, int i) { return Field(card, i)->control; }
};

TEST_F(KartWindowTest, ANewCardShowsTheFormWithItsDefaults)
{
    DbKartWindow* card = CreateKartForm(L"Patient.cfg", nullptr, 0, 0);
    ASSERT_NE(nullptr, card);
    EXPECT_EQ(L"Пациент", TextOf(card->GetHwnd()));
    ASSERT_EQ(5, card->Layout().fieldCount);
    EXPECT_EQ(3, card->Layout().buttonCount);
    EXPECT_EQ(nullptr, card->Layout().list);
    EXPECT_EQ(0, card->Flag());
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(nullptr, Control(card, i));
        EXPECT_EQ(L"", TextOf(Control(card, i)));
    }
    ASSERT_NE(nullptr, Field(card, kPol)->check);
    wchar_t caption[64] = {};
    ASSERT_TRUE(Field(card, kPol)->check->GetText(caption, 64));
    EXPECT_STREQ(L"Мужской", caption);   // "bool" defaults to 1: the first text
    // Width -400: four tenths of the screen; height -2: the button row, five
    // field rows, the frame, the caption and the status bar.
    RECT window = {}, client = {}, bar = {};
    GetWindowRect(card->GetHwnd(), &window);
    GetClientRect(card->GetHwnd(), &client);
    GetWindowRect(card->StatusBar(), &bar);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) * 400 / 1000, window.right - window.left);
    const int buttonRow = IconSize + 2 * card->Layout().buttons[0].GetLineHeight();
    EXPECT_EQ(buttonRow + 5 * card->RowHeight() + (bar.bottom - bar.top), client.bottom);
    DestroyKartForm(card);
}

TEST_F(KartWindowTest, F2InsertsThenUpdatesAndEscapeCloses)
{
    DbKartWindow* card = CreateKartForm(L"Patient.cfg", nullptr, 0, 0);
    ASSERT_NE(nullptr, card);
    SetWindowTextW(Control(card, kName1), L"Сидоров");
    SetWindowTextW(Control(card, kName2), L"Пётр");
    SetWindowTextW(Control(card, kBirthday), L"5/6/1977");
    PromptScript script;
    Press(Control(card, kName1), VK_F2);
    EXPECT_STREQ(L"Data has been saved", card->StatusText());
    EXPECT_EQ(1, card->Flag());
    const LONG key = card->Key();
    EXPECT_GT(key, 0);
    EXPECT_EQ(L"Сидоров", Text(L"SELECT Name1 FROM Patient WHERE Patient=" + std::to_wstring(key)));
    EXPECT_EQ(1, Scalar(L"SELECT Pol FROM Patient"));
    EXPECT_EQ(L"05/06/1977", TextOf(Control(card, kBirthday)));   // shown normalised

    // The yes/no button inverts the value; a second F2 updates the same row.
    SendMessageW(Field(card, kPol)->check->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(Field(card, kPol)->check->GetHwnd(), WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(0u, Field(card, kPol)->Word());
    SetWindowTextW(Control(card, kName3), L"Ильич");
    Press(Control(card, kName3), VK_F2);
    EXPECT_STREQ(L"Data has been saved", card->StatusText());
    EXPECT_EQ(key, card->Key());
    EXPECT_EQ(1, Scalar(L"SELECT COUNT(*) FROM Patient"));
    EXPECT_EQ(L"Ильич", Text(L"SELECT Name3 FROM Patient"));
    EXPECT_EQ(0, Scalar(L"SELECT Pol FROM Patient"));
    EXPECT_EQ(0, card->Outcome().result);

    Press(Control(card, kName3), VK_ESCAPE);
    EXPECT_EQ(nullptr, card->GetHwnd());
    EXPECT_EQ(0u, script.Count());
    DestroyKartForm(card);
}

TEST_F(KartWindowTest, AMissingRequiredValueIsReportedInTheStatusBar)
{
    DbKartWindow* card = CreateKartForm(L"Patient.cfg", nullptr, 0, 0);
    ASSERT_NE(nullptr, card);
    SetWindowTextW(Control(card, kName2), L"Иван");
    Press(Control(card, kName2), VK_F2);
    EXPECT_STREQ(L"\"Фамилия\" field requires data", card->StatusText());
    wchar_t shown[256] = {};
    SendMessageW(card->StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(shown));
    EXPECT_STREQ(card->StatusText(), shown);
    EXPECT_EQ(0, card->Flag());
    EXPECT_EQ(0, Scalar(L"SELECT COUNT(*) FROM Patient"));
    SetWindowTextW(Control(card, kBirthday), L"31/02/2000");
    SetWindowTextW(Control(card, kName1), L"X");
    Press(Control(card, kName2), VK_F2);
    EXPECT_STREQ(L"Invalid \"Дата рождения\" field format", card->StatusText());
    DestroyKartForm(card);
}

TEST_F(KartWindowTest, OpeningAnExistingRowShowsItAndInsertStartsANewOne)
{
    LONG key = AddPatient(L"Петров", L"Пётр", nullptr, 1970, 5, 6);
    DbKartWindow* card = CreateKartForm(L"Patient.cfg", nullptr, key, 1);
    ASSERT_NE(nullptr, card);
    EXPECT_EQ(1, card->Flag());
    EXPECT_EQ(L"Петров", TextOf(Control(card, kName1)));
    EXPECT_EQ(L"06/05/1970", TextOf(Control(card, kBirthday)));
    Press(Control(card, kName1), VK_INSERT);
    EXPECT_EQ(0, card->Flag());
    EXPECT_EQ(L"", TextOf(Control(card, kName1)));
    // Patient.cfg has no "delete" button: F8 does nothing.
    PromptScript script;
    Press(Control(card, kName1), VK_F8);
    EXPECT_EQ(1, Scalar(L"SELECT COUNT(*) FROM Patient"));
    DestroyKartForm(card);
}

TEST_F(KartWindowTest, LeavingTheCheckRowFieldOffersTheSameRecord)
{
    LONG existing = AddPatient(L"Сидоров", L"Иван", nullptr, 1980, 2, 1);
    DbKartWindow* card = CreateKartForm(L"Patient.cfg", nullptr, 0, 0);
    ASSERT_NE(nullptr, card);
    SetWindowTextW(Control(card, kName1), L"сидоров");   // the provider compares without case
    SetWindowTextW(Control(card, kName2), L"Иван");
    SetWindowTextW(Control(card, kBirthday), L"1/2/1980");
    SetFocus(Control(card, kBirthday));

    PromptScript script({IDNO});
    Type(Control(card, kBirthday), L'\t');
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"The same record already exists.\nPress \"Yes\" to open it.", script.Last().text);
    EXPECT_EQ(L"Пациент", script.Last().caption);
    EXPECT_EQ(card->GetHwnd(), script.Last().owner);
    EXPECT_EQ(0, card->Flag());
    EXPECT_EQ(Field(card, kPol)->check->GetHwnd(), GetFocus());   // No: the focus moves on

    SetFocus(Control(card, kBirthday));
    script.Answer(IDYES);
    Type(Control(card, kBirthday), L'\r');
    EXPECT_EQ(2u, script.Count());
    EXPECT_EQ(1, card->Flag());
    EXPECT_EQ(existing, card->Key());
    EXPECT_EQ(L"Сидоров", TextOf(Control(card, kName1)));

    // A field without "checkrow" asks nothing; Shift+Tab goes back.
    SetFocus(Control(card, kName2));
    Type(Control(card, kName2), L'\t');
    EXPECT_EQ(Control(card, kName3), GetFocus());
    DestroyKartForm(card);
}

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using KartWindowRealInput = KartWindowTest;

// Saving with the cursor still in the birthday field runs the duplicate test
// that leaving the field runs: F2 typed on the keyboard asks, and "No" stores
// the second row knowingly; a click on the save button asks again, and "Yes"
// shows the stored row instead of storing a third.
TEST_F(KartWindowRealInput, SavingFromTheCheckRowFieldAsksAboutTheSameRecordFirst)
{
    const LONG existing = AddPatient(L"Сидоров", L"Иван", nullptr, 1980, 2, 1);
    DbKartWindow* card = CreateKartForm(L"Patient.cfg", nullptr, 0, 0);
    ASSERT_NE(nullptr, card);
    SetForegroundWindow(card->GetHwnd());
    SetWindowTextW(Control(card, kName1), L"Сидоров");
    SetWindowTextW(Control(card, kName2), L"Иван");
    SetFocus(Control(card, kBirthday));
    SetWindowTextW(Control(card, kBirthday), L"1/2/1980");

    PromptScript script({IDNO});
    harness::Key(VK_F2, true);
    harness::Key(VK_F2, false);
    harness::PumpUntil([&] { return card->StatusText()[0] != 0; }, 10000);
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"The same record already exists.\nPress \"Yes\" to open it.", script.Last().text);
    EXPECT_STREQ(L"Data has been saved", card->StatusText());
    EXPECT_EQ(2, Scalar(L"SELECT COUNT(*) FROM Patient"));

    // A new card, the same values, the birthday entered last; the button.
    Press(Control(card, kName1), VK_INSERT);
    SetWindowTextW(Control(card, kName1), L"Сидоров");
    SetWindowTextW(Control(card, kName2), L"Иван");
    SetFocus(Control(card, kBirthday));
    SetWindowTextW(Control(card, kBirthday), L"1/2/1980");
    script.Answer(IDYES);
    RECT button = {};
    GetWindowRect(card->Layout().buttons[0].GetHwnd(), &button);
    harness::MouseMoveTo((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, true);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, false);
    harness::PumpUntil([&] { return script.Count() == 2; }, 10000);
    harness::Pump(30);
    EXPECT_EQ(2u, script.Count());
    EXPECT_EQ(2, Scalar(L"SELECT COUNT(*) FROM Patient"));
    EXPECT_EQ(1, card->Flag());
    EXPECT_EQ(existing, card->Key());

    // Once the field was left forward the save asks nothing more.
    Press(Control(card, kName1), VK_INSERT);
    SetWindowTextW(Control(card, kName1), L"Петров");
    SetFocus(Control(card, kBirthday));
    SetWindowTextW(Control(card, kBirthday), L"1/2/1980");
    Type(Control(card, kBirthday), L'\t');
    Press(GetFocus(), VK_F2);
    EXPECT_EQ(2u, script.Count());
    EXPECT_EQ(3, Scalar(L"SELECT COUNT(*) FROM Patient"));
    DestroyKartForm(card);
}

TEST_F(KartWindowTest, RunKartFormIsModalAndReportsWhatWasStored)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    bool ownerWasDisabled = false;
    Schedule({
        [&] {
            HWND card = FindOwn(DbKartWindow::kClassName);
            ASSERT_NE(nullptr, card);
            ownerWasDisabled = !IsWindowEnabled(owner);
            DbKartWindow* object = WindowObject<DbKartWindow>(card);
            SetWindowTextW(object->Layout().fields[kName1]->control, L"Modal");
            Press(object->Layout().fields[kName1]->control, VK_F2);
        },
        [&] {
            DbKartWindow* object = WindowObject<DbKartWindow>(FindOwn(DbKartWindow::kClassName));
            Press(object->Layout().fields[kName1]->control, VK_ESCAPE);
        },
    });
    KartOutcome outcome = {};
    PromptScript script;
    ASSERT_TRUE(RunKartForm(L"Patient.cfg", owner, 0, 0, &outcome));
    EXPECT_TRUE(ownerWasDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(nullptr, FindOwn(DbKartWindow::kClassName));
    EXPECT_EQ(0, outcome.result);
    EXPECT_EQ(1, outcome.flag);
    EXPECT_EQ(Scalar(L"SELECT Patient FROM Patient WHERE Name1='Modal'"), outcome.key);
    DestroyWindow(owner);
}

TEST_F(KartWindowTest, ClosingWithoutSavingReportsNothingStored)
{
    Schedule({[&] { PostMessageW(FindOwn(DbKartWindow::kClassName), WM_CLOSE, 0, 0); }});
    KartOutcome outcome = {};
    ASSERT_TRUE(RunKartForm(L"Patient.cfg", nullptr, 0, 0, &outcome));
    EXPECT_EQ(-1, outcome.result);
    PromptScript script({IDOK});
    EXPECT_FALSE(RunKartForm(L"NoSuchForm.cfg", nullptr, 0, 0));
    EXPECT_EQ(L"File \"NoSuchForm.cfg\" interpretating error", script.Last().text);
}

const wchar_t kVisitKart[] =
    L"form { caption = \"Visit\" height = -2 }\n"
    L"table = \"Visit\" key = \"Visit\"\n"
    L"items {\n"
    L"  { \"Patient\", \"Patient\", int32, reference { \"Patient\", \"Patient\", \"Name1\", char(32) } }\n"
    L"  { \"Note\", \"Note\", char(20) }\n"
    L"}\n"
    L"list { { \"Note\", \"Note\", char(20) } }\n"
    L"buttons { { caption = \"Save\" click = \"addupdate\" } { caption = \"Delete\" click = \"delete\" }\n"
    L"  { caption = \"Close\" click = \"close\" } }\n";

TEST_F(KartWindowTest, AListCardShowsItsFirstRowAndDeletes)
{
    LONG petrov = AddPatient(L"Petrov");
    LONG abel = AddPatient(L"Abel");
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Visit (Patient, Note) VALUES (" + std::to_wstring(petrov) + L", 'b note')"));
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Visit (Patient, Note) VALUES (" + std::to_wstring(abel) + L", 'a note')"));
    WriteCfg(L"visit.cfg", kVisitKart);
    DbKartWindow* card = CreateKartForm(L"visit.cfg", nullptr, 0, 0);
    ASSERT_NE(nullptr, card);
    ASSERT_NE(nullptr, card->Layout().list);
    EXPECT_EQ(2, card->Layout().list->GetRowCount());
    // The refill selected the first row ("a note"), which the card shows.
    EXPECT_EQ(1, card->Flag());
    EXPECT_EQ(L"a note", TextOf(card->Layout().fields[1]->control));
    HWND combo = card->Layout().fields[0]->control;
    EXPECT_EQ(2, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    wchar_t chosen[64] = {};
    SendMessageW(combo, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(chosen));
    EXPECT_STREQ(L"Abel", chosen);

    PromptScript script;
    Press(card->Layout().fields[1]->control, VK_F8);
    EXPECT_EQ(1, Scalar(L"SELECT COUNT(*) FROM Visit"));
    EXPECT_EQ(1, card->Layout().list->GetRowCount());
    EXPECT_EQ(L"b note", TextOf(card->Layout().fields[1]->control));
    DestroyKartForm(card);
}

}  // namespace

namespace {

TEST_F(KartWindowTest, EditControlsTakeNegativeNumbersAndWholeDateTimes)
{
    WriteCfg(L"kinds.cfg", L"table = \"Sample\" key = \"Sample\"\n"
                           L"items { { \"Signed\", \"Number\", int32 } { \"Unsigned\", \"Small\", int8 unsigned }\n"
                           L"  { \"Stamp\", \"Stamp\", datetime } { \"Long\", \"Txt\", char(300) } }\n");
    DbKartWindow* card = CreateKartForm(L"kinds.cfg", nullptr, 0, 0);
    ASSERT_NE(nullptr, card);
    auto style = [&](int i) { return GetWindowLongW(Control(card, i), GWL_STYLE); };
    EXPECT_EQ(0, style(0) & ES_NUMBER);
    EXPECT_NE(0, style(1) & ES_NUMBER);
    EXPECT_NE(0, style(3) & ES_MULTILINE);
    // Typed character by character, as the user types them.
    SetFocus(Control(card, 0));
    for (wchar_t c : std::wstring(L"-42"))
        SendMessageW(Control(card, 0), WM_CHAR, c, 1);
    EXPECT_EQ(L"-42", TextOf(Control(card, 0)));
    SetFocus(Control(card, 2));
    for (wchar_t c : std::wstring(L"31/12/1999 23:59:58"))
        SendMessageW(Control(card, 2), WM_CHAR, c, 1);
    EXPECT_EQ(L"31/12/1999 23:59:58", TextOf(Control(card, 2)));
    // The multi-line text takes four more rows.
    const int r = card->RowHeight();
    EXPECT_EQ(8 * r, card->Layout().CalcHeight(r));
    EXPECT_GE(Field(card, 3)->controlHeight, 3 * r);
    PromptScript script;
    SetFocus(Control(card, 1));   // leaving the stamp reads and shows it again
    EXPECT_EQ(L"31/12/1999 23:59:58", TextOf(Control(card, 2)));
    ASSERT_TRUE(card->Save());
    EXPECT_EQ(-42, Scalar(L"SELECT Number FROM Sample"));
    DestroyKartForm(card);
}

}  // namespace

namespace {

// A visit card whose patient field is a drop-down list with a reference
// button that opens the patient card.
const wchar_t kVisitWithPatientCard[] =
    L"form { caption = \"Visit\" height = -2 }\n"
    L"table = \"Visit\" key = \"Visit\"\n"
    L"items {\n"
    L"  { \"Patient\", \"Patient\", int32, reference { \"Patient\", \"Patient\", \"Name1\", char(32), \"Patient.cfg\" } }\n"
    L"  { \"Note\", \"Note\", char(20) }\n"
    L"}\n"
    L"buttons { { caption = \"Save\" click = \"addupdate\" } { caption = \"Close\" click = \"close\" } }\n";

struct CardSearch {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindCardProc(HWND w, LPARAM p)
{
    CardSearch* s = reinterpret_cast<CardSearch*>(p);
    wchar_t name[64] = {}, title[64] = {};
    GetClassNameW(w, name, 64);
    GetWindowTextW(w, title, 64);
    if (wcscmp(name, DbKartWindow::kClassName) == 0 && wcscmp(title, s->title) == 0 && IsWindowVisible(w)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The card of this thread with the title, or null.
DbKartWindow* CardTitled(const wchar_t* title)
{
    CardSearch search = {title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindCardProc, reinterpret_cast<LPARAM>(&search));
    return search.found ? WindowObject<DbKartWindow>(search.found) : nullptr;
}

void KeyPress(WORD vk)
{
    harness::Key(vk, true);
    harness::Key(vk, false);
}

// Runs `action` once on the card with the title as soon as it is open: from a
// thread timer, so that it runs inside the card's modal loop.
class WhenCardOpens {
public:
    WhenCardOpens(const wchar_t* title, std::function<void(DbKartWindow*)> action)
        : title_(title), action_(std::move(action))
    {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, Tick);
    }
    ~WhenCardOpens()
    {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool Done() const { return done_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        WhenCardOpens* self = current_;
        if (self == nullptr || self->done_ || self->running_)
            return;
        DbKartWindow* card = CardTitled(self->title_);
        if (card == nullptr)
            return;
        self->running_ = true;
        self->action_(card);
        self->running_ = false;
        self->done_ = true;
    }
    static WhenCardOpens* current_;
    const wchar_t* title_;
    std::function<void(DbKartWindow*)> action_;
    UINT_PTR timer_ = 0;
    bool done_ = false;
    bool running_ = false;
};

WhenCardOpens* WhenCardOpens::current_ = nullptr;

std::wstring ComboText(HWND combo)
{
    wchar_t text[64] = {};
    SendMessageW(combo, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    return text;
}

// The keys of a card's drop-down list, typed on the keyboard: F5 refills it
// from the database keeping the value, Delete clears the choice, Ctrl+Enter
// opens the referenced card on the chosen row and refills the list after it.
TEST_F(KartWindowRealInput, TheDropDownListKeysRefillClearAndOpenTheReferencedCard)
{
    const LONG abel = AddPatient(L"Abel");
    WriteCfg(L"visit.cfg", kVisitWithPatientCard);
    DbKartWindow* card = CreateKartForm(L"visit.cfg", nullptr, 0, 0);
    ASSERT_NE(nullptr, card);
    HWND combo = Control(card, 0);
    ASSERT_NE(nullptr, Field(card, 0)->refButton);
    SetForegroundWindow(card->GetHwnd());
    SetFocus(combo);
    harness::Pump(30);
    ASSERT_EQ(1, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);

    // F5: a patient stored meanwhile appears; the chosen one stays chosen.
    AddPatient(L"Baker");
    KeyPress(VK_F5);
    harness::PumpUntil([&] { return SendMessageW(combo, CB_GETCOUNT, 0, 0) == 2; }, 10000);
    EXPECT_EQ(2, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"Abel", ComboText(combo));

    // Ctrl+Enter: the patient card of the chosen row, over this card.
    std::wstring shownName;
    bool ownerDisabled = false;
    WhenCardOpens renamer(L"Пациент", [&](DbKartWindow* patient) {
        shownName = TextOf(patient->Layout().fields[0]->control);
        ownerDisabled = !IsWindowEnabled(card->GetHwnd());
        EXPECT_EQ(abel, patient->Key());
        // Renamed there and saved; the list shows the new name after.
        SetWindowTextW(patient->Layout().fields[0]->control, L"Abelson");
        Press(patient->Layout().fields[0]->control, VK_F2);
        Press(patient->Layout().fields[0]->control, VK_ESCAPE);
    });
    harness::Key(VK_CONTROL, true);
    KeyPress(VK_RETURN);
    harness::Key(VK_CONTROL, false);
    harness::PumpUntil([&] { return !shownName.empty() && CardTitled(L"Пациент") == nullptr; }, 10000);
    harness::Pump(30);
    EXPECT_EQ(L"Abel", shownName);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(card->GetHwnd()));
    EXPECT_EQ(L"Abelson", ComboText(combo));

    // Delete: no choice.
    SetFocus(combo);
    KeyPress(VK_DELETE);
    harness::Pump(30);
    EXPECT_EQ(CB_ERR, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    DestroyKartForm(card);
}

// The reference button beside the list opens the referenced card: a patient
// made there is in the list when it closes.
TEST_F(KartWindowRealInput, TheReferenceButtonOpensTheReferencedCardAndRefillsTheList)
{
    AddPatient(L"Abel");
    WriteCfg(L"visit.cfg", kVisitWithPatientCard);
    DbKartWindow* card = CreateKartForm(L"visit.cfg", nullptr, 0, 0);
    ASSERT_NE(nullptr, card);
    HWND combo = Control(card, 0);
    DButton* reference = Field(card, 0)->refButton;
    ASSERT_NE(nullptr, reference);
    wchar_t caption[64] = {};
    reference->GetText(caption, 64);
    EXPECT_STREQ(L"Patient", caption);
    bool opened = false;
    WhenCardOpens maker(L"Пациент", [&](DbKartWindow* patient) {
        opened = true;
        EXPECT_EQ(0, patient->Flag());   // the field had no value: a new patient
        SetWindowTextW(patient->Layout().fields[0]->control, L"Carter");
        Press(patient->Layout().fields[0]->control, VK_F2);
        Press(patient->Layout().fields[0]->control, VK_ESCAPE);
    });
    SetForegroundWindow(card->GetHwnd());
    harness::Pump(30);
    RECT button = {};
    GetWindowRect(reference->GetHwnd(), &button);
    harness::MouseMoveTo((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, true);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, false);
    harness::PumpUntil([&] { return opened && CardTitled(L"Пациент") == nullptr; }, 10000);
    harness::Pump(30);
    EXPECT_TRUE(opened);
    EXPECT_EQ(2, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    DestroyKartForm(card);
}

}  // namespace
