// Where the synchronisation window's controls stand: plain arithmetic on
// the client size and a few heights measured from the window's fonts, apart
// from any window handle.
//
// From the bottom up: the message pane across the width (200 high, 5 above
// the bottom edge, 15 below the rest); the status line; the row "Создать ТС",
// "Синхр. БД", "Продолжить", "Извлечь диск", "Закрыть" (equal widths, 20
// apart); the group "Сканирование дисков" across the width holding, from its
// bottom, the archive-disk radio button with "Сканировать" and "Отмена"
// beside it, the hard-disk radio button, and the last scanned disk's label
// and field; above the group the rows of the counts (the field half as wide
// as the others), the archive location and the database path, these two
// with their "Указать" buttons 50 pixels right of their fields. Labels take
// 45 % and fields 55 % of the width left beside one button, its 50-pixel gap
// and the margins.
#pragma once

#include <windows.h>

struct SyncLayoutMetrics {
    int labelRow = 20;      // height of a label row (-1.8 times the label font's height)
    int fieldRow = 22;      // height of a field row (-2.0 times the field font's height)
    int buttonHeight = 30;  // 2.1 times the buttons' text height
    int groupCaption = 20;  // room the group box's caption takes above its rows
};

struct SyncLayout {
    static const int kButtonWidth = 160;
    static const int kGap = 20;             // between buttons, and the side margins
    static const int kFieldToButton = 50;   // a field to its "Указать"
    static const int kPaneHeight = 200;
    static const int kPaneBottom = 5;       // the pane above the bottom edge
    static const int kPaneGap = 15;         // the pane below the rest
    static const int kPaneSide = 1;         // the pane's side margins
    static const int kRowGap = 8;           // between rows

    // The buttons of the bottom row, left to right.
    enum BottomButton { kCreateTables, kSyncDb, kContinue, kEject, kClose, kBottomCount };

    RECT pane;
    RECT status;
    RECT bottom[kBottomCount];
    RECT group;
    RECT archiveRadio, scan, cancel;
    RECT hddRadio;
    RECT lastDiskLabel, lastDiskField;
    RECT countsLabel, countsField;
    RECT archiveLabel, archiveField, archiveBrowse;
    RECT databaseLabel, databaseField, databaseBrowse;
};

// The client width the window asks for: five buttons, four gaps, two margins.
int SyncClientWidth();
// The client height at which every row has its room and the top margin is
// one gap.
int SyncClientHeight(const SyncLayoutMetrics& metrics);
// The controls' rectangles in a client area of the size.
SyncLayout ComputeSyncLayout(const SyncLayoutMetrics& metrics, int width, int height);
