// The main patient window's list and patient: loading the filtered list,
// following the current row, the patient card, deleting a patient, and what
// the image strip reports.
#include "app/mainpatientwnd.h"

#include "app/mainwnd_state.h"
#include "app/recordmaint.h"
#include "database/dbbindparam.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "forms/desccache.h"
#include "forms/dbformdesc.h"
#include "forms/fielddesc.h"
#include "forms/filterwnd.h"
#include "forms/kartlayout.h"
#include "forms/kartwnd.h"
#include "forms/sqltext.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "images/viewer/mainviewwnd.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"
#include "ui/listview.h"
#include "ui/wait_cursor.h"

#include <cwchar>
#include <string>

namespace {

const wchar_t kListDescName[] = L"main.cfg";
const wchar_t kFilterDescName[] = L"MainFilt.cfg";
const int kSqlChars = 65535;

// "special" fields of a list description are columns neither of the query
// nor of the list.
bool IsListColumn(const FieldBlob* field)
{
    return (field->type & kFieldSpecial) == 0;
}

// The list's columns from the description's "list" section.
bool SetupListColumns(DListView& list, const DbFormDesc& desc)
{
    while (list.GetColumnCount() > 0)
        list.DeleteColumn(0);
    const DescStrArray& fields = desc.List();
    for (int i = 0; i < fields.count; ++i) {
        const FieldBlob* field = fields[i];
        if (!IsListColumn(field))
            continue;
        DWORD align = DListColumnFlags::kAlignLeft;
        if (field->align & kAlignCenter)
            align = DListColumnFlags::kAlignCenter;
        else if (field->align & kAlignRight)
            align = DListColumnFlags::kAlignRight;
        DListColumn column = {DListColumnFlags::kCaption | 2, DListColumnFlags::kTextCells | align, -1,
                              field->width > 0 ? field->width : 100, 64, field->caption, 0};
        if (!list.InsertColumn(&column))
            return false;
    }
    return true;
}

// Takes the descriptions and the filter on first use; throws when one is
// missing (the cache has shown why).
void EnsureDescriptions(MainPatientWindow& window)
{
    if (!gMain.listDesc) {
        gMain.listDesc = DescCache::DbFormDescFor(kListDescName);
        if (!gMain.listDesc)
            throw 0;
        gPatientLookup.SetListener(&window);
        gPatientLookup.BuildSql(*gMain.listDesc);
    }
    if (!gMain.filterDesc) {
        gMain.filterDesc = DescCache::FormDescFor(kFilterDescName);
        if (!gMain.filterDesc)
            throw 0;
    }
    if (!gMain.filter.IsLoaded()) {
        if (!gMain.filter.Load(gMain.filterDesc) || !SetupListColumns(gMain.list, *gMain.listDesc))
            throw 0;
    }
}

}  // namespace

void MainPatientWindow::LoadLists(BOOL withFilterForm)
{
    int state = -1;   // the list state: 0 read, 1 interrupted, -1 error
    try {
        EnsureDescriptions(*this);
        int result = 1;
        if (withFilterForm) {
            if (gMain.filterFormOpen)
                return;
            gMain.filterFormOpen = true;
            bool set = false;
            bool ran;
            try {
                ran = DbFiltFormWindow::Run(&gMain.filter, gMain.hwnd, &set);
            } catch (...) {
                gMain.filterFormOpen = false;
                throw;
            }
            gMain.filterFormOpen = false;
            result = !ran ? -1 : set ? 1 : 0;
        }
        if (gMain.firstLoad && result == 0)
            result = 1;
        gMain.firstLoad = false;
        if (result == 0)
            return;   // the form was cancelled: nothing changes
        if (result == 1) {
            std::wstring description;
            gMain.filter.Describe(description);
            if (description.size() > 1023)
                description.resize(1023);
            gMain.filterHeading.SetText(description.c_str(), -1);
            state = LoadPatientList();
        }
    } catch (...) {
        gPatientLookup.Run(0, 0);
        state = -1;
    }
    wchar_t count[16];
    _snwprintf(count, 16, L"%i", gMain.list.GetHwnd() ? gMain.list.GetRowCount() : 0);
    count[15] = 0;
    SetMainStatusPart(kPartPatientCount, count);
    const int text = state == 0 ? 0 : state == 1 ? 2 : 1;
    SetMainStatusPart(kPartListState, gMain.stateTexts[text]);
}

int MainPatientWindow::LoadPatientList()
{
    gMain.list.DeleteAllItems();
    SqlText sql;
    DODBPtr<DODBBindParam> binds;
    if (!BuildFilterSelect(sql, *gMain.listDesc, &gMain.filter, binds) || !sql.Ok() || sql.Length() > kSqlChars)
        throw 0;
    BoundStatement query(g_DbSession, sql.c_str());
    // Without conditions the builder gives no parameters.
    query.UseParams(binds);
    query.Execute();
    // The patient who was current stays current when the list still holds
    // him; else the row the list selected (the first) is current.
    DWORD current = 0;
    const DWORD request = gPatientLookup.GetIds(&current);
    const LONG wanted = static_cast<LONG>(current);
    LONG shownKey = 0;
    int shownFlag = 0;
    const int result = FillListFromRowset(&gMain.list, query.Rowset(), query.Row(), gMain.listDesc->List(),
                                          request ? &wanted : nullptr, &shownKey, &shownFlag, true);
    if (shownFlag > 0)
        gPatientLookup.Run(static_cast<DWORD>(shownKey), 1);
    else
        gPatientLookup.Run(0, 0);
    return result;
}

void MainPatientWindow::OnListRowChange(int row)
{
    if (row < 0) {
        gPatientLookup.Run(0, 0);
        gMain.strip.Clear();
        return;
    }
    LONG_PTR key = 0;
    if (gMain.list.GetItemData(0, row, &key))
        gPatientLookup.Run(static_cast<DWORD>(key), 1);
}

void MainPatientWindow::OnCurrentPatient(const wchar_t* text, int length, DWORD key, DWORD request)
{
    if (gMain.caption) {
        std::wstring line = text ? std::wstring(text, length > 0 ? length : 0) : std::wstring();
        SetWindowTextW(gMain.caption, line.c_str());
    }
    IconStrip& strip = gMain.strip;
    if (request) {
        try {
            strip.LoadPatient(key);
        } catch (const DODBErrors& error) {
            SetStatusText(-1);
            error.ShowMessage(gMain.hwnd, nullptr, MB_OK | MB_ICONEXCLAMATION);
        }
    } else {
        strip.Clear();
    }
}

void MainPatientWindow::OnLookupError(const wchar_t* text, int length)
{
    std::wstring message(text ? text : L"", text && length > 0 ? length : 0);
    ShowPrompt(gMain.hwnd, message.c_str(), nullptr, MB_OK);
}

int MainPatientWindow::OpenImage(DWORD imageKey, const wchar_t* fileName)
{
    DWaitCursor wait;
    wait.Begin();
    DPicturePtr picture;
    try {
        picture = LoadPictureFileEx(imageKey, fileName, gMain.hwnd);
    } catch (int) {
        picture.Reset();   // the row or the patient is gone; the loader has said so
    }
    wait.End();
    if (!picture.Get())
        return 0;
    ShowMainViewRefresh(picture);
    CloseSnimokNote();
    return 1;
}

void MainPatientWindow::ShowNote(DWORD imageKey, DWORD patientKey)
{
    Guarded([&] { ShowSnimokNote(imageKey, patientKey); });
}

void MainPatientWindow::SetStatusText(int imageCount)
{
    wchar_t text[64];
    if (imageCount >= 0) {
        _snwprintf(text, 64, L"%i", imageCount);
        text[63] = 0;
    } else {
        if (LoadStringW(hInstance, IDS_ERROR, text, 64) <= 0)
            wcscpy(text, L"Error");
        MessageBeep(MB_ICONASTERISK);
    }
    SetMainStatusPart(kPartPictureCount, text);
}

void MainPatientWindow::EditPatient(BOOL newPatient)
{
    DWORD key = 0;
    const DWORD request = gPatientLookup.GetIds(&key);
    if (!newPatient && !request)
        return;
    const int result = OpenPatientCard(gMain.hwnd, &key, newPatient ? 0 : static_cast<int>(request));
    if (result < 0)
        return;
    // A record was stored: the (possibly new) key becomes current, and a
    // save or delete reads the list again so that it shows the change.
    gPatientLookup.Run(key, 1);
    if (result == 0)
        LoadLists(FALSE);
}

void MainPatientWindow::DeleteCurrentPatient()
{
    DWORD key = 0;
    if (!gPatientLookup.GetIds(&key))
        return;
    if (!DeletePatient(key, gMain.hwnd))
        return;
    gPatientLookup.Run(0, 0);
    LoadLists(FALSE);
}

void KeepListColumnWidths(DListView& list, DbFormDesc& desc)
{
    const DescStrArray& fields = desc.List();
    int column = 0;
    for (int i = 0; i < fields.count && column < list.GetColumnCount(); ++i) {
        if (!IsListColumn(fields[i]))
            continue;
        const int width = list.GetColumnWidth(column++);
        if (width >= 0)
            fields[i]->width = width;
    }
}
