#include "exchange/sync/synclayout.h"

namespace {

const int kGroupPadding = 10;   // the group box's rows from its edges

RECT Rect(int left, int top, int width, int height)
{
    return RECT{left, top, left + width, top + height};
}

int Max(int a, int b)
{
    return a > b ? a : b;
}

// A control of the height centred in a row from `top` of `rowHeight`.
RECT InRow(int left, int width, int top, int rowHeight, int height)
{
    return Rect(left, top + (rowHeight - height) / 2, width, height);
}

}  // namespace

int SyncClientWidth()
{
    return 5 * SyncLayout::kButtonWidth + 4 * SyncLayout::kGap + 2 * SyncLayout::kGap;
}

int SyncClientHeight(const SyncLayoutMetrics& metrics)
{
    // Laid out in no height at all, the top row stands that far above 0.
    const SyncLayout layout = ComputeSyncLayout(metrics, SyncClientWidth(), 0);
    const int rowTop = layout.databaseBrowse.top < layout.databaseField.top ? layout.databaseBrowse.top
                                                                            : layout.databaseField.top;
    return SyncLayout::kGap - rowTop;
}

SyncLayout ComputeSyncLayout(const SyncLayoutMetrics& m, int width, int height)
{
    SyncLayout l = {};
    const int margin = SyncLayout::kGap;
    const int buttonRow = Max(m.fieldRow, m.buttonHeight);

    int y = height - SyncLayout::kPaneBottom - SyncLayout::kPaneHeight;
    l.pane = RECT{SyncLayout::kPaneSide, y, width - SyncLayout::kPaneSide, y + SyncLayout::kPaneHeight};

    y -= SyncLayout::kPaneGap + m.fieldRow;
    l.status = Rect(margin, y, width - 2 * margin, m.fieldRow);

    y -= SyncLayout::kRowGap + m.buttonHeight;
    int buttonWidth = (width - 2 * margin - (SyncLayout::kBottomCount - 1) * SyncLayout::kGap) / SyncLayout::kBottomCount;
    if (buttonWidth < 0)
        buttonWidth = 0;
    for (int i = 0; i < SyncLayout::kBottomCount; ++i)
        l.bottom[i] = Rect(margin + i * (buttonWidth + SyncLayout::kGap), y, buttonWidth, m.buttonHeight);

    // The columns: labels 45 %, fields 55 % of what one button, its gap and
    // the margins leave.
    int columns = width - 2 * margin - SyncLayout::kButtonWidth - SyncLayout::kFieldToButton;
    if (columns < 0)
        columns = 0;
    const int labelWidth = columns * 45 / 100;
    const int fieldWidth = columns - labelWidth;
    const int fieldX = margin + labelWidth;
    const int inner = margin + kGroupPadding;

    // The group, from its bottom.
    const int groupBottom = y - SyncLayout::kRowGap;
    int row = groupBottom - kGroupPadding - buttonRow;
    l.archiveRadio = InRow(inner, labelWidth - kGroupPadding, row, buttonRow, m.fieldRow);
    l.scan = InRow(fieldX, SyncLayout::kButtonWidth, row, buttonRow, m.buttonHeight);
    l.cancel = InRow(fieldX + SyncLayout::kButtonWidth + SyncLayout::kGap, SyncLayout::kButtonWidth, row, buttonRow,
                     m.buttonHeight);
    row -= SyncLayout::kRowGap + m.fieldRow;
    l.hddRadio = Rect(inner, row, labelWidth - kGroupPadding, m.fieldRow);
    row -= SyncLayout::kRowGap + m.fieldRow;
    l.lastDiskLabel = InRow(inner, labelWidth - kGroupPadding, row, m.fieldRow, m.labelRow);
    l.lastDiskField = Rect(fieldX, row, fieldWidth, m.fieldRow);
    l.group = RECT{margin, row - m.groupCaption, width - margin, groupBottom};

    // The rows above the group, from the counts up.
    row = l.group.top - SyncLayout::kRowGap - m.fieldRow;
    l.countsLabel = InRow(margin, labelWidth, row, m.fieldRow, m.labelRow);
    l.countsField = Rect(fieldX, row, fieldWidth / 2, m.fieldRow);
    const int browseX = fieldX + fieldWidth + SyncLayout::kFieldToButton;
    row -= SyncLayout::kRowGap + buttonRow;
    l.archiveLabel = InRow(margin, labelWidth, row, buttonRow, m.labelRow);
    l.archiveField = InRow(fieldX, fieldWidth, row, buttonRow, m.fieldRow);
    l.archiveBrowse = InRow(browseX, SyncLayout::kButtonWidth, row, buttonRow, m.buttonHeight);
    row -= SyncLayout::kRowGap + buttonRow;
    l.databaseLabel = InRow(margin, labelWidth, row, buttonRow, m.labelRow);
    l.databaseField = InRow(fieldX, fieldWidth, row, buttonRow, m.fieldRow);
    l.databaseBrowse = InRow(browseX, SyncLayout::kButtonWidth, row, buttonRow, m.buttonHeight);
    return l;
}
