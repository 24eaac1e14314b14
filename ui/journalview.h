// The journal viewer: the window "JournalViewWindow" in which an
// administrator reads the journal, one list row per record, oldest first.
//
// It is a snapshot: the list is filled once, when the window is created. At
// most one viewer exists; its state is process-wide (the window handle, one
// static DListView, the category names), and its procedure dispatches through
// a table of plain functions.
#pragma once

#include "ui/init_rows.h"

#include <windows.h>

namespace JournalView {

// The initialization-table row "Register JWindow".
bool RegisterClass();
void UnregisterClass();

// Opens the viewer when none is open (true also when one is); false when it
// cannot be created (for example while the journal is closed).
bool Show();
void Destroy();
// Empties the list and fills it from the journal; false when the journal is
// not mapped.
bool Fill();

// The viewer's window (null when none) and the category name shown for a
// category (empty for one the journal does not name).
HWND Window();
const wchar_t* CategoryName(DWORD category);

LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
void OnDestroy();
void OnSize(int width, int height, WPARAM type);
LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

extern const InitRow Row;

}  // namespace JournalView

class DListView;
// The viewer's list (for tests).
DListView& JournalViewList();
