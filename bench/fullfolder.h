// A clinic's image folder is never empty: it holds tens of thousands of
// files, and under Wine every name that is looked up and not found there (a
// file about to be created, a probe for one that may exist) costs a walk of
// the whole folder: about 0.1 ms in an empty folder, 6.3 ms in one of 20,000
// files, and creating a file 0.8 against 6.8 ms. The merge, synchronisation
// and archive benchmarks therefore run in an image folder that already holds
// kFullFolderFiles files.
//
// The files are named "~fill00001.dat" and so on: no image, thumbnail or
// ".xmg" pattern takes them, so each benchmark's own files and counts stay
// what they were, and only the folder's size changes.
//
// Made through Wine, such a folder takes minutes (each new name walks the
// folder made so far); bench/run-all.sh makes them natively in seconds, in
// the pool folder it names in TF_BENCH_FULL_POOL (a Windows path), and a
// benchmark moves one into place with a rename. Run by hand without the
// pool, a benchmark fills its folders itself and says so.
#pragma once

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace bench {

const int kFullFolderFiles = 20000;

// The number of entries of `folder` (ending with a backslash), "." and ".."
// left out.
inline int CountFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int n = 0;
    do {
        if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0)
            ++n;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return n;
}

// Fills `folder` (ending with a backslash) with the filler files through
// Wine; false (after saying why) when one cannot be created.
inline bool FillFolder(const std::wstring& folder)
{
    for (int i = 1; i <= kFullFolderFiles; ++i) {
        wchar_t name[32];
        _snwprintf(name, 31, L"~fill%05d.dat", i);
        name[31] = 0;
        const std::wstring path = folder + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            fwprintf(stderr, L"cannot create %ls (error %lu)\n", path.c_str(), GetLastError());
            return false;
        }
        CloseHandle(file);
    }
    return true;
}

// Makes `folder` (ending with a backslash; it must not exist yet) a folder
// holding kFullFolderFiles filler files: one of the pool's moved there, or,
// without one, filled here. False (after saying why) when it cannot be had.
inline bool MakeFullFolder(const std::wstring& folder)
{
    const std::wstring target = folder.substr(0, folder.size() - 1);
    wchar_t pool[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"TF_BENCH_FULL_POOL", pool, MAX_PATH) > 0) {
        std::wstring prefix = pool;
        if (prefix.back() != L'\\')
            prefix += L'\\';
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((prefix + L"full*").c_str(), &data);
        bool moved = false;
        if (find != INVALID_HANDLE_VALUE) {
            do {
                moved = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                        MoveFileW((prefix + data.cFileName).c_str(), target.c_str());
            } while (!moved && FindNextFileW(find, &data));
            FindClose(find);
        }
        if (moved && CountFolder(folder) >= kFullFolderFiles)
            return true;
        fwprintf(stderr, L"no full folder left in %ls: filling %ls here\n", pool, folder.c_str());
    } else {
        fwprintf(stderr, L"TF_BENCH_FULL_POOL is not set (bench/run-all.sh sets it): filling %ls here, which takes "
                         L"minutes\n", folder.c_str());
    }
    CreateDirectoryW(target.c_str(), nullptr);
    return FillFolder(folder);
}

}  // namespace bench
