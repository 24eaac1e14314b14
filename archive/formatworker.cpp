#include "archive/formatworker.h"

#include "archive/arjroom.h"
#include "archive/arjworker.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/disks/disksrvclient.h"
#include "exchange/disks/removabledrive.h"
#include "foundation/files.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "resources/strings.h"

#include <cwchar>

// A disk formatted under a name the request can carry can be registered
// under it.
static_assert(kDiskNameMaxChars <= kDiskNameColumnChars, "a format name must fit the disk name column");

namespace {

const wchar_t kRegisteredSql[] = L"Select Count(*) from Arj where arj= ?;";
const wchar_t kNameTakenSql[] = L"Select Count(*) From Arj where [name] = ? ;";
const wchar_t kRegisterSql[] = L"INSERT INTO Arj (Arj, [name]) VALUES (?, ?);";

void PutLe16(BYTE* p, unsigned v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

void PutLe32(BYTE* p, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

// The volume's label and serial; false when the disk cannot be read.
bool ReadVolume(const std::wstring& root, std::wstring* label, DWORD* serial)
{
    wchar_t text[kVolumeLabelChars] = L"";
    wchar_t fileSystem[kVolumeLabelChars] = L"";
    DWORD found = 0, maxComponent = 0, flags = 0;
    if (!GetVolumeInformationW(root.c_str(), text, kVolumeLabelChars, &found, &maxComponent, &flags, fileSystem,
                               kVolumeLabelChars))
        return false;
    text[kVolumeLabelChars - 1] = 0;
    if (label)
        *label = text;
    if (serial)
        *serial = found;
    return true;
}

// The count of a "SELECT Count(*)" statement; throws DODBErrors.
LONG CountOf(BoundStatement& query)
{
    LONG count = 0;
    if (!query.First() || !RowInt(query.Row(), 0, &count)) {
        DODBSetError(E_FAIL, 0, L"FormatWorker");
        ThrowDatabaseError(E_FAIL);
    }
    return count;
}

}  // namespace

bool BuildFormatRequest(wchar_t letter, const wchar_t* name, BYTE request[kDiskSrvFormatRequestSize])
{
    const size_t length = name ? wcslen(name) : 0;
    if (length > static_cast<size_t>(kDiskNameMaxChars))
        return false;
    ZeroMemory(request, kDiskSrvFormatRequestSize);
    PutLe32(request, kDiskSrvFormatCommand);
    PutLe16(request + 4, letter);
    PutLe32(request + 6, 0);
    PutLe16(request + 10, static_cast<unsigned>(length));
    for (size_t i = 0; i < length; ++i)
        PutLe16(request + 12 + 2 * i, name[i]);
    return true;
}

// ---- the thread ------------------------------------------------------------------

DWORD WINAPI procformat(void* param)
{
    return RunWorkerThread<FormatWorker>(param, IDS_PROCFORMAT_EXCEPTION);
}

FormatWorker::FormatWorker(const WorkerParams& params)
    : link_(params.link),
      flags_(params.jobFlags),
      archivePath_(WithBackslash(ArchivePath)),
      diskName_(params.diskName ? params.diskName : L"")
{
    base_.SetLink(link_);
}

void FormatWorker::Finish()
{
    if (link_)
        link_->JobFinished();
}

void FormatWorker::PollUserAnswer(DWORD waitMs)
{
    if (link_)
        link_->PollAnswer(waitMs);
}

void FormatWorker::ReportStop(const wchar_t* text1, const wchar_t* text2)
{
    if (link_) {
        link_->SetText2(text1 ? text1 : L"", -1);
        link_->SetText(text2 ? text2 : L"", -1);
        link_->NotifyBit20();
    }
    base_.SetResult(0);
}

void FormatWorker::ReportStopIds(UINT id1, UINT id2)
{
    ReportStop(ArchiveText(id1).c_str(), ArchiveText(id2).c_str());
}

void FormatWorker::Run()
{
    base_.InitCom();
    if (!base_.OpenSession(g_DbSource)) {
        // The provider's reason goes to the window (RunWorkerJob).
        DODBAddError(E_FAIL, 0, L"FormatWorker::Run");
        ThrowDatabaseError(E_FAIL);
    }
    try {
        if (CheckNotRegistered())
            return;
        int ok = 1;
        if (flags_.Test(kJobFormat))
            ok = StartFormat();
        if (flags_.Test(kJobRegister) && ok) {
            if (ReadSerial())
                RegisterDisk();
        }
    } catch (const DODBErrors& error) {
        base_.ReportDbError(error, false);
    }
}

int FormatWorker::CheckNotRegistered()
{
    const std::wstring root = archivePath_.empty() ? std::wstring() : archivePath_.substr(0, 1) + L":\\";
    DWORD serial = 0;
    if (root.empty() || !ReadVolume(root, nullptr, &serial))
        return 0;   // no disk, or an unformatted one
    {
        BoundStatement query(base_.Session(), kRegisteredSql);
        query.Params().SetValI4(1, SerialToKey(serial));
        if (CountOf(query) == 0)
            return 0;
    }
    if (!flags_.Test(kJobFormat)) {
        ReportStopIds(IDS_DISK_ALREADY_REGISTER, IDS_INSERT_NEW_DISK);
        return 1;
    }
    base_.ReportErrorIds(IDS_FORMAT_STOP_OR_CONTINUE, IDS_DISK_POSSIBLY_REGISTERED, kReportAsk, 0);
    try {
        PollUserAnswer(INFINITE);
        return 0;   // Continue: the disk is formatted again
    } catch (int signal) {
        base_.SetResult(signal == kStopByUser ? 1 : -1);
        return 1;
    }
}

int FormatWorker::CheckNameFree(const wchar_t* name)
{
    BoundStatement query(base_.Session(), kNameTakenSql);
    query.Params().SetStr(1, name, -1);
    if (CountOf(query) == 0)
        return 0;
    const std::wstring taken = FormatArchiveText(IDS_DISK_LABEL_REGISTERED, name);
    ReportStop(ArchiveText(IDS_ENTER_NEW_DISK_NAME_HINT).c_str(), taken.c_str());
    return 1;
}

int FormatWorker::StartFormat()
{
    try {
        if (CheckNameFree(diskName_.c_str()))
            return 0;
        BYTE request[kDiskSrvFormatRequestSize];
        const wchar_t letter = archivePath_.empty() ? L'\0' : archivePath_[0];
        if (!BuildFormatRequest(letter, diskName_.c_str(), request)) {
            ReportStopIds(IDS_DISK_NAME_INVALID, IDS_DISK_NAME_TOO_LONG);
            return 0;
        }
        const DiskSrvOutcome outcome =
            ExchangeWithDiskSrv(request, kDiskSrvFormatRequestSize, nullptr, kFormatTimeoutMs);
        if (outcome.step == kDiskSrvDone) {
            if (outcome.result == 0) {
                ReportStop(ArchiveText(IDS_DISK_FORMAT_ERROR).c_str(), outcome.text);
                return 0;
            }
            return 1;
        }
        const std::wstring system = SystemErrorText(outcome.error);
        DWORD_PTR args[2] = {outcome.error, reinterpret_cast<DWORD_PTR>(system.c_str())};
        wchar_t detail[600] = L"";
        const std::wstring pattern = ArchiveText(IDS_PIPE_WIN32_ERROR);
        FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, pattern.c_str(), 0, 0, detail,
                       600, reinterpret_cast<va_list*>(args));
        ReportStop(ArchiveText(DiskSrvFailureTextId(outcome)).c_str(), detail);
        return 0;
    } catch (const DODBErrors&) {
        throw;
    } catch (...) {
        const std::wstring text = ArchiveText(IDS_STARTFORMAT_EXCEPTION);
        base_.SetResult(-1);
        LogError(0, text.c_str());
        base_.ReportError(L"", text.c_str(), kReportFatal, 0);
        base_.Prompt(text.c_str());
        return 0;
    }
}

int FormatWorker::ReadSerial()
{
    const std::wstring root = archivePath_.empty() ? std::wstring() : archivePath_.substr(0, 1) + L":\\";
    std::wstring label;
    if (!root.empty() && ReadVolume(root, &label, nullptr) && !label.empty())
        return 1;
    ReportStopIds(IDS_DISK_LABEL_MISSING, IDS_FORMAT_AND_LABEL_DISK);
    return 0;
}

int FormatWorker::CheckLabelFits(const std::wstring& label)
{
    if (label.size() <= static_cast<size_t>(kDiskNameColumnChars))
        return 1;
    const std::wstring limit = std::to_wstring(kDiskNameColumnChars);
    const std::wstring length = std::to_wstring(label.size());
    const std::wstring fault = FormatArchiveText(IDS_DISK_LABEL_TOO_LONG, label.c_str(), length.c_str(), limit.c_str());
    ReportStop(FormatArchiveText(IDS_GIVE_SHORTER_DISK_LABEL, limit.c_str()).c_str(), fault.c_str());
    return 0;
}

int FormatWorker::RegisterDisk()
{
    std::wstring root;
    if (!GetPathRoot2(archivePath_.c_str(), &root)) {
        ReportStopIds(0, IDS_DRIVE_NAME_ERROR);
        return 0;
    }
    std::wstring label;
    DWORD serial = 0;
    if (!ReadVolume(root, &label, &serial)) {
        const DWORD error = GetLastError();
        LogWin32Failure(L"GetVolumeInformationW", root.c_str(), error);
        base_.ReportError(L"", L"", kReportFatal, error);
        return 0;
    }
    if (!CheckLabelFits(label))
        return 0;
    // The disk's archive folder first, then its row, which is one statement
    // of its own: no transaction waits on the disk, and a disk whose folder
    // cannot be made is not registered.
    if (!CreateDirectoryPath(archivePath_.c_str())) {
        const DWORD error = GetLastError();
        LogWin32Failure(L"CreateDirectoryPath", archivePath_.c_str(), error);
        base_.ReportError(L"", L"", kReportFatal, error);
        return 0;
    }
    try {
        BoundStatement insert(base_.Session(), kRegisterSql);
        insert.Params().SetValI4(1, SerialToKey(serial));
        insert.Params().SetStr(2, label.c_str(), -1);
        insert.Run();
    } catch (const DODBErrors& error) {
        DODBErrors failure(error);
        if (failure.RecordCount() == 0)
            failure.Collect();
        if (failure.FindSQLState(L"23000")) {
            ReportStopIds(0, IDS_DISK_ALREADY_REGISTERED);
            return 0;
        }
        throw failure;
    }
    return 1;
}
