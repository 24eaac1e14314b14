// Where the synchronisation window's controls stand: the layout arithmetic
// for small and large fonts (every row has its room, nothing overlaps, the
// window fits a 1280 x 1024 screen), and the window laid out with it.
#include "sync_wnd_fixture.h"

#include "exchange/sync/synclayout.h"
#include "resources/resource.h"

namespace extest {
namespace {

bool Overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

std::string Describe(const RECT& r)
{
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "}";
}

// Every control of the layout except the group, which holds some of them.
std::vector<RECT> Controls(const SyncLayout& l)
{
    std::vector<RECT> all = {l.pane,          l.status,       l.archiveRadio,  l.scan,          l.cancel,
                             l.hddRadio,      l.lastDiskLabel, l.lastDiskField, l.countsLabel,  l.countsField,
                             l.archiveLabel,  l.archiveField, l.archiveBrowse, l.databaseLabel, l.databaseField,
                             l.databaseBrowse};
    for (const RECT& r : l.bottom)
        all.push_back(r);
    return all;
}

class SyncLayoutArithmetic : public ::testing::TestWithParam<SyncLayoutMetrics> {};

TEST_P(SyncLayoutArithmetic, AtItsOwnSizeNothingOverlapsAndEverythingIsInside)
{
    const SyncLayoutMetrics m = GetParam();
    const int width = SyncClientWidth(), height = SyncClientHeight(m);
    EXPECT_EQ(5 * 160 + 4 * 20 + 2 * 20, width);
    EXPECT_LT(height, 1024 - 60);   // a caption and a menu bar still fit the screen
    const SyncLayout l = ComputeSyncLayout(m, width, height);
    const RECT client = {0, 0, width, height};
    const std::vector<RECT> controls = Controls(l);
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(Inside(controls[i], client)) << i << " " << Describe(controls[i]);
        EXPECT_GT(controls[i].right, controls[i].left) << i;
        EXPECT_GT(controls[i].bottom, controls[i].top) << i;
        for (size_t j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(Overlap(controls[i], controls[j])) << i << " " << Describe(controls[i]) << " and " << j << " "
                                                           << Describe(controls[j]);
    }
    // The group holds its rows, below its caption.
    for (const RECT& r : {l.archiveRadio, l.scan, l.cancel, l.hddRadio, l.lastDiskLabel, l.lastDiskField}) {
        EXPECT_TRUE(Inside(r, l.group)) << Describe(r);
        EXPECT_GE(r.top, l.group.top + m.groupCaption) << Describe(r);
    }
    EXPECT_EQ(20, l.databaseField.top < l.databaseBrowse.top ? l.databaseField.top : l.databaseBrowse.top);
}

TEST_P(SyncLayoutArithmetic, RowsRunBottomUpFromThePane)
{
    const SyncLayoutMetrics m = GetParam();
    const SyncLayout l = ComputeSyncLayout(m, SyncClientWidth(), SyncClientHeight(m));
    const int height = SyncClientHeight(m);
    EXPECT_EQ(height - 5, l.pane.bottom);
    EXPECT_EQ(200, l.pane.bottom - l.pane.top);
    EXPECT_EQ(1, l.pane.left);
    EXPECT_EQ(SyncClientWidth() - 1, l.pane.right);
    EXPECT_EQ(l.pane.top - 15, l.status.bottom);
    EXPECT_LT(l.bottom[0].bottom, l.status.top);
    EXPECT_LT(l.group.bottom, l.bottom[0].top);
    EXPECT_LT(l.countsField.bottom, l.group.top);
    EXPECT_LT(l.archiveField.bottom, l.countsField.top);
    EXPECT_LT(l.databaseField.bottom, l.archiveField.top);
    // Inside the group: the archive radio at the bottom, then the hard
    // disk's, then the last scanned disk.
    EXPECT_LT(l.hddRadio.bottom, l.archiveRadio.top);
    EXPECT_LT(l.lastDiskField.bottom, l.hddRadio.top);
}

TEST_P(SyncLayoutArithmetic, ColumnsAndButtonsTakeTheirShares)
{
    const SyncLayoutMetrics m = GetParam();
    const int width = SyncClientWidth();
    const SyncLayout l = ComputeSyncLayout(m, width, SyncClientHeight(m));
    // Five buttons of equal width, 20 apart, across the width less the margins.
    for (int i = 0; i < SyncLayout::kBottomCount; ++i) {
        EXPECT_EQ(160, l.bottom[i].right - l.bottom[i].left) << i;
        if (i) {
            EXPECT_EQ(20, l.bottom[i].left - l.bottom[i - 1].right) << i;
        }
    }
    EXPECT_EQ(20, l.bottom[0].left);
    EXPECT_EQ(width - 20, l.bottom[SyncLayout::kBottomCount - 1].right);
    // Labels 45 %, fields 55 % of the width beside one button and its gap.
    const int columns = width - 2 * 20 - 160 - 50;
    EXPECT_EQ(columns * 45 / 100, l.archiveLabel.right - l.archiveLabel.left);
    EXPECT_EQ(columns - columns * 45 / 100, l.archiveField.right - l.archiveField.left);
    EXPECT_EQ(l.archiveField.right + 50, l.archiveBrowse.left);
    EXPECT_EQ(width - 20, l.archiveBrowse.right);
    EXPECT_EQ((l.archiveField.right - l.archiveField.left) / 2, l.countsField.right - l.countsField.left);
    EXPECT_EQ(l.archiveField.left, l.lastDiskField.left);
    EXPECT_EQ(l.archiveField.left, l.scan.left);
    EXPECT_EQ(l.scan.right + 20, l.cancel.left);
}

SyncLayoutMetrics Metrics(int labelRow, int fieldRow, int buttonHeight)
{
    SyncLayoutMetrics m;
    m.labelRow = labelRow;
    m.fieldRow = fieldRow;
    m.buttonHeight = buttonHeight;
    m.groupCaption = labelRow;
    return m;
}

INSTANTIATE_TEST_SUITE_P(Fonts, SyncLayoutArithmetic,
                         ::testing::Values(Metrics(18, 20, 27), Metrics(23, 26, 40), Metrics(36, 40, 60)),
                         [](const ::testing::TestParamInfo<SyncLayoutMetrics>& info) {
                             return "FieldRow" + std::to_string(info.param.fieldRow);
                         });

// ---- the window ---------------------------------------------------------------------------------

using WindowLayout = SyncWindowTest;

TEST_F(WindowLayout, TheWindowTakesItsLayoutsSizeCentredOnTheScreenWithItsMenu)
{
    OpenWindow();
    RECT client;
    GetClientRect(W().GetHwnd(), &client);
    EXPECT_EQ(SyncClientWidth(), client.right);
    RECT r;
    GetWindowRect(W().GetHwnd(), &r);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((work.left + work.right) / 2, (r.left + r.right) / 2, 1);
    EXPECT_GE(r.top, work.top);
    EXPECT_LE(r.bottom, work.bottom);
    HMENU bar = GetMenu(W().GetHwnd());
    ASSERT_NE(nullptr, bar);
    wchar_t text[64] = L"";
    GetMenuStringW(bar, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"Команды", text);
    // Each control stands where the layout puts it.
    POINT origin = {0, 0};
    ClientToScreen(W().GetHwnd(), &origin);
    RECT scan;
    GetWindowRect(W().Button(ScanDbWindow::kScan).GetHwnd(), &scan);
    EXPECT_EQ(W().Layout().scan.left, scan.left - origin.x);
    EXPECT_EQ(W().Layout().scan.top, scan.top - origin.y);
    RECT pane;
    GetWindowRect(W().Pane().GetHwnd(), &pane);
    EXPECT_EQ(W().Layout().pane.top, pane.top - origin.y);
    EXPECT_EQ(client.bottom - 5, pane.bottom - origin.y);
}

TEST_F(WindowLayout, TheMenuHoldsTheCommandsAndTheDisksSubmenuInOrder)
{
    OpenWindow();
    HMENU commands = W().CommandsMenu();
    ASSERT_EQ(3, GetMenuItemCount(commands));
    const UINT ids[] = {IDM_SYNC_MOVE_SUSPECT, IDM_SYNC_DROP_TABLES, IDM_SYNC_DISKS};
    const wchar_t* texts[] = {L"Переместить снимки(suspect)...", L"Удалить вспом. таблицы", L"Диски"};
    for (int i = 0; i < 3; ++i) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_SUBMENU;
        ASSERT_TRUE(GetMenuItemInfoW(commands, i, TRUE, &item));
        EXPECT_EQ(ids[i], item.wID);
        wchar_t text[64] = L"";
        GetMenuStringW(commands, i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(texts[i], text);
        if (i == 2) {
            ASSERT_NE(nullptr, item.hSubMenu);
            ASSERT_EQ(3, GetMenuItemCount(item.hSubMenu));
            EXPECT_EQ(IDM_SYNC_DISKS_SCANNED, GetMenuItemID(item.hSubMenu, 0));
            EXPECT_EQ(IDM_SYNC_DISKS_NOT_SCANNED, GetMenuItemID(item.hSubMenu, 1));
            EXPECT_EQ(IDM_SYNC_DISKS_REGISTERED, GetMenuItemID(item.hSubMenu, 2));
        }
    }
}

}  // namespace
}  // namespace extest
