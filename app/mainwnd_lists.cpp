// The main patient window's list and patient: loading the filtered list,
// following the current row, the patient card, deleting a patient, and what
// the image strip reports.
#include "app/mainpatientwnd.h"

#include "app/mainwnd_state.h"
#include "app/recordmaint.h"
#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "forms/desccache.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "images/mainviewwnd.h"
#include "images/xmgfile.h"
#include "resources/strings.h"
#include "ui/wait_cursor.h"

#include <cwchar>
#include <vector>

namespace {

const wchar_t kListDescName[] = L"main.cfg";
const wchar_t kFilterDescName[] = L"MainFilt.cfg";
const wchar_t kPatientCardName[] = L"Patient.cfg";
const int kSqlChars = 65535;

// Takes the descriptions and the filter on first use; throws when one is
// missing (the cache has shown why).
void EnsureDescriptions(MainPatientWindow& window)
{
    PatientLookup& lookup = PatientLookup::Instance();
    if (!gMain.listDesc) {
        gMain.listDesc = DescCache::DbFormDescFor(kListDescName);
        if (!gMain.listDesc)
            throw 0;
        lookup.SetListener(&window);
        lookup.BuildSql(gMain.listDesc);
    }
    if (!gMain.filterDesc) {
        gMain.filterDesc = DescCache::FormDescFor(kFilterDescName);
        if (!gMain.filterDesc)
            throw 0;
    }
    if (!gMain.filter.IsLoaded()) {
        if (!gMain.filter.Load(gMain.filterDesc) || !SetupListColumns(&gMain.list, gMain.listDesc))
            throw 0;
    }
}

// The row whose item data is the key, or -1.
int RowOfKey(DWORD key)
{
    const int rows = gMain.list.GetRowCount();
    for (int row = 0; row < rows; ++row) {
        LONG_PTR data = 0;
        if (gMain.list.GetItemData(0, row, &data) && static_cast<DWORD>(data) == key)
            return row;
    }
    return -1;
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
            BOOL set = FALSE;
            BOOL ran;
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
            wchar_t description[1024];
            gMain.filter.Describe(description, 1024);
            description[1023] = 0;
            gMain.filterHeading.SetText(description, -1);
            state = LoadPatientList();
        }
    } catch (...) {
        PatientLookup::Instance().Run(0, 0);
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
    std::vector<wchar_t> sql(kSqlChars + 1);
    DODBPtr<DODBBindParam> binds;
    if (!BuildFilterSelect(sql.data(), kSqlChars, gMain.listDesc, &gMain.filter, binds))
        throw 0;
    DODBPtr<DODBCommand> command;
    if (!g_DbSession.IsSet() || !g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(sql.data())))
        throw DODBErrors(E_FAIL, TRUE);
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    const BOOL executed = gMain.filter.ParamCount() == 0 || !binds.IsSet()
                              ? command->Execute(rowset, &row, nullptr, nullptr)
                              : command->ExecuteBind(rowset, &row, binds, nullptr);
    if (!executed)
        throw DODBErrors(E_FAIL, TRUE);
    DWORD current = 0;
    const DWORD request = PatientLookup::Instance().GetIds(&current);
    const int result = FillListFromRowset(&gMain.list, gMain.listDesc, rowset.Get(), row.Get());
    // The patient who was current stays current when the list still holds him.
    const int at = request ? RowOfKey(current) : -1;
    if (at >= 0) {
        gMain.list.SelectItem(at);
        PatientLookup::Instance().Run(current, 1);
    } else {
        PatientLookup::Instance().Run(0, 0);
    }
    return result;
}

void MainPatientWindow::OnListRowChange(int row)
{
    if (row < 0) {
        PatientLookup::Instance().Run(0, 0);
        IconStrip::Instance().Clear();
        return;
    }
    LONG_PTR key = 0;
    if (gMain.list.GetItemData(0, row, &key))
        PatientLookup::Instance().Run(static_cast<DWORD>(key), 1);
}

void MainPatientWindow::OnCurrentPatient(const wchar_t* text, int length, DWORD key, DWORD request)
{
    if (gMain.caption) {
        std::wstring line = text ? std::wstring(text, length > 0 ? length : 0) : std::wstring();
        SetWindowTextW(gMain.caption, line.c_str());
    }
    IconStrip& strip = IconStrip::Instance();
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
        picture = LoadPictureFileEx(imageKey, fileName);
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
    ShowSnimokNote(imageKey, patientKey);
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
    const DWORD request = PatientLookup::Instance().GetIds(&key);
    if (!newPatient && !request)
        return;
    const int result = OpenPatientCard(gMain.hwnd, &key, newPatient ? 0 : 1);
    if (result < 0)
        return;
    // A record was saved: the list is read again and shows it as current.
    PatientLookup::Instance().Run(key, 1);
    LoadLists(FALSE);
}

void MainPatientWindow::DeleteCurrentPatient()
{
    DWORD key = 0;
    if (!PatientLookup::Instance().GetIds(&key))
        return;
    if (!DeletePatient(key, gMain.hwnd))
        return;
    PatientLookup::Instance().Run(0, 0);
    LoadLists(FALSE);
}

int OpenPatientCard(HWND owner, DWORD* key, int recordId)
{
    return RunKartForm(kPatientCardName, owner, key, recordId);
}
