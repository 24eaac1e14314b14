// The journal viewer: one window, filled once from the journal.
#include "ui/journalview.h"

#include "common/prompt_script.h"
#include "controls_fixture.h"
#include "foundation/datetime.h"
#include "foundation/journal.h"
#include "ui/listview.h"

#include <string>

namespace {

class JournalViewTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        ASSERT_TRUE(JournalView::Row.init());
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"journalview_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                  std::to_wstring(GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        wcscpy(savedPicture_, DateTimePicture);
    }
    void DestroyControls() override
    {
        JournalView::Destroy();
        JournalView::Row.uninit();
    }
    void TearDown() override
    {
        ControlsTest::TearDown();
        wcscpy(DateTimePicture, savedPicture_);
        JournalDone();
        DeleteFileW((folder_ + L"\\zelk.ju").c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    void OpenJournal()
    {
        PromptScript script({IDYES});
        ASSERT_TRUE(JournalInit(folder_.c_str()));
    }
    std::wstring Cell(int row, int column)
    {
        wchar_t buffer[200];
        DListItem item = {DListItemMask::kText, 0, column, row, buffer, 200, 0, 0};
        return JournalViewList().GetItem(&item) ? buffer : L"<none>";
    }
    std::wstring folder_;
    wchar_t savedPicture_[kPictureSize];
};

BOOL CALLBACK CountViewers(HWND h, LPARAM p)
{
    wchar_t name[64];
    GetClassNameW(h, name, 64);
    if (wcscmp(name, L"JournalViewWindow") == 0)
        ++*reinterpret_cast<int*>(p);
    return TRUE;
}

int CountViewerWindows()
{
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountViewers, reinterpret_cast<LPARAM>(&n));
    return n;
}

TEST_F(JournalViewTest, OpeningTwiceGivesOneWindow)
{
    OpenJournal();
    EXPECT_TRUE(JournalView::Show());
    HWND first = JournalView::Window();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(JournalView::Show());
    EXPECT_EQ(JournalView::Window(), first);
    EXPECT_EQ(CountViewerWindows(), 1);
    EXPECT_EQ(GetWindowLongW(first, GWL_EXSTYLE) & 0x88, 0x88);
    wchar_t title[32];
    GetWindowTextW(first, title, 32);
    EXPECT_STREQ(title, L"Journal");
    JournalView::Destroy();
    EXPECT_EQ(JournalView::Window(), nullptr);
    EXPECT_EQ(CountViewerWindows(), 0);
    EXPECT_TRUE(JournalView::Show()) << "and once closed it opens again";
}

TEST_F(JournalViewTest, RowsShowTimeCategoryCodeAndText)
{
    OpenJournal();
    JournalWrite(kJournalCatApplication, 0x80004005, L"Unspecified failure");
    JournalWrite(kJournalCatSqlStmt, 12, L"SELECT 1");
    JournalWrite(9, 3, L"unknown category");
    ASSERT_TRUE(JournalView::Show());
    DListView& list = JournalViewList();
    ASSERT_EQ(list.GetColumnCount(), 4);
    EXPECT_EQ(list.GetColumnWidth(0), 180);
    EXPECT_EQ(list.GetColumnWidth(3), 250);
    int n = list.GetRowCount();
    ASSERT_GE(n, 4);   // the opening marker first
    EXPECT_EQ(Cell(0, 1), L"Journal");
    EXPECT_EQ(Cell(n - 3, 1), L"Application");
    EXPECT_EQ(Cell(n - 3, 2), L"-2147467259");
    EXPECT_EQ(Cell(n - 3, 3), L"Unspecified failure");
    EXPECT_EQ(Cell(n - 2, 1), L"SQL STMT");
    EXPECT_EQ(Cell(n - 2, 3), L"SELECT 1");
    EXPECT_EQ(Cell(n - 1, 1), L"") << "a category the journal does not name shows blank";
    EXPECT_EQ(Cell(n - 1, 2), L"3");
    EXPECT_EQ(Cell(n - 1, 0).size(), 19u);
    EXPECT_EQ(Cell(n - 1, 0)[2], DateTimePicture[2]);
}

TEST_F(JournalViewTest, DateCellTakesTheFormattersRealLength)
{
    OpenJournal();
    JournalWrite(kJournalCatWarning, 1, L"short date");
    wcscpy(DateTimePicture, L"dd.MM");
    ASSERT_TRUE(JournalView::Show());
    DListView& list = JournalViewList();
    std::wstring date = Cell(list.GetRowCount() - 1, 0);
    EXPECT_EQ(date.size(), 5u) << "not 19 characters with whatever follows";
    EXPECT_EQ(Cell(list.GetRowCount() - 1, 1), L"Warning");
}

TEST_F(JournalViewTest, WithTheJournalClosedNoViewerIsCreated)
{
    EXPECT_FALSE(JournalView::Show());
    EXPECT_EQ(JournalView::Window(), nullptr);
    EXPECT_EQ(CountViewerWindows(), 0);
    EXPECT_FALSE(JournalView::Fill());
}

TEST_F(JournalViewTest, ListCoversTheClientArea)
{
    OpenJournal();
    ASSERT_TRUE(JournalView::Show());
    RECT client, list;
    GetClientRect(JournalView::Window(), &client);
    GetWindowRect(JournalViewList().GetHwnd(), &list);
    EXPECT_EQ(list.right - list.left, client.right);
    EXPECT_EQ(list.bottom - list.top, client.bottom);
}

}  // namespace
