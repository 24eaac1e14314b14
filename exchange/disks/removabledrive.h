// RemovableDrive: the volume serial number and label of the disk in a drive,
// and its free space.
//
// Archive (MO) disks are known by their volume serial number, the key of the
// tables Arj, Arj_tmp and Snimok.arj, and named by their label. The record
// keeps the serial and label of the last disk it read: a failed query leaves
// them as they were, so GetSerial still names the disk last seen.
//
// A drive without a disk fails with ERROR_NOT_READY (21) on Windows; under
// Wine a drive whose disk was taken out gives ERROR_PATH_NOT_FOUND (3), and
// ERROR_INVALID_DRIVE (15) or ERROR_NO_MEDIA_IN_DRIVE (1112) are seen too:
// IsNoDiskError tells them all alike.
#pragma once

#include <windows.h>

const int kDiskLabelChars = 64;    // label buffers, terminator included
const int kDriveRootChars = 32;
// The width of a disk's name in the tables (Arj.[Name], Arj_tmp.[Name]), in
// UTF-16 characters. A volume label may be longer.
const int kDiskNameColumnChars = 20;

// True for the codes that mean "no disk in the drive".
bool IsNoDiskError(DWORD code);

// The journal record of a failed Win32 call: the call, the argument that
// matters (a path, a pipe, a drive), the code and the system's text of it.
void LogWin32Failure(const wchar_t* call, const wchar_t* argument, DWORD code);

// Archive serials are stored in 32-bit signed int columns with their bit
// pattern kept: serials of 0x80000000 and above are negative in the database.
inline LONG SerialToKey(DWORD serial) { return static_cast<LONG>(serial); }
inline DWORD KeyToSerial(LONG key) { return static_cast<DWORD>(key); }

class RemovableDrive {
public:
    RemovableDrive();

    // Root = the path's first character + ":\" (an empty root for an empty
    // or null path). Always true.
    bool SetLetter(const wchar_t* path);
    // Sets the letter when a path is given, then reads label and serial.
    // False with the Win32 error kept (GetLastError) when the disk cannot be
    // read; the label and serial of the last disk read stay.
    bool Query(const wchar_t* path = nullptr);
    // The serial of the last disk read; 0 when none was ever read.
    DWORD GetSerial() const { return valid_ ? serial_ : 0; }
    // Copies the label (at most capacity - 1 characters, terminated); false
    // when no disk was ever read.
    bool GetLabel(wchar_t* out, int capacity = kDiskLabelChars) const;
    // The free space of the drive in megabytes (bytes >> 20).
    bool GetFreeMB(DWORD* megabytes);
    DWORD GetLastError() const { return lastError_; }
    const wchar_t* Root() const { return root_; }
    wchar_t Letter() const { return root_[0]; }

private:
    wchar_t label_[kDiskLabelChars];   // volume label, terminated
    wchar_t root_[kDriveRootChars];    // "X:\"
    DWORD serial_;                     // volume serial number
    DWORD lastError_;                  // Win32 code of the last failed call
    BOOL valid_;                       // a disk was read once
};
