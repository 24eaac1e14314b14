// Files, folders and drives of a test's own, for the tests of every folder
// and for the benchmarks (nothing here reports to GoogleTest):
//
// - RemoveTree, TempDir: a folder below the temporary folder (or another),
//   removed with its contents.
// - UseDataFolders: a site's data folder ("Image\" and "Icon\" made in it)
//   in the program's globals, as the settings loader sets them.
// - SimulatedDrive: a drive letter of the range K..X (but Q, which tests name
//   as a drive that is not there) leased through a named
//   mutex for the object's life, so that the tests ctest runs side by side
//   in one Wine prefix (and a benchmark beside them) never share a drive. A
//   disk is a folder with ".windows-serial" (hex) and ".windows-label";
//   inserting it defines the leased letter as a removable drive on the folder
//   through Wine's mount manager, ejecting removes the drive.
#pragma once

#include <windows.h>

#include <string>

namespace testfix {

// Deletes the folder (a trailing backslash is allowed) with all below it.
void RemoveTree(const std::wstring& folder);

// A unique text for names: the prefix, the process, a counter and the time.
std::wstring UniqueName(const wchar_t* prefix);

// A folder below the temporary folder (or below `parent`, which ends with a
// backslash), removed with its contents at the end.
class TempDir {
public:
    explicit TempDir(const wchar_t* prefix, const wchar_t* parent = nullptr);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return path_; }   // ends with a backslash

private:
    std::wstring path_;
};

// Starts a program of the host, named by its path on drive Z: ("Z:\\bin\\sh -c
// ..."), and does not wait for it; false when it cannot be started. Wine runs
// such a program outside its own processes and hands back no handles of it:
// the handles and ids the start gives are whatever its stack held before,
// often handles this process still uses (a registry key of COM's, a file), so
// none of them is closed.
bool StartHostProgram(const std::wstring& commandLine, DWORD flags = 0);

// Makes "Image\" and "Icon\" in the folder (which ends with a backslash) and
// points DataPath, ImageFolder and IconFolder at the folder and them.
void UseDataFolders(const std::wstring& folder);

// One drive letter of the range K..X leased for the object's life; its disk
// is ejected at the end.
class SimulatedDrive {
public:
    SimulatedDrive();
    ~SimulatedDrive();
    SimulatedDrive(const SimulatedDrive&) = delete;
    SimulatedDrive& operator=(const SimulatedDrive&) = delete;

    bool Leased() const { return letter_ != 0; }
    wchar_t Letter() const { return letter_; }
    std::wstring Root() const;   // "K:\"

    // Writes the serial and label into the disk's folder and maps the letter
    // to it as a removable drive; false when the mount manager refuses.
    bool Insert(const std::wstring& diskFolder, DWORD serial, const char* label);
    // Removes the drive; false when the mount manager refuses.
    bool Eject();
    // Whether a disk can be read in the drive now.
    bool HasDisk() const;

private:
    HANDLE mutex_ = nullptr;
    wchar_t letter_ = 0;
};

}  // namespace testfix
