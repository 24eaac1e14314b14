// The archive-disk prompt of the synchronisation's re-insertion (dialog 268).
#pragma once

#include "exchange/sync/synchrthread.h"

#include <string>

// The prompt hook's answer that stands for "Извлечь МО".
const int kDiskPromptEject = 1281;

// Dialog 268's procedure: results 3 "Прервать", 4 "Продолжить", 5
// "Игнорировать"; "Извлечь МО" sets the channel's eject bit and keeps the
// dialog open.
INT_PTR CALLBACK InsertDiskDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// "Вставте диск: <label> (<serial>)..." with the label and the serial in
// both places: disks whose labels are alike (or cut alike to the name
// column) are told apart by the serial the worker checks.
std::wstring InsertDiskPrompt(const wchar_t* label, DWORD serial);
