// The image files of a scanned folder: see imagenames.h.
#include "exchange/sync/imagenames.h"

#include "exchange/sync/synchrthread.h"
#include "images/files/datafolders.h"

#include <cwchar>

namespace {

const wchar_t kExtension[] = L".xmg";
const size_t kExtensionChars = 4;

}  // namespace

FolderEntry ClassifyFolderEntry(const WIN32_FIND_DATAW& found, std::wstring* name)
{
    name->clear();
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return FolderEntry::kOther;
    const size_t length = wcslen(found.cFileName);
    if (length < kExtensionChars ||
        CompareStringOrdinal(found.cFileName + length - kExtensionChars, -1, kExtension, -1, TRUE) != CSTR_EQUAL)
        return FolderEntry::kOther;   // a short name's match, "x.xmgold" as "X~1.XMG"
    const size_t stem = length - kExtensionChars;
    if (stem == 0 || stem > static_cast<size_t>(kImageNameChars) || wmemchr(found.cFileName, L'.', stem) ||
        CheckStoredFileName(found.cFileName, static_cast<int>(stem)) != StoredNameVerdict::kOk)
        return FolderEntry::kOddFile;
    name->assign(found.cFileName, stem);
    return FolderEntry::kImageFile;
}

std::wstring ImageFilePattern(const std::wstring& folder)
{
    std::wstring pattern = folder;
    if (pattern.empty() || pattern.back() != L'\\')
        pattern += L'\\';
    return pattern + L"*" + kExtension;
}

bool ListImageFiles(const std::wstring& folder, std::unordered_set<std::wstring>* names, DWORD* error)
{
    names->clear();
    *error = 0;
    const std::wstring pattern = ImageFilePattern(folder);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        if (*error == ERROR_FILE_NOT_FOUND) {
            *error = 0;
            return true;
        }
        LogWin32Failure(L"FindFirstFileW", pattern.c_str(), *error);
        return false;
    }
    std::wstring name;
    do {
        if (ClassifyFolderEntry(found, &name) == FolderEntry::kImageFile)
            names->insert(FileNameKey(name.c_str(), static_cast<int>(name.size())));
    } while (FindNextFileW(find, &found));
    *error = GetLastError();
    FindClose(find);
    if (*error != ERROR_NO_MORE_FILES) {
        LogWin32Failure(L"FindNextFileW", pattern.c_str(), *error);
        return false;
    }
    *error = 0;
    return true;
}
