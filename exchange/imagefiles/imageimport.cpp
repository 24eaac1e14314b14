// Image file import: see imageimport.h.
#include "exchange/imagefiles/imageimport.h"

#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/imagefiles/bmpformat.h"
#include "exchange/dicom/exchangelog.h"
#include "exchange/imagefiles/filesource.h"
#include "exchange/imagefiles/importdialog.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"
#include "ui/threadwait.h"
#include "ui/wait_cursor.h"

namespace {

const wchar_t kFindPatientSql[] =
    L"SELECT Patient FROM Patient WHERE Name1=? AND Name2=? AND Name3=? AND Birthday=? AND Pol=?;";
// A file whose patient has no birthday (a zero date: nothing the database
// keeps) looks for a patient without one.
const wchar_t kFindPatientNoBirthdaySql[] =
    L"SELECT Patient FROM Patient WHERE Name1=? AND Name2=? AND Name3=? AND Birthday IS NULL AND Pol=?;";

// Closes the chosen file on every path.
class ChosenFile
{
public:
    explicit ChosenFile(HANDLE h) : h_(h) {}
    ~ChosenFile()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    ChosenFile(const ChosenFile&) = delete;
    ChosenFile& operator=(const ChosenFile&) = delete;
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

const wchar_t* NamePart(const XmgNames& names, size_t i, int* length)
{
    if (i < names.strings.size()) {
        *length = (int)names.strings[i].size();
        return reinterpret_cast<const wchar_t*>(names.strings[i].c_str());
    }
    *length = 0;
    return L"";
}

FILETIME Birthday(const XmgTextHead& head)
{
    FILETIME day;
    day.dwLowDateTime = head.birthdayLow;
    day.dwHighDateTime = head.birthdayHigh;
    return day;
}

bool HasBirthday(const XmgTextHead& head)
{
    return head.birthdayLow != 0 || head.birthdayHigh != 0;
}

// A thrown string-table id, text or anything else as a system-modal box.
void ShowImportFailure(UINT caption, UINT unknown)
{
    try {
        throw;
    } catch (const MsgExcept& message) {
        MsgExcept shown(message);
        wchar_t title[256];
        if (LoadStringW(hInstance, caption, title, 256) > 0)
            shown.SetCaption(title, -1);
        shown.Show(nullptr, MB_OK | MB_SYSTEMMODAL);
    } catch (UINT id) {
        MessageBoxIdCaption(nullptr, id, caption, MB_OK | MB_SYSTEMMODAL);
    } catch (int id) {
        MessageBoxIdCaption(nullptr, id, caption, MB_OK | MB_SYSTEMMODAL);
    } catch (...) {
        MessageBoxIdCaption(nullptr, unknown, caption, MB_OK | MB_SYSTEMMODAL);
    }
}

// The picture's patient from the database; the import ends when it is not there.
void AttachPatient(DPicture* picture, DWORD patientId)
{
    picture->patient.SetPatientId(patientId);
    if (!ReadPatientForPicture(picture))
        throw (UINT)IDS_PATIENT_NOT_FOUND;
}

}  // namespace

int FindPatientByName(DWORD* patientId, const XmgNames& names)
{
    try {
        const bool birthday = HasBirthday(names.head);
        BoundStatement query(g_DbSession, birthday ? kFindPatientSql : kFindPatientNoBirthdaySql);
        for (ULONG i = 0; i < 3; ++i) {
            int length = 0;
            const wchar_t* text = NamePart(names, i, &length);
            query.Params().SetStr(i + 1, text, length);
        }
        if (birthday)
            query.Params().SetValDate(4, Birthday(names.head));
        query.Params().SetValI4(birthday ? 5 : 4, names.head.sex);
        if (!query.First())
            return 0;
        LONG key = 0;
        if (!RowInt(query.Row(), 0, &key))
            return 0;
        *patientId = (DWORD)key;
        return 1;
    } catch (const DODBErrors& errors) {
        wchar_t caption[256];
        LoadStringW(hInstance, IDS_PATIENT_EXISTENCE_CHECK, caption, 256);
        errors.ShowMessage(nullptr, caption, MB_OK | MB_SYSTEMMODAL);
        return -1;
    }
}

int InsertPatientFromXmg(DWORD* patientId, const XmgNames& names)
{
    enum Column : ULONG { kName1, kName2, kName3, kBirthday, kPol, kPatient, kColumns };
    static const wchar_t* const kNames[kColumns] = {L"Name1", L"Name2", L"Name3", L"Birthday", L"Pol", L"Patient"};
    try {
        NewTableRow table(g_DbSession, L"Patient");
        DODBParams* row = table.BindColumns(kColumns, kNames);
        for (ULONG i = 0; i < 3; ++i) {
            int length = 0;
            const wchar_t* text = NamePart(names, i, &length);
            if (FAILED(row->SetValueStr(kName1 + i, text, length)))
                ThrowDatabaseError();
        }
        const HRESULT day = HasBirthday(names.head) ? row->SetValueDate(kBirthday, Birthday(names.head))
                                                    : row->SetStatus(kBirthday, DBSTATUS_S_ISNULL);
        if (FAILED(day) ||
            FAILED(SetNumber(row, kPol, names.head.sex)) || FAILED(row->SetStatus(kPatient, DBSTATUS_S_DEFAULT)))
            ThrowDatabaseError();
        table.Insert(row);
        LONG key = 0;
        if (!RowInt(row, kPatient, &key) || key <= 0)
            ThrowDatabaseError();
        *patientId = (DWORD)key;
        return 1;
    } catch (const DODBErrors& errors) {
        wchar_t caption[256];
        LoadStringW(hInstance, IDS_PATIENT_IMPORT, caption, 256);
        errors.ShowMessage(nullptr, caption, MB_OK | MB_SYSTEMMODAL);
        return -1;
    }
}

DPicturePtr ImportXmgFile(HANDLE file, DWORD patientId, int ask)
{
    DPicturePtr picture = ReadPictureFile(file);
    if (!picture.Get())
        return picture;
    picture->stored = 0;
    try {
        bool fromFile = ask == 0;
        if (ask) {
            const int answer = MessageBoxIdCaption(nullptr, IDS_IMPORT_PATIENT_QUESTION, IDS_IMPORT_PICTURE_CAPTION,
                                                   MB_YESNOCANCEL | MB_SYSTEMMODAL);
            if (answer == IDCANCEL)
                return DPicturePtr();
            fromFile = answer == IDYES;
        }
        if (fromFile) {
            FileSource source(file);
            XmgNames names;
            const unsigned error = ReadXmgNameFields(source, names, XmgAnsiToUtf16);
            if (error)
                throw (UINT)error;
            if (names.head.size == 0)
                throw (UINT)IDS_IMPORT_NO_PATIENT_DATA;
            DWORD found = 0;
            int status = FindPatientByName(&found, names);
            if (status < 0)
                return DPicturePtr();
            if (status == 0 && InsertPatientFromXmg(&found, names) != 1)
                return DPicturePtr();
            patientId = found;
        }
        AttachPatient(picture.Get(), patientId);
        return picture;
    } catch (...) {
        ShowImportFailure(IDS_IMPORT_PICTURE_CAPTION, IDS_EXCEPTION);
        return DPicturePtr();
    }
}

namespace {

// The file as the reader's input, painting the thread's windows between reads
// once the interval has passed since the last time.
class PaintingSource : public FileSource
{
public:
    PaintingSource(HANDLE file, DWORD everyMs) : FileSource(file), everyMs_(everyMs), last_(GetTickCount()) {}
    bool ReadAt(uint64_t offset, void* dst, uint32_t count) override
    {
        const bool read = FileSource::ReadAt(offset, dst, count);
        if (GetTickCount() - last_ >= everyMs_) {
            WaitKeepingPainted(0, nullptr, 0);
            last_ = GetTickCount();
        }
        return read;
    }

private:
    DWORD everyMs_;
    DWORD last_;
};

}  // namespace

unsigned ReadBmpPicture(HANDLE file, DPicturePtr& picture, DWORD paintEveryMs)
{
    picture = DPicturePtr();
    PaintingSource source(file, paintEveryMs);
    BmpLayout layout;
    unsigned error = ReadBmpLayout(source, layout);
    if (error)
        return error;
    DPicturePtr read;
    if (!read.CreateNew() || !read->AllocShared(layout.width, layout.height))
        return IDS_BMP_OUT_OF_MEMORY;
    uint16_t top = 0;
    error = ReadBmpPixels(source, layout, read->GetBits(), &top);
    if (error)
        return error;
    DPicture* p = read.Get();
    FILETIME created = {};
    GetFileTime(file, &created, nullptr, nullptr);
    p->imageDate = created;
    p->displayOffset = 0;
    p->displayWidth = 256;
    p->bitsPerPixel = 8;
    // The largest value is the picture's maximum.
    p->levels = top > 0 ? top : 1;
    p->spacingX = p->spacingY = kXmgDefaultSpacing;
    p->stored = 0;
    p->RefreshWork();
    picture = read;
    return 0;
}

DPicturePtr ImportBmpFile(HANDLE file, DWORD patientId)
{
    try {
        DPicturePtr picture;
        gWaitCursor.Begin();
        const unsigned error = ReadBmpPicture(file, picture);
        gWaitCursor.End();
        if (error)
            throw (UINT)error;
        AttachPatient(picture.Get(), patientId);
        return picture;
    } catch (...) {
        ShowImportFailure(IDS_BMP_IMPORT, IDS_UNKNOWN_EXCEPTION);
        return DPicturePtr();
    }
}

DPicturePtr ImportImageFile(HWND owner, DWORD patientId, int ask)
{
    ImportChoice choice;
    if (!RunImportDialog(owner, choice))
        return DPicturePtr();
    ChosenFile file(CreateFileW(choice.path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) {
        LogCallFailure(L"CreateFileW", choice.path, GetLastError());
        MessageBoxIdCaption(nullptr, IDS_FILE_OPEN_ERROR, IDS_IMPORT_PICTURES, MB_OK);
        return DPicturePtr();
    }
    if (choice.filterIndex == 1)
        return ImportXmgFile(file.Get(), patientId, ask);
    if (choice.filterIndex == 2 && ask)
        return ImportBmpFile(file.Get(), patientId);
    return DPicturePtr();
}
