// The arithmetic of the archive job, apart from disks and windows: the room
// an image takes on the archive disk, the running average image size, the
// rotation of the backup slots, the backup statement and the root of a path.
#pragma once

#include <windows.h>

#include <string>

// What a file takes on a disk whose clusters are `clusterBytes` long: one
// cluster more than its whole clusters (also for an exact multiple), the size
// itself when the cluster size is not known (0), and 3,145,728 bytes when the
// file's size could not be read.
const ULONGLONG kUnknownFileRoom = 0x300000;
ULONGLONG AllocatedSize(bool sizeKnown, ULONGLONG size, ULONGLONG clusterBytes);

// Whether a copy of `needed` bytes may go to a disk with `freeBytes` free
// that must keep `outstandingReserve` bytes free: the free space must exceed
// both together.
bool RoomForCopy(ULONGLONG freeBytes, ULONGLONG needed, ULONGLONG outstandingReserve);

// The average image size after one more image of `size` bytes: the first
// image's size when the average is 0, then (average x 9 + size) / 10 in
// unsigned 32-bit arithmetic.
DWORD NextAverageSize(DWORD average, DWORD size);

// The backup slot after `lastFile`: lastFile + 1, or 1 when that passes
// `maxFiles`. 0 when maxFiles is 0 (no slot).
DWORD NextBackupSlot(DWORD lastFile, DWORD maxFiles);

// "BACKUP DATABASE [catalog] TO DISK='path' WITH INIT" with the catalog
// bracketed (a "]" in it doubled) and the quotes of the path doubled.
std::wstring BackupStatement(const wchar_t* catalog, const wchar_t* path);

// The root of a path: for a path that does not begin with a backslash the
// text up to and including its first backslash ("E:\"), for one that begins
// with two backslashes the text up to and including the backslash after the
// server and the share ("\\server\share\"). False when that backslash is
// missing.
bool GetPathRoot2(const wchar_t* path, std::wstring* root);

// The folder with a trailing backslash (an empty folder stays empty).
std::wstring WithBackslash(const wchar_t* folder);
