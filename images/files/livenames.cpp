#include "images/files/livenames.h"

#include "database/dbstatement.h"
#include "foundation/journal.h"
#include "images/files/datafolders.h"

#include <cwchar>

namespace {

const wchar_t kLiveNamesSql[] = L"SELECT Snimok, [File name] FROM Snimok WHERE [File name] IS NOT NULL;";

// The key of a found file's name without its extension ("L000~AJC.XMG").
std::wstring StemKey(const wchar_t* fileName)
{
    const wchar_t* dot = wcsrchr(fileName, L'.');
    return StoredNameKey(fileName, dot ? static_cast<int>(dot - fileName) : -1);
}

}  // namespace

void LiveImageNames::Track(const std::wstring& name)
{
    rows_.emplace(StoredNameKey(name.c_str(), static_cast<int>(name.size())), Rows());
}

void LiveImageNames::Read(const DODBPtr<DODBSession>& session)
{
    BoundStatement list(session, kLiveNamesSql);
    list.Execute();
    while (list.Next()) {
        LONG row = kNoRow;
        int length = 0;
        const wchar_t* name = RowTextPtr(list.Row(), 1, &length);
        if (!RowInt(list.Row(), 0, &row) || !name || length == 0)
            continue;
        const bool alias = wmemchr(name, L'~', static_cast<size_t>(length)) != nullptr;
        const std::wstring key = StoredNameKey(name, length);
        auto found = rows_.find(key);
        if (found == rows_.end()) {
            if (!alias)
                continue;   // a name no work of the step can reach
            found = rows_.emplace(key, Rows()).first;
        }
        aliases_ = aliases_ || alias;
        Rows& rows = found->second;
        if (rows.first == kNoRow)
            rows.first = row;
        else if (rows.first != row)
            rows.several = true;
    }
}

bool LiveImageNames::KeyNamedByAnother(const std::wstring& key, LONG self) const
{
    const auto found = rows_.find(key);
    return found != rows_.end() && found->second.first != kNoRow &&
           (found->second.several || found->second.first != self);
}

bool LiveImageNames::NamedByAnother(const std::wstring& path, const std::wstring& name, LONG self) const
{
    if (KeyNamedByAnother(StoredNameKey(name.c_str(), static_cast<int>(name.size())), self))
        return true;
    if (!aliases_)
        return false;
    // The file's short name may be a live row's name. A file that is not
    // there is nobody's.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return found.cAlternateFileName[0] && KeyNamedByAnother(StemKey(found.cAlternateFileName), self);
}

bool LiveImageNames::DeletablePath(std::wstring* path, const std::wstring& folder, const std::wstring& name,
                                   const wchar_t* extension, LONG self) const
{
    path->clear();
    wchar_t built[MAX_PATH];
    if (!BuildStoredFilePath(built, folder.c_str(), name.c_str(), extension)) {
        LogCallError(GetLastError(), L"BuildStoredFilePath", name.c_str());
        return false;
    }
    if (NamedByAnother(built, name, self)) {
        LogError(0, (L"A live image's row names the file " + std::wstring(built) + L": it stays").c_str());
        return false;
    }
    *path = built;
    return true;
}
