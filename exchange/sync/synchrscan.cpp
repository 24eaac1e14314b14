// The hard-disk and archive-disk scans: every ".xmg" file found is recorded
// in Snimok_tmp under its name without extension; an archive disk also gets
// its Arj_tmp row.
//
// A scan reads the rows Snimok_tmp already has (and the file names DelImage
// marks for deletion) once at its start, and then writes only what changes:
// a new row for a new name, [Disk] = 1 or the disk's serial for a known one.
// Its writes are committed in batches on the worker's session, so a scan of
// thousands of files costs one pass over the folder; a batch is committed
// before every report to the window and before a stop ends the scan.
#include "exchange/sync/synchrthread.h"

#include "database/dberrors.h"
#include "database/dbstatement.h"
#include "exchange/disks/arjregistry.h"
#include "exchange/sync/syncformat.h"
#include "exchange/sync/syncsql.h"
#include "exchange/sync/syncsteps.h"
#include "foundation/messages.h"

#include <cwchar>

namespace {

const int kStripBufferBytes = 520;
const int kBatchFiles = 200;

// A transaction that the scan commits every kBatchFiles files and at its end;
// a scan that leaves by an exception commits what it has written (a stopped
// archive pass then removes its rows itself).
class ScanBatch {
public:
    explicit ScanBatch(const DODBPtr<DODBSession>& session) : session_(session) {}
    ~ScanBatch()
    {
        if (open_ && FAILED(session_->CommitSync()))
            session_->AbortTx();
    }
    void Begin()
    {
        if (!open_) {
            const HRESULT hr = session_->BeginTx();
            if (FAILED(hr))
                ThrowDatabaseError(hr);
            open_ = true;
        }
    }
    void Commit()
    {
        if (open_) {
            open_ = false;
            const HRESULT hr = session_->CommitSync();
            if (FAILED(hr)) {
                session_->AbortTx();
                ThrowDatabaseError(hr);
            }
        }
    }
    void Abort()
    {
        if (open_) {
            open_ = false;
            session_->AbortTx();
        }
    }
    // Counts one file; commits when a batch is full.
    void Count()
    {
        if (++files_ % kBatchFiles == 0)
            Commit();
    }

private:
    DODBPtr<DODBSession> session_;
    bool open_ = false;
    int files_ = 0;
};

// The find handle of a folder scan.
class FolderFind {
public:
    ~FolderFind()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindClose(handle_);
    }
    bool First(const std::wstring& pattern, WIN32_FIND_DATAW& data)
    {
        handle_ = FindFirstFileW(pattern.c_str(), &data);
        return handle_ != INVALID_HANDLE_VALUE;
    }
    bool Next(WIN32_FIND_DATAW& data) { return FindNextFileW(handle_, &data) != FALSE; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

std::wstring PatternOf(const wchar_t* folder)
{
    std::wstring pattern = folder;
    if (pattern.empty() || pattern.back() != L'\\')
        pattern += L'\\';
    return pattern + L"*.xmg";
}

}  // namespace

void SynchrThread::LoadTmpRows(std::unordered_map<std::wstring, TmpRow>& rows)
{
    rows.clear();
    BoundStatement query(session_, syncsql::kListSnimokTmp);
    query.Execute();
    while (query.Next()) {
        int length = 0;
        const wchar_t* name = RowTextPtr(query.Row(), 1, &length);
        if (!name)
            continue;
        TmpRow row = {0, false, 0};
        LONG disk = 0;
        RowInt(query.Row(), 0, &row.key);
        RowInt(query.Row(), 2, &disk);
        RowInt(query.Row(), 3, &row.arj);
        row.onDisk = disk != 0;
        rows[FileNameKey(name, length)] = row;
    }
}

void SynchrThread::LoadMarkedNames()
{
    marked_.clear();
    BoundStatement query(session_, syncsql::kListMarked);
    query.Execute();
    while (query.Next()) {
        int length = 0;
        const wchar_t* name = RowTextPtr(query.Row(), 0, &length);
        if (name && length)
            marked_.insert(FileNameKey(name, length));
    }
}

bool SynchrThread::IsMarkedForDeletion(const std::wstring& key) const
{
    return marked_.find(key) != marked_.end();
}

bool SynchrThread::ScanHdd(const wchar_t* folder)
{
    const std::wstring pattern = PatternOf(folder);
    progress_->SetText2(L"Сканирование HDD", -1);
    WIN32_FIND_DATAW data;
    FolderFind find;
    if (!find.First(pattern, data)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return true;
        LogWin32Failure(L"FindFirstFileW", pattern.c_str(), error);
        FormatWin32Error(nullptr, error, nullptr);
    }
    std::unordered_map<std::wstring, TmpRow> rows;
    LoadTmpRows(rows);
    LoadMarkedNames();
    BoundStatement insert(session_, syncsql::kInsertHddFile, BoundStatement::kPrepared);
    BoundStatement update(session_, syncsql::kSetHddFlag, BoundStatement::kPrepared);
    ScanBatch batch(session_);
    wchar_t name[kStripBufferBytes / 2];
    DWORD count = 0;
    for (;;) {
        CheckCommand(0);
        StripExtension(name, kStripBufferBytes, data.cFileName);
        const std::wstring key = FileNameKey(name);
        if (!IsMarkedForDeletion(key)) {
            batch.Begin();
            auto found = rows.find(key);
            if (found == rows.end()) {
                insert.Params().SetStr(1, name, static_cast<int>(wcslen(name)));
                insert.Run();
                rows[key] = TmpRow{0, true, 0};
            } else if (!found->second.onDisk) {
                update.Params().SetValI4(1, found->second.key);
                update.Run();
                found->second.onDisk = true;
            }
            ReachSyncStep(SyncStep::ScanFileWritten);
            batch.Count();
            ++count;
            progress_->SetText2(syncfmt::Format(L"Снимок: %1!u!", {count}).c_str(), -1);
        }
        if (!find.Next(data)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_FILES)
                break;
            LogWin32Failure(L"FindNextFileW", pattern.c_str(), error);
            FormatWin32Error(L"Ошибка при поиске следующего файла\n", error, nullptr);
        }
    }
    batch.Commit();
    progress_->SetText1(syncfmt::Format(L"Всего на диске Снимков: %1!u!", {count}).c_str(), -1);
    return true;
}

bool SynchrThread::ScanMoDisk()
{
    RemovableDrive drive;
    progress_->SetText2(L"Иницилизация структуры дискинфо", -1);
    if (!drive.Query(archivePath_))
        FormatWin32Error(nullptr, drive.GetLastError(), nullptr);
    const std::wstring pattern = PatternOf(archivePath_);
    progress_->SetText2(L"Сканирование МО диска", -1);
    WIN32_FIND_DATAW data;
    FolderFind find;
    if (!find.First(pattern, data)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return true;
        LogWin32Failure(L"FindFirstFileW", pattern.c_str(), error);
        FormatWin32Error(nullptr, error, nullptr);
    }
    wchar_t label[kDiskLabelChars] = L"";
    drive.GetLabel(label, kDiskLabelChars);
    const DWORD serial = drive.GetSerial();
    bool done = false, anyFile = false;
    DWORD count = 0;
    {
        BoundStatement countQuery(session_, syncsql::kCountArjTmp);
        countQuery.Params().SetValI4(1, SerialToKey(serial));
        LONG known = 0;
        if (countQuery.First())
            RowInt(countQuery.Row(), 0, &known);
        if (known == 0) {
            BoundStatement insert(session_, syncsql::kInsertArjTmp);
            insert.Params().SetValI4(1, SerialToKey(serial));
            insert.Params().SetStr(2, label, static_cast<int>(wcslen(label)));
            insert.Run();
        }
    }
    try {
        std::unordered_map<std::wstring, TmpRow> rows;
        LoadTmpRows(rows);
        LoadMarkedNames();
        BoundStatement insert(session_, syncsql::kInsertMoFile, BoundStatement::kPrepared);
        BoundStatement update(session_, syncsql::kSetMoDisk, BoundStatement::kPrepared);
        ScanBatch batch(session_);
        wchar_t name[kStripBufferBytes / 2];
        try {
            for (;;) {
                CheckCommand(0);
                StripExtension(name, kStripBufferBytes, data.cFileName);
                const std::wstring key = FileNameKey(name);
                if (!IsMarkedForDeletion(key)) {
                    batch.Begin();
                    auto found = rows.find(key);
                    if (found == rows.end()) {
                        insert.Params().SetStr(1, name, static_cast<int>(wcslen(name)));
                        insert.Params().SetValI4(2, SerialToKey(serial));
                        insert.Run();
                        rows[key] = TmpRow{0, false, SerialToKey(serial)};
                    } else if (found->second.arj != SerialToKey(serial)) {
                        update.Params().SetValI4(1, SerialToKey(serial));
                        update.Params().SetValI4(2, found->second.key);
                        update.Run();
                        found->second.arj = SerialToKey(serial);
                    }
                    ReachSyncStep(SyncStep::ScanFileWritten);
                    batch.Count();
                    ++count;
                    anyFile = true;
                    progress_->SetText2(syncfmt::Format(L"Снимок: %1!u!", {count}).c_str(), -1);
                }
                if (!find.Next(data)) {
                    const DWORD error = GetLastError();
                    if (error != ERROR_NO_MORE_FILES) {
                        LogWin32Failure(L"FindNextFileW", pattern.c_str(), error);
                        FormatWin32Error(L"Ошибка при поиске следующего файла\n", error, nullptr);
                    }
                    batch.Commit();
                    done = true;
                    ArjRegWrite(kSynDbKey, kSynDbLastScanDisk, REG_SZ, label, 0);
                    progress_->SetFlag020();
                    break;
                }
            }
        } catch (...) {
            batch.Abort();   // the unfinished batch goes; ClearDiskRows takes what was committed
            throw;
        }
    } catch (int code) {
        if (!done && anyFile)
            ClearDiskRows(serial);
        if (code == 1) {
            SetResult(kSyncResultStopped);
            FormatWin32Error(L"Выполнение процедуры прервано пользователем", 0, nullptr);
        }
        FormatWin32Error(L"Неправильный код команды", 0, nullptr);
    } catch (...) {
        if (!done && anyFile)
            ClearDiskRows(serial);
        throw;
    }
    progress_->SetText1(
        syncfmt::Format(L"Всего на диске(%2) Снимков: %1!u!", {count, reinterpret_cast<DWORD_PTR>(label)}).c_str(),
        -1);
    progress_->SetDiskRequest(serial, L"", 0);
    return true;
}

void SynchrThread::ClearDiskRows(DWORD serial)
{
    if (!serial)
        return;
    BoundStatement files(session_, syncsql::kClearDiskFiles);
    files.Params().SetValI4(1, SerialToKey(serial));
    files.Run();
    BoundStatement arj(session_, syncsql::kClearDiskArj);
    arj.Params().SetValI4(1, SerialToKey(serial));
    arj.Run();
}
