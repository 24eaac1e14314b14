// DICOM send and save: see dicomsend.h.
#include "exchange/dicom/dicomsend.h"

#include "exchange/dicom/dicomattrs.h"
#include "exchange/dicom/dicomclient.h"
#include "exchange/dicom/exchangelog.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <string.h>

#include <memory>

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

INT_PTR CALLBACK ServersDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        static const DialogText kTexts[] = {{0, IDS_DICOM_SERVERS}, {IDOK, IDS_OK}, {IDCANCEL, IDS_CANCEL}, {0, 0}};
        ApplyDialogTexts(dialog, kTexts);
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

// The target to send to: 0 with one target, else the user's choice in
// dialog 253; kCancelled when the user cancels. A dialog that fails throws
// its error code.
int ChooseTarget(DicomExportClient& client, HWND owner)
{
    if (client.TargetCount() < 2)
        return 0;
    const INT_PTR chosen = DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_DICOM_SERVERS), owner,
                                           GuardedDialogProc<ServersDialogProc>,
                                           reinterpret_cast<LPARAM>(&client));
    if (chosen == kCancelled)
        return (int)kCancelled;
    if (chosen < 0)
        throw (DWORD)GetLastError();
    return (int)chosen;
}

// The picture's pixels as a PixelSection. Error gives the section's failure
// code (0: made); the section goes with the object until Take hands it to
// the server's call. It is made on the calling thread: a helper thread
// started here and waited for without a limit was seen never to start under
// a loaded Wine, which hung the program.
class SectionMaker
{
public:
    SectionMaker(const void* pixels, size_t bytes)
    {
        try {
            section_.reset(new PixelSection(DicomExportClient::kSectionName, pixels, bytes));
        } catch (DWORD code) {
            error_ = code;
        } catch (...) {
            error_ = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    SectionMaker(const SectionMaker&) = delete;
    SectionMaker& operator=(const SectionMaker&) = delete;

    DWORD Error() const { return error_; }
    std::unique_ptr<PixelSection> Take() { return std::move(section_); }

private:
    std::unique_ptr<PixelSection> section_;
    DWORD error_ = 0;
};

// The picture's attributes as an array: then `call` with the array. The
// section must exist meanwhile. Thrown codes are shown; the result is
// call's, or 0.
template <class Call>
int WithAttributes(const DPicturePtr& picture, Call call)
{
    DicomAttrList list;
    try {
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

// The bytes of the picture's pixels; 0 (shown) for a picture without any.
size_t PixelBytes(const DPicturePtr& picture)
{
    const DPicture* p = picture.Get();
    if (!p || !p->GetBits() || p->width <= 0 || p->height <= 0) {
        ShowErrorCodeBox(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return (size_t)p->width * (size_t)p->height * 2;
}

}  // namespace

int SendPictureToDicomServer(const DPicturePtr& picture, HWND owner)
{
    const size_t bytes = PixelBytes(picture);
    if (!bytes)
        return 0;
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
        // Only now the section: a cancelled choice makes none.
        std::unique_ptr<PixelSection> section(
            new PixelSection(DicomExportClient::kSectionName, picture->GetBits(), bytes));
        return WithAttributes(picture,
                              [&](SAFEARRAY* array) { return client.SendPicture(index, array, std::move(section)); });
    } catch (HRESULT code) {
        ShowErrorCodeBox((DWORD)code);
    } catch (DWORD code) {
        ShowErrorCodeBox(code);
    }
    return 0;
}

int SaveImageAsDicomFile(const DPicturePtr& picture, HWND owner, const wchar_t* fileName)
{
    const size_t bytes = PixelBytes(picture);
    if (!bytes)
        return 0;
    DicomExportClient& client = DicomExportClient::Instance();
    SectionMaker section(picture->GetBits(), bytes);
    try {
        if (!client.Init())
            return 0;
    } catch (HRESULT code) {
        ShowErrorCodeBox((DWORD)code);
        return 0;
    }
    if (const DWORD error = section.Error()) {
        ShowErrorCodeBox(error);
        return 0;
    }
    return WithAttributes(picture,
                          [&](SAFEARRAY* array) { return client.SaveImage(fileName, array, section.Take()); });
}
