// The initialization table: rows run in order, a failing row stops the
// start-up and the rows before it are undone in reverse.
#include "app_fixture.h"

#include "app/inittable.h"
#include "common/prompt_script.h"
#include "foundation/globals.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> gCalls;
int gFailAt = -1;

template <int N>
bool Init()
{
    gCalls.push_back("init " + std::to_string(N));
    if (N == gFailAt) {
        SetLastError(1000 + N);
        return false;
    }
    return true;
}
template <int N>
void Uninit()
{
    gCalls.push_back("undo " + std::to_string(N));
}

const InitRow kRows[] = {
    {Init<0>, Uninit<0>, L"Row zero"}, {Init<1>, Uninit<1>, L"Row one"},   {Init<2>, Uninit<2>, L"Row two"},
    {Init<3>, Uninit<3>, L"Row three"}, {nullptr, nullptr, nullptr},
};

class InitTableRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        gCalls.clear();
        gFailAt = -1;
    }
    apptest::TempFolder folder;
};

TEST_F(InitTableRun, EveryRowInOrder)
{
    EXPECT_TRUE(RunInitTable(kRows));
    EXPECT_EQ((std::vector<std::string>{"init 0", "init 1", "init 2", "init 3"}), gCalls);
}

TEST_F(InitTableRun, AFailingRowIsNamedAndTheRowsBeforeItUndoneInReverse)
{
    apptest::OpenJournal journal(folder.Path());
    gFailAt = 2;
    PromptScript script({IDOK});
    EXPECT_FALSE(RunInitTable(kRows));
    EXPECT_EQ((std::vector<std::string>{"init 0", "init 1", "init 2", "undo 1", "undo 0"}), gCalls);
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Initialize error \"Row two\"", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(static_cast<UINT>(MB_SYSTEMMODAL), script.Last().flags);
    // The journal has the failing row's own error code, not one the undo left.
    EXPECT_TRUE(apptest::HasEntry(journal.Entries(), 1002, L"Initialize error \"Row two\""));
}

TEST_F(InitTableRun, AFailingFirstRowUndoesNothing)
{
    gFailAt = 0;
    PromptScript script({IDOK});
    EXPECT_FALSE(RunInitTable(kRows));
    EXPECT_EQ((std::vector<std::string>{"init 0"}), gCalls);
}

TEST_F(InitTableRun, TheEndUndoesEveryRowLastFirst)
{
    RunDeinitTable(kRows);
    EXPECT_EQ((std::vector<std::string>{"undo 3", "undo 2", "undo 1", "undo 0"}), gCalls);
}

TEST_F(InitTableRun, TheUndoStopsCountingAtTheFirstRowWithoutOne)
{
    const InitRow rows[] = {{Init<0>, Uninit<0>, L"a"}, {Init<1>, Uninit<1>, L"b"}, {Init<2>, nullptr, L"c"},
                            {Init<3>, Uninit<3>, L"d"}, {nullptr, nullptr, nullptr}};
    RunDeinitTable(rows);
    EXPECT_EQ((std::vector<std::string>{"undo 1", "undo 0"}), gCalls);
}

const wchar_t* const kProgramRowNames[] = {
    L"Initialization DControl",     L"Register DToolTip",          L"Register DButton",
    L"Register DHeader",            L"Register DScroll",           L"Register DListView",
    L"Register DUpDown",            L"Register JWindow",           L"Register WinStop",
    L"Register IconWnd",            L"Register MainWnd",           L"Register InpTextWnd",
    L"Register NoteSnimok Window",  L"Register TNoteSnimok Window", L"Register Profile",
    L"Register SnimokWnd",          L"Register MainViewWnd",       L"Register KartWnd",
    L"Register PrnStatusWnd",       L"Register RegisterPrnJobWnd", L"Register RegisterDConnectWnd",
    L"InitIcons",                   L"Register RegisterIconsBar",  L"Register ArjWindow",
    L"Register PrepDiskWnd",
};

TEST(ProgramInitTable, TwentyFiveNamedRowsEachWithAnUndo)
{
    for (int i = 0; i < kInitTableRows; ++i) {
        ASSERT_NE(nullptr, InitTable[i].init) << i;
        EXPECT_NE(nullptr, InitTable[i].uninit) << i;
        EXPECT_STREQ(kProgramRowNames[i], InitTable[i].name) << i;
    }
    EXPECT_EQ(nullptr, InitTable[kInitTableRows].init);
    EXPECT_EQ(nullptr, InitTable[kInitTableRows].uninit);
}

bool ClassExists(const wchar_t* name)
{
    WNDCLASSEXW wc = {sizeof wc};
    return GetClassInfoExW(hInstance, name, &wc) != 0;
}

TEST(ProgramInitTable, RegistersTheShellsClassesAndTheEndUnregistersThem)
{
    const wchar_t* const classes[] = {L"Stoped process", L"Main patient window", L"InpTextWnd",
                                      L"Connect Window Class", L"Quil button control", L"DToolTip"};
    ASSERT_TRUE(RunInitTable());
    for (const wchar_t* name : classes)
        EXPECT_TRUE(ClassExists(name)) << name;
    RunDeinitTable();
    for (const wchar_t* name : classes)
        EXPECT_FALSE(ClassExists(name)) << name;
}

// The shell's own rows fail when their class is registered already, and
// their undo does nothing when it is not.
TEST(ProgramInitTable, TheShellsRowsRegisterOnce)
{
    const int shellRows[] = {8, 10, 11, 20};
    for (int row : shellRows) {
        SCOPED_TRACE(row);
        InitTable[row].uninit();   // not registered: nothing happens
        ASSERT_TRUE(InitTable[row].init());
        EXPECT_FALSE(InitTable[row].init());
        InitTable[row].uninit();
        InitTable[row].uninit();
        ASSERT_TRUE(InitTable[row].init());
        InitTable[row].uninit();
    }
}

}  // namespace
