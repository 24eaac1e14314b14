// The journal viewer window.
#include "ui/journalview.h"

#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/textutil.h"
#include "resources/strings.h"
#include "ui/handler_table.h"
#include "ui/listview.h"
#include "ui/window_errors.h"

namespace {

const wchar_t kClassName[] = L"JournalViewWindow";
const int kNameChars = 64;

HWND gViewer;                               // null when no viewer exists
DListView gList;                            // for the life of the process
wchar_t gNames[5][kNameChars];              // categories 0 to 4, from the string table
const wchar_t* const gCategoryNames[6] = {gNames[0], gNames[1], gNames[2], gNames[3], gNames[4], L"SQL STMT"};
HandlerTable gViewerHandlers;

const UINT kNameIds[5] = {IDS_JOURNAL_CATEGORY_JOURNAL, IDS_JOURNAL_CATEGORY_APPLICATION,
                          IDS_JOURNAL_CATEGORY_NETBIOS, IDS_JOURNAL_CATEGORY_DETECTOR,
                          IDS_JOURNAL_CATEGORY_WARNING};

struct ColumnSpec {
    const wchar_t* caption;
    int width;
    DWORD cellKind;
    int maxLength;
};
const ColumnSpec kColumns[4] = {
    {L"Data", 180, DListColumnFlags::kTextCells, 32},
    {L"Category", 80, DListColumnFlags::kTextCells, 32},
    {L"Cod", 80, DListColumnFlags::kTextCells | DListColumnFlags::kAlignCenter, 16},
    {L"Description", 250, DListColumnFlags::kTextCells, 128},
};

bool SetCell(int column, const wchar_t* text, int length)
{
    DListItem item = {DListItemMask::kText, 0, column, -1, const_cast<wchar_t*>(text), length, 0, 0};
    return gList.SetItem(&item);
}

}  // namespace

DListView& JournalViewList()
{
    return gList;
}

const InitRow JournalView::Row = {JournalView::RegisterClass, JournalView::UnregisterClass, L"Register JWindow"};

HWND JournalView::Window()
{
    return gViewer;
}

const wchar_t* JournalView::CategoryName(DWORD category)
{
    return category < 6 ? gCategoryNames[category] : L"";
}

bool JournalView::RegisterClass()
{
    for (int i = 0; i < 5; ++i)
        if (LoadStringW(hInstance, kNameIds[i], gNames[i], kNameChars) <= 0)
            gNames[i][0] = 0;
    static const HandlerEntry handlers[] = {
        OnStatic<WM_CREATE, &JournalView::OnCreate>(),
        OnStatic<WM_DESTROY, &JournalView::OnDestroy>(),
        OnStatic<WM_SIZE, &JournalView::OnSize>(),
    };
    WindowClass cls{kClassName};
    cls.procedure = WndProc;
    return RegisterTableClass(cls, gViewerHandlers, handlers) != 0;
}

void JournalView::UnregisterClass()
{
    UnregisterClassW(kClassName, hInstance);
}

LRESULT CALLBACK JournalView::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return DispatchStaticTable(gViewerHandlers, hwnd, message, wParam, lParam);
    } catch (...) {
        KeepWindowException();
        return FailedMessageResult(message);
    }
}

bool JournalView::Show()
{
    if (gViewer)
        return true;
    HWND created = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, L"Journal",
                                   WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 0, 0, 640, 480, nullptr, nullptr,
                                   hInstance, nullptr);
    RethrowWindowException();
    if (!created)
        return false;
    ShowWindow(created, SW_SHOW);
    UpdateWindow(created);
    return true;
}

void JournalView::Destroy()
{
    if (gViewer)
        DestroyWindow(gViewer);
}

LRESULT JournalView::OnCreate(HWND hwnd, LPARAM)
{
    gViewer = hwnd;
    // A failed creation may see no WM_DESTROY: undo here.
    auto fail = [] {
        if (gList.GetHwnd())
            DestroyWindow(gList.GetHwnd());
        gViewer = nullptr;
        return static_cast<LRESULT>(-1);
    };
    static const DListViewInput kNoInput = {};
    DListViewDesc d = {DListViewStyle::kStandard, nullptr, hwnd, 0, 0, 0, 0, hInstance, &kNoInput, nullptr};
    if (!gList.Create(&d))
        return fail();
    for (const ColumnSpec& spec : kColumns) {
        DListColumn c = {DListColumnFlags::kCaption | 2, spec.cellKind, -1, spec.width, spec.maxLength, spec.caption, 0};
        if (!gList.InsertColumn(&c))
            return fail();
    }
    return Fill() ? 0 : fail();
}

bool JournalView::Fill()
{
    gList.DeleteAllItems();
    if (!JournalIsMapped() || !JournalEnter())
        return false;
    JournalHeader header = {};
    bool ok = JournalReadHeader(&header);
    for (DWORD i = 0; ok && i < header.count; ++i) {
        JournalRecord record;
        if (!JournalReadRecord(i, &record))
            break;
        // The date cell is as long as what the formatter wrote, whatever the picture.
        wchar_t date[64];
        int length = FormatSystemTime(date, 64, DateTimePicture, &record.time);
        if (length < 0)
            length = 0;
        DListItem item = {DListItemMask::kText, 0, 0, -1, date, length, 0, 0};
        if (!gList.InsertItem(&item))
            break;
        SetCell(1, CategoryName(record.category), -1);
        wchar_t code[16];
        SetCell(2, code, IntToText(code, static_cast<int>(record.code)));
        SetCell(3, record.text, record.length);
    }
    JournalLeave();
    return ok;
}

void JournalView::OnSize(int width, int height, WPARAM)
{
    gList.Move(0, 0, width, height, TRUE);
}

void JournalView::OnDestroy()
{
    if (gList.GetHwnd())
        DestroyWindow(gList.GetHwnd());
    gViewer = nullptr;
}
