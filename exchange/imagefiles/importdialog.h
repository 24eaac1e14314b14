// The import's open-file dialog: filters "XMG Format" (*.xmg) and "Bitmaps"
// (*.bmp), the folder it last showed kept in the settings value
// "ImportPath" (the image folder until there is one), and a side panel
// (dialog 158) that shows the properties of the selected ".xmg" file: its
// version, image id, size, exam date, pixel size and, when it has a text
// block, its patient's id, sex, birthday and names.
#pragma once

#include <windows.h>

struct ImportChoice
{
    wchar_t path[MAX_PATH];     // the chosen file
    DWORD filterIndex;          // 1 ".xmg", 2 ".bmp"
};

// Runs the dialog (no owner: it stands on its own, as it always has); false
// when the user cancels. Writes "ImportPath" after a choice.
bool RunImportDialog(HWND owner, ImportChoice& choice);

// Fills the panel from the file at `path`: the fields when the file reads,
// cleared fields and the reason in the status line when it does not; a file
// that cannot be opened leaves the fields as they were.
void ShowXmgProperties(HWND panel, const wchar_t* path);

// The hook of the open-file dialog: on a folder change it keeps the folder,
// on a selection change (filter 1) it shows the file's properties. It
// answers nothing itself: the dialog always goes on.
UINT_PTR CALLBACK ImportOpenHookProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
