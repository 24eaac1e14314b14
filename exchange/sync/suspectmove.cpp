#include "exchange/sync/suspectmove.h"

#include "database/dberrors.h"
#include "database/dbstatement.h"
#include "exchange/disks/removabledrive.h"
#include "exchange/sync/syncformat.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "images/files/datafolders.h"
#include "resources/strings.h"

#include <cwchar>

namespace {

const wchar_t kCountHddSuspects[] = L"Select count(*) From Snimok_dif WHERE [disk]<>0 AND [nodel]<>0 ;";
const wchar_t kCountDiskSuspects[] =
    L"SELECT Arj_tmp.name, count(*) FROM Snimok_dif,Arj_tmp WHERE Snimok_dif.arj=Arj_tmp.Arj AND [nodel]<>0 AND "
    L"Snimok_dif.arj IS NOT NULL GROUP BY Arj_tmp.Arj, Arj_tmp.name ORDER BY Arj_tmp.name;";   // one row a disk, whatever its name
const wchar_t kListHddSuspects[] = L"Select [file name] From Snimok_dif WHERE [disk]<>0 AND [nodel]<>0 ;";
const wchar_t kMovedFromHdd[] = L"Update Snimok_dif Set [disk]=0 WHERE [file name]=? ;";
const wchar_t kListDiskSuspects[] = L"SELECT [file name] FROM Snimok_dif WHERE arj=? AND [nodel]<>0 ;";
const wchar_t kMovedFromDisk[] = L"UPDATE Snimok_dif SET arj=NULL WHERE [file name]=? ;";
const wchar_t kForgetMoved[] = L"Delete Snimok_dif WHERE arj IS NULL AND [disk]<>1;";

struct DiskList {
    int list;
    const wchar_t* title;
    const wchar_t* sql;
};
const DiskList kDiskLists[] = {
    {kDisksScanned, L"Отсканированные диски", L"SELECT arj, name FROM Arj_tmp ORDER BY name ;"},
    {kDisksRegistered, L"Все зарегистрированные диски", L"SELECT arj, name FROM Arj ORDER BY name ;"},
    {kDisksNotScanned, L"Неотсканированные диски",
     L"SELECT arj, name FROM Arj WHERE arj NOT IN ( SELECT arj FROM Arj_tmp)  ORDER BY name ;"},
};

const DiskList* FindDiskList(int list)
{
    for (const DiskList& entry : kDiskLists)
        if (entry.list == list)
            return &entry;
    return nullptr;
}

// A text column of at most 62 characters, its nchar padding cut off.
std::wstring RowName(DODBParams* row, ULONG column)
{
    wchar_t text[63] = L"";
    RowText(row, column, text, 63);
    std::wstring name = text;
    while (!name.empty() && name.back() == L' ')
        name.pop_back();
    return name;
}

std::wstring WithBackslash(std::wstring folder)
{
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

// The destination without its trailing backslashes, so that "\Image\" can
// follow a folder typed either way ("C:\" becomes "C:").
std::wstring WithoutBackslash(std::wstring folder)
{
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

class ReadHandle {
public:
    explicit ReadHandle(const std::wstring& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~ReadHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    bool Ok() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// The names of the suspect files of the source, read whole before anything
// changes.
std::vector<std::wstring> SuspectNames(const DODBPtr<DODBSession>& session, const SuspectMoveRequest& request,
                                       DWORD serial)
{
    std::vector<std::wstring> names;
    const bool archive = request.source == SuspectSource::kArchive;
    BoundStatement query(session, archive ? kListDiskSuspects : kListHddSuspects);
    if (archive)
        query.Params().SetValI4(1, SerialToKey(serial));
    query.Execute();
    while (query.Next()) {
        std::wstring name = RowName(query.Row(), 0);
        if (!name.empty())
            names.push_back(name);
    }
    return names;
}

enum class Decision { kNext, kStop };

// After a copy that left the source where it is: go on with the next file,
// or end the loop.
Decision AfterCopyFailure(const SuspectMoveRequest& request, CopyOutcome outcome, DWORD error,
                          const std::wstring& target)
{
    if (request.quiet && request.source == SuspectSource::kHardDisk)
        return Decision::kNext;
    int answer;
    if (outcome == CopyOutcome::kDifferentThere) {
        answer = MessageBoxIdFormat(request.owner, L"Msg", MB_YESNO | MB_ICONQUESTION, IDS_SYNC_TARGET_DIFFERS,
                                    target.c_str());
    } else {
        const std::wstring question = syncfmt::SystemText(error) + L"\n\nПродолжить перемещение?";
        answer = ShowPrompt(request.owner, question.c_str(), L"Msg", MB_YESNO | MB_ICONQUESTION);
    }
    return answer == IDYES ? Decision::kNext : Decision::kStop;
}

}  // namespace

std::vector<SuspectDiskRow> ListSuspectDisks(const DODBPtr<DODBSession>& session)
{
    std::vector<SuspectDiskRow> rows;
    LONG count = 0;
    {
        BoundStatement query(session, kCountHddSuspects);
        if (query.First())
            RowInt(query.Row(), 0, &count);
    }
    rows.push_back(SuspectDiskRow{L"Hard disk", static_cast<unsigned long>(count)});
    BoundStatement query(session, kCountDiskSuspects);
    query.Execute();
    while (query.Next()) {
        count = 0;
        RowInt(query.Row(), 1, &count);
        rows.push_back(SuspectDiskRow{RowName(query.Row(), 0), static_cast<unsigned long>(count)});
    }
    return rows;
}

const wchar_t* ArchiveDiskListTitle(int list)
{
    const DiskList* entry = FindDiskList(list);
    return entry ? entry->title : nullptr;
}

std::vector<ArchiveDiskRow> ListArchiveDisks(const DODBPtr<DODBSession>& session, int list)
{
    std::vector<ArchiveDiskRow> rows;
    const DiskList* entry = FindDiskList(list);
    if (!entry)
        return rows;
    BoundStatement query(session, entry->sql);
    query.Execute();
    while (query.Next()) {
        ArchiveDiskRow row = {0, RowName(query.Row(), 1)};
        RowInt(query.Row(), 0, &row.arj);
        rows.push_back(row);
    }
    return rows;
}

bool SameFileContents(const std::wstring& a, const std::wstring& b)
{
    ReadHandle first(a), second(b);
    if (!first.Ok() || !second.Ok())
        return false;
    LARGE_INTEGER sizeA = {}, sizeB = {};
    if (!GetFileSizeEx(first.Get(), &sizeA) || !GetFileSizeEx(second.Get(), &sizeB) ||
        sizeA.QuadPart != sizeB.QuadPart)
        return false;
    static const DWORD kChunk = 64 * 1024;
    std::vector<char> bufferA(kChunk), bufferB(kChunk);
    for (;;) {
        DWORD readA = 0, readB = 0;
        if (!ReadFile(first.Get(), bufferA.data(), kChunk, &readA, nullptr) ||
            !ReadFile(second.Get(), bufferB.data(), kChunk, &readB, nullptr) || readA != readB)
            return false;
        if (readA == 0)
            return true;
        if (memcmp(bufferA.data(), bufferB.data(), readA) != 0)
            return false;
    }
}

CopyOutcome CopyUnlessPresent(const std::wstring& source, const std::wstring& target, DWORD* error)
{
    *error = 0;
    if (CopyFileW(source.c_str(), target.c_str(), TRUE))
        return CopyOutcome::kCopied;
    *error = GetLastError();
    if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS) {
        LogWin32Failure(L"CopyFileW", source.c_str(), *error);
        return CopyOutcome::kFailed;
    }
    return SameFileContents(source, target) ? CopyOutcome::kAlreadyThere : CopyOutcome::kDifferentThere;
}

SuspectMoveResult MoveSuspectImages(const DODBPtr<DODBSession>& session, const SuspectMoveRequest& request)
{
    SuspectMoveResult result;
    const std::wstring destination = WithoutBackslash(request.destination);
    if (destination.empty()) {
        ShowPrompt(request.owner, L"Не задан каталог.", nullptr, MB_OK);
        return result;
    }
    const std::wstring imageTarget = destination + L"\\Image\\";
    const std::wstring iconTarget = destination + L"\\Icon\\";
    CreateDirectoryW(imageTarget.c_str(), nullptr);
    CreateDirectoryW(iconTarget.c_str(), nullptr);

    const bool archive = request.source == SuspectSource::kArchive;
    std::wstring imageSource = ImageFolder, iconSource = IconFolder;
    DWORD serial = 0;
    if (archive) {
        imageSource = iconSource = WithBackslash(request.archivePath);
        const wchar_t root[4] = {request.archivePath.empty() ? L'\0' : request.archivePath[0], L':', L'\\', 0};
        wchar_t label[64] = L"";
        if (!GetVolumeInformationW(root, label, 64, &serial, nullptr, nullptr, nullptr, 0)) {
            const DWORD code = GetLastError();
            LogWin32Failure(L"GetVolumeInformationW", root, code);
            ShowPrompt(request.owner, syncfmt::SystemText(code).c_str(), L"Сообщение", MB_OK);
            return result;
        }
    } else {
        imageSource = WithBackslash(imageSource);
        iconSource = WithBackslash(iconSource);
    }

    try {
        const std::vector<std::wstring> names = SuspectNames(session, request, serial);
        BoundStatement update(session, archive ? kMovedFromDisk : kMovedFromHdd, BoundStatement::kPrepared);
        for (const std::wstring& name : names) {
            // A name that is no file name of the folder ("..\x", "CON") names
            // no file here to copy or delete.
            wchar_t sourcePath[MAX_PATH], targetPath[MAX_PATH], iconPath[MAX_PATH], iconTargetPath[MAX_PATH];
            if (!BuildStoredFilePath(sourcePath, imageSource.c_str(), name.c_str(), L".xmg") ||
                !BuildStoredFilePath(targetPath, imageTarget.c_str(), name.c_str(), L".xmg") ||
                !BuildStoredFilePath(iconPath, iconSource.c_str(), name.c_str(), L".thb") ||
                !BuildStoredFilePath(iconTargetPath, iconTarget.c_str(), name.c_str(), L".thb")) {
                if (request.quiet && !archive)
                    continue;
                if (MessageBoxIdFormat(request.owner, L"Msg", MB_YESNO | MB_ICONQUESTION, IDS_SYNC_MOVE_NAME_REFUSED,
                                       name.c_str()) != IDYES)
                    break;
                continue;
            }
            const std::wstring source = sourcePath;
            const std::wstring target = targetPath;
            DWORD error = 0;
            const CopyOutcome copy = CopyUnlessPresent(source, target, &error);
            if (copy == CopyOutcome::kFailed || copy == CopyOutcome::kDifferentThere) {
                if (AfterCopyFailure(request, copy, error, target) == Decision::kStop)
                    break;
                continue;
            }
            if (!DeleteFileW(source.c_str())) {
                LogWin32Failure(L"DeleteFileW", source.c_str(), GetLastError());
                const std::wstring text =
                    syncfmt::Format(L"Ошибка удаления ф. снимка \n имя файла = %1", {reinterpret_cast<DWORD_PTR>(source.c_str())});
                ShowPrompt(request.owner, text.c_str(), L"Msg", MB_OK);
                continue;
            }
            update.Params().SetStr(1, name.c_str(), static_cast<int>(name.size()));
            update.Run();
            ++result.moved;
            // The thumbnail follows its image, under the same rule.
            const std::wstring iconFrom = iconPath;
            const CopyOutcome icon = CopyUnlessPresent(iconFrom, iconTargetPath, &error);
            if (icon == CopyOutcome::kCopied || icon == CopyOutcome::kAlreadyThere)
                DeleteFileW(iconFrom.c_str());
        }
        BoundStatement(session, kForgetMoved).Run();
    } catch (const DODBErrors& e) {
        e.ShowMessage(request.owner, L"Error", MB_OK);
        return result;
    }
    ShowPrompt(request.owner, L"Перемещение закончено", L"Сообщение", MB_OK);
    result.finished = true;
    return result;
}
