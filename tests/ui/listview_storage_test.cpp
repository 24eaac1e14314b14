// The list view's storage: columns, cells and rows across block boundaries.
#include "listview_fixture.h"

namespace {

using harness::LogMatches;

// Rows of a 1,000-unit and a 10-unit text column: about 31 rows per 64 KB block.
class ListStorageTest : public ListTest {
protected:
    void Fill(int rows)
    {
        ASSERT_TRUE(Make());
        ASSERT_TRUE(AddColumn(1000));
        ASSERT_TRUE(AddColumn(10));
        for (int i = 0; i < rows; ++i) {
            ASSERT_TRUE(AddRow(L"R" + std::to_wstring(i), i));
            ASSERT_TRUE(SetText(i, 1, L"s" + std::to_wstring(i)));
        }
    }
    // Checks that row r holds record expected[r] in both columns.
    void Expect(const std::vector<int>& expected)
    {
        ASSERT_EQ(list->GetRowCount(), static_cast<int>(expected.size()));
        for (size_t r = 0; r < expected.size(); ++r) {
            int rec = expected[r];
            ASSERT_EQ(Text(static_cast<int>(r), 0), L"R" + std::to_wstring(rec)) << "row " << r;
            ASSERT_EQ(Text(static_cast<int>(r), 1), L"s" + std::to_wstring(rec)) << "row " << r;
            ASSERT_EQ(Data(static_cast<int>(r)), rec) << "row " << r;
        }
    }
};

TEST_F(ListStorageTest, RowSizeAndRowsPerBlockFollowTheColumns)
{
    ASSERT_TRUE(Make());
    ASSERT_TRUE(AddColumn(1000));
    EXPECT_EQ(list->GetRowSize(), 2020);
    ASSERT_TRUE(AddColumn(2));
    EXPECT_EQ(list->GetRowSize(), 2044) << "maxima 0 to 2 take 24 bytes";
    DListColumn plain = {0, 0, -1, 40, 0, nullptr, 0};
    ASSERT_TRUE(list->InsertColumn(&plain));
    EXPECT_EQ(list->GetRowSize(), 2064) << "a column without text is the 20-byte head";
    EXPECT_EQ(list->GetRowsPerBlock(), (DListView::Granularity() - 11) / 2064);
}

TEST_F(ListStorageTest, FirstRowOfANewBlockAllocatesExactlyOneBlock)
{
    Fill(0);
    int rpb = list->GetRowsPerBlock();
    for (int i = 0; i < rpb; ++i)
        ASSERT_TRUE(AddRow(L"R" + std::to_wstring(i), i));
    EXPECT_EQ(list->GetBlockCount(), 1);
    ASSERT_TRUE(AddRow(L"next", rpb));
    EXPECT_EQ(list->GetBlockCount(), 2);
}

TEST_F(ListStorageTest, InsertingAndDeletingInTheMiddleKeepsEveryCell)
{
    Fill(100);
    int rpb = list->GetRowsPerBlock();
    ASSERT_EQ(list->GetBlockCount(), (100 + rpb - 1) / rpb);
    std::vector<int> model;
    for (int i = 0; i < 100; ++i)
        model.push_back(i);

    // In the middle of a full chain: the last row of each block moves on.
    ASSERT_TRUE(AddRow(L"R500", 500, 40));
    ASSERT_TRUE(SetText(40, 1, L"s500"));
    model.insert(model.begin() + 40, 500);
    ASSERT_TRUE(AddRow(L"R501", 501, 0));
    ASSERT_TRUE(SetText(0, 1, L"s501"));
    model.insert(model.begin(), 501);
    ASSERT_TRUE(AddRow(L"R502", 502, rpb));   // the first slot of the second block
    ASSERT_TRUE(SetText(rpb, 1, L"s502"));
    model.insert(model.begin() + rpb, 502);
    Expect(model);

    for (int row : {rpb - 1, 0, 50, -1}) {
        if (row < 0)
            row = static_cast<int>(model.size()) - 1;   // the last row
        ASSERT_TRUE(list->DeleteItem(row));
        model.erase(model.begin() + row);
        Expect(model);
    }
    EXPECT_FALSE(list->DeleteItem(static_cast<int>(model.size())));
    EXPECT_FALSE(list->DeleteItem(-1));
}

TEST_F(ListStorageTest, InsertingAndDeletingAColumnWithRowsKeepsEveryCell)
{
    Fill(70);
    DListColumn image = {0, DListColumnFlags::kImageCells, 1, 30, 0, nullptr, 0};
    ASSERT_TRUE(list->InsertColumn(&image));
    ASSERT_EQ(list->GetColumnCount(), 3);
    EXPECT_EQ(list->GetRowSize(), 2020 + 20 + 40);
    for (int r = 0; r < 70; ++r) {
        ASSERT_EQ(Text(r, 0), L"R" + std::to_wstring(r));
        ASSERT_EQ(Text(r, 2), L"s" + std::to_wstring(r));
        LONG_PTR d = -1;
        ASSERT_TRUE(list->GetItemData(1, r, &d));
        ASSERT_EQ(d, 0) << "the new column's cells are empty";
    }
    DListItem withImage = {DListItemMask::kImage | DListItemMask::kData, 0, 1, 33, nullptr, 0, 9, 77};
    ASSERT_TRUE(list->SetItem(&withImage));

    ASSERT_TRUE(AddColumn(5, 50, 0));   // a new first column moves every offset
    for (int r = 0; r < 70; ++r) {
        ASSERT_EQ(Text(r, 0), L"") << r;
        ASSERT_EQ(Text(r, 1), L"R" + std::to_wstring(r));
        ASSERT_EQ(Text(r, 3), L"s" + std::to_wstring(r));
    }
    DListItem get = {DListItemMask::kImage | DListItemMask::kData, 0, 2, 33, nullptr, 0, 0, 0};
    ASSERT_TRUE(list->GetItem(&get));
    EXPECT_EQ(get.image, 9);
    EXPECT_EQ(get.data, 77);

    int blocksBefore = list->GetBlockCount();
    ASSERT_TRUE(list->DeleteColumn(1));   // the wide one: fewer blocks
    EXPECT_LT(list->GetBlockCount(), blocksBefore);
    EXPECT_EQ(list->GetRowsPerBlock(), (DListView::Granularity() - 11) / list->GetRowSize());
    for (int r = 0; r < 70; ++r) {
        ASSERT_EQ(Text(r, 2), L"s" + std::to_wstring(r)) << r;
        ASSERT_EQ(Data(r, 0), 0);
    }
    get.column = 1;
    ASSERT_TRUE(list->GetItem(&get));
    EXPECT_EQ(get.image, 9);
    ASSERT_TRUE(list->DeleteColumn(0));
    ASSERT_TRUE(list->DeleteColumn(0));
    ASSERT_EQ(list->GetColumnCount(), 1);
    EXPECT_EQ(Text(69, 0), L"s69");
    ASSERT_TRUE(list->DeleteColumn(0));   // the only column: everything goes
    EXPECT_EQ(list->GetColumnCount(), 0);
    EXPECT_EQ(list->GetRowCount(), 0);
    EXPECT_EQ(list->GetBlockCount(), 0);
}

TEST_F(ListStorageTest, ColumnLimitsAndMaximaAreChecked)
{
    ASSERT_TRUE(Make());
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(AddColumn(1, 10, i)) << i;   // index == count appends
    EXPECT_FALSE(AddColumn(1)) << "a 33rd column";
    ASSERT_TRUE(Make());
    EXPECT_FALSE(AddColumn(-1));
    EXPECT_FALSE(AddColumn(-5)) << "any negative maximum";
    EXPECT_FALSE(AddColumn(40000)) << "a cell larger than a block";
    EXPECT_FALSE(AddColumn(10, 80, 1)) << "index beyond the count";
    EXPECT_EQ(list->GetColumnCount(), 0);
    ASSERT_TRUE(AddColumn(10, 80));
    EXPECT_EQ(list->GetColumnWidth(0), 80);
    EXPECT_EQ(list->GetColumnWidth(-1), -1);
    EXPECT_EQ(list->GetColumnWidth(1), -1);
    EXPECT_FALSE(list->SetColumnWidth(1, 20));
    EXPECT_TRUE(list->SetColumnWidth(0, 20));
    EXPECT_EQ(list->Header().GetColumnWidth(0), 20);
}

TEST_F(ListStorageTest, TextsUpToTheMaximumAreStoredUnterminated)
{
    ASSERT_TRUE(Make());
    ASSERT_TRUE(AddColumn(4));
    EXPECT_TRUE(AddRow(L"abcd", 1));
    EXPECT_FALSE(AddRow(L"abcde", 2));
    EXPECT_EQ(list->GetRowCount(), 1);
    EXPECT_FALSE(SetText(0, 0, L"vwxyz"));
    EXPECT_EQ(Text(0, 0), L"abcd");
    wchar_t small[4];
    DListItem tight = {DListItemMask::kText, 0, 0, 0, small, 4, 0, 0};
    EXPECT_FALSE(list->GetItem(&tight)) << "no room for the terminator";
    wchar_t room[5] = {L'#', L'#', L'#', L'#', L'#'};
    tight = {DListItemMask::kText, 0, 0, 0, room, 5, 0, 0};
    ASSERT_TRUE(list->GetItem(&tight));
    EXPECT_EQ(room[4], 0);
    DListItem counted = {DListItemMask::kText, 0, 0, -1, const_cast<wchar_t*>(L"xyz123"), 2, 0, 0};
    ASSERT_TRUE(list->InsertItem(&counted));
    EXPECT_EQ(Text(1, 0), L"xy");
}

TEST_F(ListStorageTest, SetItemClearsWhatItsMaskLeavesOutButTheData)
{
    ASSERT_TRUE(Make());
    ASSERT_TRUE(AddColumn(10));
    DListColumn image = {0, DListColumnFlags::kImageCells, -1, 30, 0, nullptr, 0};
    ASSERT_TRUE(list->InsertColumn(&image));
    ASSERT_TRUE(AddRow(L"text", 5));
    DListItem img = {DListItemMask::kImage | DListItemMask::kData, 0, 1, 0, nullptr, 0, 3, 8};
    ASSERT_TRUE(list->SetItem(&img));
    DListItem bare = {0, 0, 0, -1, nullptr, 0, 0, 0};   // row -1: the last row
    ASSERT_TRUE(list->SetItem(&bare));
    EXPECT_EQ(Text(0, 0), L"");
    EXPECT_EQ(Data(0, 0), 5) << "the data word keeps its value";
    bare.column = 1;
    ASSERT_TRUE(list->SetItem(&bare));
    DListItem get = {DListItemMask::kImage | DListItemMask::kData, 0, 1, 0, nullptr, 0, -1, -1};
    ASSERT_TRUE(list->GetItem(&get));
    EXPECT_EQ(get.image, 0);
    EXPECT_EQ(get.data, 8);
    bare.column = 2;
    EXPECT_FALSE(list->SetItem(&bare));
    bare.column = 0;
    bare.row = 1;
    EXPECT_FALSE(list->SetItem(&bare));
}

}  // namespace
