// The modal dialog "Removable disk properties": the volume label, the volume
// serial number, the free space and the capacity of the disk in the drive of
// a path, read again by its Update button. The archive window opens it
// (Properties, Shift+Enter) with the archive path.
#pragma once

#include <windows.h>

#include <string>

// Runs the dialog; its result (1 after Close).
INT_PTR ShowRemovableDiskProperties(HWND owner, const wchar_t* path);

// The free space and the capacity of the root in whole megabytes, as text
// ("%I64u"); false when they cannot be read.
bool GetDiskSpaceMB(const wchar_t* root, std::wstring* freeText, std::wstring* capacityText);

// What the dialog shows for the drive of a path: the texts of its controls
// 1240 (label), 1241 (serial), 1242 (free), 1243 (capacity), 1244 (error).
struct DiskPropertyTexts {
    std::wstring label, serial, freeSpace, capacity, error;
};
DiskPropertyTexts ReadDiskProperties(const wchar_t* path);

INT_PTR CALLBACK RemovableDiskPropertiesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
