// Filling a list view from a rowset, and looking for key presses without
// taking them from the queue.
#include "form_window_fixture.h"

#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "forms/dbfilter.h"
#include "forms/kartlayout.h"
#include "ui/listview.h"

namespace {

const wchar_t kList[] =
    L"table = \"Patient\" key = \"Patient\" orderby = \"Name1\"\n"
    L"list { { \"Name\", \"Name1\", char(32) } { \"Hidden\", \"Name3\", char(32) special }\n"
    L"  { \"Born\", \"Birthday\", date } { \"Sex\", \"Pol\", bool, format { \"M\" \"F\" } } }\n";

class ListFillTest : public FormWindowTest {
protected:
    void SetUp() override
    {
        FormWindowTest::SetUp();
        host_.reset(new harness::HostWindow(400, 300));
        DListViewDesc d = {DListViewStyle::kStandard, nullptr, host_->Hwnd(), 0, 0, 400, 300, nullptr, nullptr, nullptr};
        ASSERT_TRUE(list_.Create(&d));
        for (int i = 0; i < 3; ++i) {
            DListColumn c = {DListColumnFlags::kCaption, DListColumnFlags::kTextCells, -1, 100, 32, L"c", 0};
            ASSERT_TRUE(list_.InsertColumn(&c));
        }
    }
    void TearDown() override
    {
        list_.Destroy();
        host_.reset();
        FormWindowTest::TearDown();
    }
    std::wstring Cell(int row, int column)
    {
        wchar_t text[64] = {};
        DListItem item = {DListItemMask::kText, 0, column, row, text, 64, 0, 0};
        list_.GetItem(&item);
        return text;
    }
    int Fill(const DbFormDesc& form, const LONG* wanted, LONG* key, int* flag, bool stop = false)
    {
        SqlText sql;
        DODBPtr<DODBBindParam> params;
        EXPECT_TRUE(BuildFilterSelect(sql, form, nullptr, params));
        DODBPtr<DODBRowset> rowset;
        DODBPtr<DODBParams> row;
        EXPECT_EQ(S_OK, g_DbSession->ExecSql(sql.c_str(), &rowset, &row, nullptr, nullptr));
        return FillListFromRowset(&list_, rowset.Get(), row.Get(), form.List(), wanted, key, flag, stop);
    }

    std::unique_ptr<harness::HostWindow> host_;
    DListView list_;
};

TEST_F(ListFillTest, RowsTheirKeysAndTheWantedRowSelected)
{
    auto form = DbForm(L"list.cfg", kList);
    LONG b = AddPatient(L"Baker", nullptr, L"hidden", 1971, 3, 4);
    LONG a = AddPatient(L"Abel", nullptr, nullptr, 1960, 1, 2);
    ASSERT_EQ(S_OK, Run(L"UPDATE Patient SET Pol=1 WHERE Patient=" + std::to_wstring(b)));
    LONG key = 0;
    int flag = -1;
    ASSERT_EQ(0, Fill(*form, &b, &key, &flag));
    ASSERT_EQ(2, list_.GetRowCount());
    EXPECT_EQ(L"Abel", Cell(0, 0));
    EXPECT_EQ(L"02/01/1960", Cell(0, 1));   // "special" Name3 is no column: Born is the second
    EXPECT_EQ(L"Baker", Cell(1, 0));
    EXPECT_EQ(L"M", Cell(1, 2));
    EXPECT_EQ(L"F", Cell(0, 2));
    LONG_PTR data = 0;
    ASSERT_TRUE(list_.GetItemData(0, 0, &data));
    EXPECT_EQ(a, data);
    EXPECT_EQ(1, list_.GetSelectedRow());
    EXPECT_EQ(b, key);
    EXPECT_EQ(1, flag);
}

TEST_F(ListFillTest, WithoutAWantedKeyTheFirstRowAndAnEmptyListNothing)
{
    auto form = DbForm(L"list.cfg", kList);
    LONG key = -1;
    int flag = -1;
    ASSERT_EQ(0, Fill(*form, nullptr, &key, &flag));
    EXPECT_EQ(0, key);
    EXPECT_EQ(0, flag);
    EXPECT_EQ(-1, list_.GetSelectedRow());
    LONG z = AddPatient(L"Zed");
    AddPatient(L"Young");
    list_.DeleteAllItems();
    ASSERT_EQ(0, Fill(*form, nullptr, &key, &flag));
    EXPECT_EQ(0, list_.GetSelectedRow());
    EXPECT_NE(z, key);
    EXPECT_EQ(1, flag);
}

TEST_F(ListFillTest, AKeyPressStopsTheFillAndStaysInTheQueue)
{
    auto form = DbForm(L"list.cfg", kList);
    AddPatient(L"One");
    AddPatient(L"Two");
    AddPatient(L"Three");
    EXPECT_FALSE(IsKeyPending());
    PostMessageW(host_->Hwnd(), WM_KEYUP, 'A', 0);
    EXPECT_FALSE(IsKeyPending());
    PostMessageW(host_->Hwnd(), WM_KEYDOWN, 'B', 0);
    EXPECT_TRUE(IsKeyPending());
    LONG key = 0;
    int flag = 0;
    EXPECT_EQ(1, Fill(*form, nullptr, &key, &flag, true));
    EXPECT_EQ(1, list_.GetRowCount());
    // Nothing was taken from the queue: both keys are still there, in order.
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_KEYUP), m.message);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), m.message);
    EXPECT_EQ(static_cast<WPARAM>('B'), m.wParam);
}

}  // namespace
