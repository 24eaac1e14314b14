// The DICOM queue window: see dicomqueue.h.
#include "exchange/dicom/dicomqueue.h"

#include "exchange/dicom/dicomclient.h"
#include "foundation/globals.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "ui/dialogtexts.h"
#include "ui/window_errors.h"

#include <commctrl.h>
#include <oleauto.h>
#include <stdio.h>

#include <string>

namespace {

const int kTextChars = 256;

struct Column
{
    const wchar_t* title;
    int width;
};
const Column kColumns[] = {{L"Снимок", 200}, {L"Число попыток", 50}, {L"Ошибка", 100}};
const int kColumnMargin = 16;   // the header's space around a title

// The rows of a queue answer: a one-dimensional array of VARIANTs, each
// itself such an array with at least [text, text, number].
class QueueRows
{
public:
    explicit QueueRows(const VARIANT& answer)
    {
        if (V_VT(&answer) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&answer) || SafeArrayGetDim(V_ARRAY(&answer)) != 1)
            return;
        array_ = V_ARRAY(&answer);
        LONG low = 0, high = -1;
        if (FAILED(SafeArrayGetLBound(array_, 1, &low)) || FAILED(SafeArrayGetUBound(array_, 1, &high)) ||
            FAILED(SafeArrayAccessData(array_, reinterpret_cast<void**>(&rows_)))) {
            array_ = nullptr;
            return;
        }
        count_ = high - low + 1;
    }
    ~QueueRows()
    {
        if (array_ && rows_)
            SafeArrayUnaccessData(array_);
    }
    QueueRows(const QueueRows&) = delete;
    QueueRows& operator=(const QueueRows&) = delete;

    bool Ok() const { return rows_ != nullptr; }
    LONG Count() const { return count_; }
    // Row i's three cells; false when the row has not their shape.
    bool Row(LONG i, BSTR* image, BSTR* error, LONG* attempts) const
    {
        const VARIANT& row = rows_[i];
        if (V_VT(&row) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&row) || SafeArrayGetDim(V_ARRAY(&row)) != 1)
            return false;
        SAFEARRAY* cells = V_ARRAY(&row);
        LONG low = 0, high = -1;
        if (FAILED(SafeArrayGetLBound(cells, 1, &low)) || FAILED(SafeArrayGetUBound(cells, 1, &high)) ||
            high - low + 1 < 3)
            return false;
        VARIANT* cell = nullptr;
        if (FAILED(SafeArrayAccessData(cells, reinterpret_cast<void**>(&cell))))
            return false;
        const bool ok = V_VT(&cell[0]) == VT_BSTR && V_VT(&cell[1]) == VT_BSTR && V_VT(&cell[2]) == VT_I4;
        if (ok) {
            *image = V_BSTR(&cell[0]);
            *error = V_BSTR(&cell[1]);
            *attempts = V_I4(&cell[2]);
        }
        SafeArrayUnaccessData(cells);
        return ok;
    }

private:
    SAFEARRAY* array_ = nullptr;
    VARIANT* rows_ = nullptr;
    LONG count_ = 0;
};

}  // namespace

INT_PTR CALLBACK DicomQueueWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<DicomQueueWindow*>(lParam)->OnInitDialog(dialog);
        return TRUE;
    }
    DicomQueueWindow* self = reinterpret_cast<DicomQueueWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_COMMAND && self)
        return self->OnCommand(LOWORD(wParam)) ? TRUE : FALSE;
    return FALSE;
}

void DicomQueueWindow::OnInitDialog(HWND dialog)
{
    dialog_ = dialog;
    list_ = GetDlgItem(dialog, IDC_DICOM_QUEUE_LIST);
    status_ = GetDlgItem(dialog, IDC_STATUS_LINE);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(kColumns[i].title);
        // At least as wide as the title with the header's margins: "Число
        // попыток" does not fit the 50 pixels of its column.
        const int title = (int)SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(column.pszText));
        column.cx = kColumns[i].width > title + kColumnMargin ? kColumns[i].width : title + kColumnMargin;
        column.iSubItem = i;
        SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

bool DicomQueueWindow::ItemText(int item, wchar_t* text)
{
    LVITEMW lv = {};
    lv.iSubItem = 0;
    lv.pszText = text;
    lv.cchTextMax = kTextChars;
    text[0] = 0;
    return SendMessageW(list_, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv)) > 0;
}

bool DicomQueueWindow::OnCommand(WORD id)
{
    DicomExportClient& client = DicomExportClient::Instance();
    wchar_t text[kTextChars];
    switch (id) {
    case IDCANCEL:
        closing_ = true;
        PostQuitMessage(0);
        return true;
    case IDC_DICOM_RESET:
    case IDC_DICOM_DELETE: {
        const int item = (int)SendMessageW(list_, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
        if (item < 0)
            return true;
        if (ItemText(item, text)) {
            if (id == IDC_DICOM_RESET)
                client.Reset(text);
            else
                client.Delete(text);
        }
        // A server that did not answer (the user was told) is not asked again.
        if (DicomExportClient::Answering())
            FillList();
        return true;
    }
    case IDC_DICOM_DELETE_ALL: {
        const int count = (int)SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count && DicomExportClient::Answering(); ++i) {
            if (!ItemText(i, text))
                break;
            client.Delete(text);
        }
        if (DicomExportClient::Answering())
            FillList();
        return true;
    }
    default:
        return false;
    }
}

bool DicomQueueWindow::FillList()
{
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    HWND targets = GetDlgItem(dialog_, IDC_DICOM_TARGETS);
    const LRESULT selected = SendMessageW(targets, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR)
        return true;
    const LRESULT length = SendMessageW(targets, CB_GETLBTEXTLEN, selected, 0);
    if (length == CB_ERR || length < 0) {
        failed_ = 1;
        return false;
    }
    std::wstring target((size_t)length + 1, L'\0');
    SendMessageW(targets, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(&target[0]));
    target.resize((size_t)length);

    VARIANT answer;
    if (!DicomExportClient::Instance().GetQueueStatus(&answer, target.c_str())) {
        failed_ = 1;
        return false;
    }
    bool ok = false;
    {
        QueueRows rows(answer);
        ok = rows.Ok();
        int item = 0;
        for (LONG i = 0; ok && i < rows.Count(); ++i) {
            BSTR image = nullptr, error = nullptr;
            LONG attempts = 0;
            if (!rows.Row(i, &image, &error, &attempts))
                continue;
            LVITEMW lv = {};
            lv.mask = LVIF_TEXT;
            lv.iItem = item;
            lv.pszText = image ? image : const_cast<wchar_t*>(L"");
            const int at = (int)SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lv));
            if (at < 0)
                continue;
            wchar_t number[16];
            _snwprintf(number, 15, L"%i", (int)attempts);
            number[15] = 0;
            lv.iSubItem = 1;
            lv.pszText = number;
            SendMessageW(list_, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&lv));
            lv.iSubItem = 2;
            lv.pszText = error ? error : const_cast<wchar_t*>(L"");
            SendMessageW(list_, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&lv));
            ++item;
        }
    }
    VariantClear(&answer);
    if (!ok)
        failed_ = 1;
    return ok;
}

void DicomQueueWindow::SetStatus(const wchar_t* text)
{
    SetWindowTextW(status_, text);
}

void DicomQueueWindow::SetStatusId(UINT id)
{
    SetStatus(LoadText(id).c_str());
}

void DicomQueueWindow::Initialise()
{
    DicomExportClient& client = DicomExportClient::Instance();
    try {
        if (!client.Init() || !client.GetTargetList()) {
            failed_ = 1;
            return;
        }
    } catch (...) {
        failed_ = 1;
        return;
    }
    HWND targets = GetDlgItem(dialog_, IDC_DICOM_TARGETS);
    for (int i = 0; i < client.TargetCount(); ++i)
        SendMessageW(targets, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(client.TargetName(i)));
    if (client.TargetCount() > 0)
        SendMessageW(targets, CB_SETCURSEL, 0, 0);
    if (!FillList())
        return;
    SetStatus(L"Готов");
}

int DicomQueueWindow::Run(HWND owner)
{
    failed_ = 0;
    closing_ = false;
    if (!CreateDialogParamW(hInstance, MAKEINTRESOURCEW(IDD_DICOM_QUEUE), owner, GuardedDialogProc<DialogProc>,
                            reinterpret_cast<LPARAM>(this)))
        return 0;
    if (owner)
        EnableWindow(owner, FALSE);
    SetStatus(L"Инициализация");
    ShowWindow(dialog_, SW_SHOW);
    UpdateWindow(dialog_);
    Initialise();

    MSG msg;
    int quitCode = 0;
    bool outerQuit = false;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            outerQuit = !closing_;
            quitCode = (int)msg.wParam;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageShowing(msg, dialog_);
    }
    if (owner)
        EnableWindow(owner, TRUE);
    DestroyWindow(dialog_);
    dialog_ = nullptr;
    if (outerQuit)
        PostQuitMessage(quitCode);
    return failed_;
}

void ShowDicomQueueWindow(HWND owner)
{
    DicomQueueWindow window;
    window.Run(owner);
}
