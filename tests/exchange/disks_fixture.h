// Removable disks for the tests: archive disks simulated with folders that
// Wine's mount manager maps to a drive letter, and the disk service stand-in
// on a pipe of the test's own.
//
// A drive letter is leased for a test's life through a named mutex, so that
// the tests that ctest runs side by side in one Wine prefix never share a
// drive. A disk is a folder with ".windows-serial" (hex) and ".windows-label";
// inserting it defines the leased letter as a removable drive on the folder,
// ejecting removes the drive (as the stand-in does on an eject request).
#pragma once

#include <windows.h>

#include <string>

namespace extest {

// A folder below the temporary folder, removed with its contents at the end.
class TempDir {
public:
    explicit TempDir(const wchar_t* prefix);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return path_; }   // ends with a backslash

private:
    std::wstring path_;
};

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

// The disk service stand-in on its own pipe, set as the pipe the client uses
// for the object's life. With a log file, the stand-in appends every request
// it reads to it (one line of hexadecimal bytes each).
class DiskService {
public:
    explicit DiskService(const std::wstring& requestLog = std::wstring());
    ~DiskService();
    DiskService(const DiskService&) = delete;
    DiskService& operator=(const DiskService&) = delete;
    bool Listening() const { return listening_; }
    const std::wstring& Pipe() const { return pipe_; }

private:
    std::wstring pipe_;
    const wchar_t* previous_ = nullptr;
    PROCESS_INFORMATION process_ = {};
    bool listening_ = false;
};

// A unique text for names.
std::wstring UniqueName(const wchar_t* prefix);

}  // namespace extest
