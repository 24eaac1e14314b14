// The synchronisation window's dialogs, both modal to the window and opened
// from its "Команды" menu: moving the suspect image files ("Перемещение
// снимков") and the lists of archive disks ("Диски отсканированные"). The
// work they do lives in suspectmove.h; here are only their windows.
#pragma once

#include <windows.h>

// The move dialog. `archivePath` is the window's archive location: "Переместить
// MO" takes the files of the disk in its drive, as the scans do.
INT_PTR RunSuspectMoveDialog(HWND owner, const wchar_t* archivePath);
// The disk-list dialog for the list (ArchiveDiskList: 1 scanned, 2 registered,
// 3 not scanned).
INT_PTR RunArchiveDiskListDialog(HWND owner, int list);

// Their procedures, given to the system through GuardedDialogProc
// (ui/dialogtexts.h), which shows what they throw over the dialog.
INT_PTR CALLBACK SuspectMoveDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ArchiveDiskListDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The shell's folder browser owned by the window (file-system folders only):
// true with the chosen folder's path in `path` (MAX_PATH characters); false
// when the user cancelled or the path could not be had (said in a box).
bool BrowseForFolder(HWND owner, wchar_t* path);
