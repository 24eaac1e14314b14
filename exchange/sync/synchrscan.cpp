// The hard-disk and archive-disk scans: every image file found (imagenames.h)
// is recorded in Snimok_tmp under its name without extension; an archive disk
// also gets its Arj_tmp row. Any other file the search finds is named in the
// message pane and left alone, so one odd file never ends a scan.
//
// A scan that reaches the end of its folder has seen every file there: a row
// that said the file was on the hard disk (on this archive disk) and whose
// file the pass did not meet loses that mark, and a row that then says the
// file lies nowhere goes. A stopped scan cannot tell a missing file from one
// it did not reach: the hard-disk scan keeps what it wrote, the archive scan
// removes its pass (ClearDiskRows).
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
#include "exchange/sync/imagenames.h"
#include "exchange/sync/syncformat.h"
#include "exchange/sync/syncsql.h"
#include "exchange/sync/syncsteps.h"
#include "foundation/messages.h"
#include "foundation/textutil.h"
#include "resources/strings.h"

#include <cwchar>

namespace {

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
    HANDLE Handle() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

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
        TmpRow row = {0, false, 0, false};
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

template <class OnImage>
void SynchrThread::ScanFolder(HANDLE find, WIN32_FIND_DATAW& data, const std::wstring& pattern, OnImage onImage)
{
    std::wstring name;
    for (;;) {
        CheckCommand(0);
        switch (ClassifyFolderEntry(data, &name)) {
        case FolderEntry::kImageFile:
            onImage(name, FileNameKey(name.c_str(), static_cast<int>(name.size())));
            break;
        case FolderEntry::kOddFile:
            Report(IDS_SYNC_ODD_FILE, {reinterpret_cast<DWORD_PTR>(data.cFileName)});
            break;
        case FolderEntry::kOther:
            break;
        }
        if (!FindNextFileW(find, &data)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_FILES)
                return;
            LogWin32Failure(L"FindNextFileW", pattern.c_str(), error);
            FormatWin32Error(L"Ошибка при поиске следующего файла\n", error, nullptr);
        }
    }
}

void SynchrThread::Report(UINT formatId, std::initializer_list<DWORD_PTR> inserts)
{
    const std::wstring text = syncfmt::Format(LoadText(formatId).c_str(), inserts);
    progress_->SetText1(text.c_str(), static_cast<int>(text.size()));
}

bool SynchrThread::ScanHdd(const wchar_t* folder)
{
    const std::wstring pattern = ImageFilePattern(folder);
    progress_->SetText2(L"Сканирование HDD", -1);
    WIN32_FIND_DATAW data;
    FolderFind find;
    bool any = find.First(pattern, data);
    if (!any) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            LogWin32Failure(L"FindFirstFileW", pattern.c_str(), error);
            FormatWin32Error(nullptr, error, nullptr);
        }
    }
    std::unordered_map<std::wstring, TmpRow> rows;
    LoadTmpRows(rows);
    LoadMarkedNames();
    BoundStatement insert(session_, syncsql::kInsertHddFile, BoundStatement::kPrepared);
    BoundStatement update(session_, syncsql::kSetHddFlag, BoundStatement::kPrepared);
    ScanBatch batch(session_);
    DWORD count = 0;
    if (any) {
        ScanFolder(find.Handle(), data, pattern, [&](const std::wstring& name, const std::wstring& key) {
            auto found = rows.find(key);
            if (found != rows.end())
                found->second.seen = true;
            if (IsMarkedForDeletion(key))
                return;
            batch.Begin();
            if (found == rows.end()) {
                insert.Params().SetStr(1, name.c_str(), static_cast<int>(name.size()));
                insert.Run();
                rows[key] = TmpRow{0, true, 0, true};
            } else if (!found->second.onDisk) {
                update.Params().SetValI4(1, found->second.key);
                update.Run();
                found->second.onDisk = true;
            }
            ReachSyncStep(SyncStep::ScanFileWritten);
            batch.Count();
            ++count;
            progress_->SetText2(syncfmt::Format(L"Снимок: %1!u!", {count}).c_str(), -1);
        });
    }
    // The whole folder was seen: the files it no longer holds are not on the
    // hard disk.
    BoundStatement clear(session_, syncsql::kClearHddFlag, BoundStatement::kPrepared);
    BoundStatement forget(session_, syncsql::kForgetTmpRow, BoundStatement::kPrepared);
    for (const auto& entry : rows) {
        const TmpRow& row = entry.second;
        if (!row.key || !row.onDisk || row.seen)
            continue;
        batch.Begin();
        BoundStatement& statement = row.arj ? clear : forget;
        statement.Params().SetValI4(1, row.key);
        statement.Run();
        batch.Count();
    }
    batch.Commit();
    if (any)   // an empty folder has no total to report
        progress_->SetText1(syncfmt::Format(L"Всего на диске Снимков: %1!u!", {count}).c_str(), -1);
    return true;
}

void SynchrThread::AddArjTmp(DWORD serial, const wchar_t* label)
{
    {
        BoundStatement countQuery(session_, syncsql::kCountArjTmp);
        countQuery.Params().SetValI4(1, SerialToKey(serial));
        LONG known = 0;
        if (countQuery.First())
            RowInt(countQuery.Row(), 0, &known);
        if (known)
            return;
    }
    std::wstring name = label;
    if (name.size() > static_cast<size_t>(kDiskNameColumnChars)) {
        name.resize(kDiskNameColumnChars);
        Report(IDS_SYNC_LABEL_SHORTENED, {reinterpret_cast<DWORD_PTR>(label), reinterpret_cast<DWORD_PTR>(name.c_str())});
    }
    auto insertRow = [&] {
        BoundStatement insert(session_, syncsql::kInsertArjTmp);
        insert.Params().SetValI4(1, SerialToKey(serial));
        insert.Params().SetStr(2, name.c_str(), static_cast<int>(name.size()));
        insert.Run();
    };
    try {
        insertRow();
    } catch (const DODBErrors&) {
        // Disks are told apart by their serial: another disk of the same name
        // is no reason to refuse this one, but a table made by an earlier
        // version has the name unique.
        LONG others = 0;
        {
            BoundStatement sameName(session_, syncsql::kCountArjTmpName);
            sameName.Params().SetStr(1, name.c_str(), static_cast<int>(name.size()));
            if (sameName.First())
                RowInt(sameName.Row(), 0, &others);
        }
        if (!others)
            throw;
        DropArjTmpNameRule();
        insertRow();
    }
}

void SynchrThread::DropArjTmpNameRule()
{
    struct Disk {
        LONG arj;
        std::wstring name;
    };
    struct File {
        std::wstring name;
        LONG disk, arj;   // arj 0: NULL
    };
    // One transaction: both tables are rebuilt whole, or stay as they were.
    const HRESULT begun = session_->BeginTx();
    if (FAILED(begun))
        ThrowDatabaseError(begun);
    try {
        std::vector<Disk> disks;
        std::vector<File> files;
        {
            BoundStatement list(session_, syncsql::kListArjTmp);
            list.Execute();
            while (list.Next()) {
                Disk disk = {0, L""};
                RowInt(list.Row(), 0, &disk.arj);
                int length = 0;
                const wchar_t* name = RowTextPtr(list.Row(), 1, &length);
                if (name)
                    disk.name.assign(name, static_cast<size_t>(length));
                disks.push_back(disk);
            }
        }
        {
            BoundStatement list(session_, syncsql::kListSnimokTmp);
            list.Execute();
            while (list.Next()) {
                int length = 0;
                const wchar_t* name = RowTextPtr(list.Row(), 1, &length);
                File file = {name ? std::wstring(name, static_cast<size_t>(length)) : std::wstring(), 0, 0};
                RowInt(list.Row(), 2, &file.disk);
                RowInt(list.Row(), 3, &file.arj);
                files.push_back(file);
            }
        }
        BoundStatement(session_, syncsql::kDropSnimokTmp).Run();
        BoundStatement(session_, syncsql::kDropArjTmp).Run();
        BoundStatement(session_, syncsql::kCreateArjTmp).Run();
        BoundStatement(session_, syncsql::kCreateSnimokTmp).Run();
        BoundStatement(session_, syncsql::kCreateSnimokTmpIndex).Run();
        BoundStatement insertDisk(session_, syncsql::kInsertArjTmp, BoundStatement::kPrepared);
        for (const Disk& disk : disks) {
            insertDisk.Params().SetValI4(1, disk.arj);
            insertDisk.Params().SetStr(2, disk.name.c_str(), static_cast<int>(disk.name.size()));
            insertDisk.Run();
        }
        BoundStatement insertFile(session_, syncsql::kRestoreTmpRow, BoundStatement::kPrepared);
        for (const File& file : files) {
            insertFile.Params().SetStr(1, file.name.c_str(), static_cast<int>(file.name.size()));
            insertFile.Params().SetValI4(2, file.disk ? 1 : 0);
            if (file.arj)
                insertFile.Params().SetValI4(3, file.arj);
            else
                insertFile.Params().SetValI4(3, 0, DBSTATUS_S_ISNULL);
            insertFile.Run();
        }
    } catch (...) {
        session_->AbortTx();
        throw;
    }
    const HRESULT committed = session_->CommitSync();
    if (FAILED(committed)) {
        session_->AbortTx();
        ThrowDatabaseError(committed);
    }
}

bool SynchrThread::ScanMoDisk()
{
    RemovableDrive drive;
    progress_->SetText2(L"Иницилизация структуры дискинфо", -1);
    if (!drive.Query(archivePath_))
        FormatWin32Error(nullptr, drive.GetLastError(), nullptr);
    const std::wstring pattern = ImageFilePattern(archivePath_);
    progress_->SetText2(L"Сканирование МО диска", -1);
    WIN32_FIND_DATAW data;
    FolderFind find;
    if (!find.First(pattern, data)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            // Nothing to record, and nothing this disk held is on it any more.
            ClearDiskRows(drive.GetSerial());
            return true;
        }
        LogWin32Failure(L"FindFirstFileW", pattern.c_str(), error);
        FormatWin32Error(nullptr, error, nullptr);
    }
    wchar_t label[kDiskLabelChars] = L"";
    drive.GetLabel(label, kDiskLabelChars);
    const DWORD serial = drive.GetSerial();
    const LONG key = SerialToKey(serial);
    bool done = false, anyFile = false;
    DWORD count = 0;
    AddArjTmp(serial, label);
    try {
        std::unordered_map<std::wstring, TmpRow> rows;
        LoadTmpRows(rows);
        LoadMarkedNames();
        BoundStatement insert(session_, syncsql::kInsertMoFile, BoundStatement::kPrepared);
        BoundStatement update(session_, syncsql::kSetMoDisk, BoundStatement::kPrepared);
        ScanBatch batch(session_);
        try {
            ScanFolder(find.Handle(), data, pattern, [&](const std::wstring& name, const std::wstring& fileKey) {
                auto found = rows.find(fileKey);
                if (found != rows.end())
                    found->second.seen = true;
                if (IsMarkedForDeletion(fileKey))
                    return;
                batch.Begin();
                if (found == rows.end()) {
                    insert.Params().SetStr(1, name.c_str(), static_cast<int>(name.size()));
                    insert.Params().SetValI4(2, key);
                    insert.Run();
                    rows[fileKey] = TmpRow{0, false, key, true};
                } else if (found->second.arj != key) {
                    update.Params().SetValI4(1, key);
                    update.Params().SetValI4(2, found->second.key);
                    update.Run();
                    found->second.arj = key;
                }
                ReachSyncStep(SyncStep::ScanFileWritten);
                batch.Count();
                ++count;
                anyFile = true;
                progress_->SetText2(syncfmt::Format(L"Снимок: %1!u!", {count}).c_str(), -1);
            });
            // The whole disk was seen: the files it no longer holds are not
            // on it.
            BoundStatement clear(session_, syncsql::kClearMoDisk, BoundStatement::kPrepared);
            BoundStatement forget(session_, syncsql::kForgetTmpRow, BoundStatement::kPrepared);
            for (const auto& entry : rows) {
                const TmpRow& row = entry.second;
                if (!row.key || row.arj != key || row.seen)
                    continue;
                batch.Begin();
                BoundStatement& statement = row.onDisk ? clear : forget;
                statement.Params().SetValI4(1, row.key);
                statement.Run();
                batch.Count();
            }
            batch.Commit();
            done = true;
        } catch (...) {
            batch.Abort();   // the unfinished batch goes; ClearDiskRows takes what was committed
            throw;
        }
        ArjRegWrite(kSynDbKey, kSynDbLastScanDisk, REG_SZ, label, 0);
        progress_->SetFlag020();
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
