// What the merge window asks of the disk service: to remove the disk that
// holds the other database's folder. The least the window needs, behind one
// function pointer: the default makes the one remove-disk exchange with the
// local disk service's pipe "\\.\pipe\DiskSrv" (10-byte request {u32 1,
// u32 0, u16 drive letter}, 1,028-byte reply whose contents the merge window
// does not use); tests put a recorder in its place.
#pragma once

#include <windows.h>

typedef bool (*RemoveDiskFunction)(wchar_t driveLetter);

// The installed function; SetRemoveDiskFunction(null) restores the default
// and returns the previous one.
RemoveDiskFunction GetRemoveDiskFunction();
RemoveDiskFunction SetRemoveDiskFunction(RemoveDiskFunction function);

// The default: one exchange with the pipe (null: "\\.\pipe\DiskSrv"); true
// when the request was written and a reply read. A failed step ends the
// exchange and is journalled.
bool RequestDiskRemoval(wchar_t driveLetter, const wchar_t* pipeName = nullptr);

// The drive letter of a folder such as "E:\Data" (upper case), or 0 for a
// folder that is not on a lettered drive (a network share, a relative path).
wchar_t DriveLetterOfFolder(const wchar_t* folder);
