// DICOM send and save: see dicomsend.h.
#include "exchange/dicomsend.h"

#include "exchange/dialogtexts.h"
#include "exchange/dicomattrs.h"
#include "exchange/dicomclient.h"
#include "exchange/exchangelog.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/window_errors.h"

#include <string.h>

namespace {

const INT_PTR kCancelled = -2;

// The array the attribute list became, destroyed when the call is over.
class AttributeArray
{
public:
    explicit AttributeArray(SAFEARRAY* array) : array_(array) {}
    ~AttributeArray()
    {
        if (array_)
            SafeArrayDestroy(array_);
    }
    AttributeArray(const AttributeArray&) = delete;
    AttributeArray& operator=(const AttributeArray&) = delete;
    SAFEARRAY* Get() const { return array_; }

private:
    SAFEARRAY* array_;
};

INT_PTR ServersDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        static const DialogText kTexts[] = {{0, IDS_DICOM_SERVERS}, {IDOK, IDS_OK}, {IDCANCEL, IDS_CANCEL}};
        SetDialogTexts(dialog, kTexts);
        const DicomExportClient* client = reinterpret_cast<const DicomExportClient*>(lParam);
        HWND list = GetDlgItem(dialog, IDC_DICOM_SERVER_LIST);
        for (int i = 0; client && i < client->TargetCount(); ++i)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(client->TargetName(i)));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            const LRESULT chosen = SendDlgItemMessageW(dialog, IDC_DICOM_SERVER_LIST, LB_GETCURSEL, 0, 0);
            // Without a choice OK does nothing.
            if (chosen != LB_ERR)
                EndDialog(dialog, chosen);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, kCancelled);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK ServersDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return ServersDialogMessage(dialog, message, wParam, lParam);
    } catch (...) {
        KeepWindowException();
        return FALSE;
    }
}

// The target to send to: 0 with one target, else the user's choice in
// dialog 253; kCancelled when the user cancels. A dialog that fails throws
// its error code.
int ChooseTarget(DicomExportClient& client, HWND owner)
{
    if (client.TargetCount() < 2)
        return 0;
    const INT_PTR chosen = DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_DICOM_SERVERS), owner, ServersDialogProc,
                                           reinterpret_cast<LPARAM>(&client));
    if (chosen == kCancelled)
        return (int)kCancelled;
    if (chosen < 0)
        throw (DWORD)GetLastError();
    return (int)chosen;
}

// The picture's pixels in a new section, its attributes in an array: then
// `call` with the array. Thrown codes are shown; the result is call's, or 0.
template <class Call>
int WithSectionAndAttributes(const DPicturePtr& picture, Call call)
{
    DicomAttrList list;
    try {
        const DPicture* p = picture.Get();
        if (!p || !p->GetBits() || p->width <= 0 || p->height <= 0)
            throw (DWORD)ERROR_INVALID_PARAMETER;
        const size_t bytes = (size_t)p->width * (size_t)p->height * 2;
        PixelSection section(DicomExportClient::kSectionName, bytes);
        memcpy(section.Data(), p->GetBits(), bytes);
        FillDicomAttributes(DPicturePtr(picture), list, ReadDicomAcquisition());
        AttributeArray array(list.ToSafeArray());
        return call(array.Get());
    } catch (HRESULT code) {
        ShowErrorCodeBox((DWORD)code);
    } catch (DWORD code) {
        ShowErrorCodeBox(code);
    } catch (int code) {
        ShowErrorCodeBox((DWORD)code);
    }
    return 0;
}

}  // namespace

PixelSection::PixelSection(const wchar_t* name, size_t bytes)
{
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT, 0, (DWORD)bytes, name);
    if (!mapping_) {
        const DWORD error = GetLastError();
        LogCallFailure(L"CreateFileMappingW", name, error);
        throw error;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Someone else's section: its size is not ours, and its reader is not ours either.
        CloseHandle(mapping_);
        mapping_ = nullptr;
        LogCallFailure(L"CreateFileMappingW", name, ERROR_ALREADY_EXISTS);
        throw (DWORD)ERROR_ALREADY_EXISTS;
    }
    view_ = MapViewOfFile(mapping_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    if (!view_) {
        const DWORD error = GetLastError();
        CloseHandle(mapping_);
        mapping_ = nullptr;
        LogCallFailure(L"MapViewOfFile", name, error);
        throw error;
    }
}

PixelSection::~PixelSection()
{
    if (view_)
        UnmapViewOfFile(view_);
    if (mapping_)
        CloseHandle(mapping_);
}

int SendPictureToDicomServer(const DPicturePtr& picture, HWND owner)
{
    DicomExportClient& client = DicomExportClient::Instance();
    int index = 0;
    try {
        if (!client.Init())
            return 0;
        client.GetTargetList();
        if (client.TargetCount() < 1) {
            ShowPrompt(nullptr, L"Не сконфигурированы DICOM Servers", nullptr, MB_OK);
            return 0;
        }
        index = ChooseTarget(client, owner);
        if (index == (int)kCancelled)
            return 0;
    } catch (HRESULT code) {
        ShowErrorCodeBox((DWORD)code);
        return 0;
    } catch (DWORD code) {
        ShowErrorCodeBox(code);
        return 0;
    }
    return WithSectionAndAttributes(picture, [&](SAFEARRAY* array) { return client.SendPicture(index, array); });
}

int SaveImageAsDicomFile(const DPicturePtr& picture, HWND owner, const wchar_t* fileName)
{
    DicomExportClient& client = DicomExportClient::Instance();
    try {
        if (!client.Init())
            return 0;
    } catch (HRESULT code) {
        ShowErrorCodeBox((DWORD)code);
        return 0;
    }
    return WithSectionAndAttributes(picture, [&](SAFEARRAY* array) { return client.SaveImage(fileName, array); });
}
