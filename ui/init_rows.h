// Rows of the start-up initialization table: named pairs of an initialise and
// an undo operation, run in order and undone in reverse.
#pragma once

#include <stddef.h>

struct InitRow {
    bool (*init)();     // true on success
    void (*uninit)();
    const wchar_t* name;
};

// Runs the rows in order. When one fails, undoes the rows already done in
// reverse order and returns false with the failing row's index in *failed.
bool RunInitRows(const InitRow* rows, size_t count, size_t* failed);
// Undoes every row, last first.
void UndoInitRows(const InitRow* rows, size_t count);

// The control library's rows: its font, then the tooltip and button classes.
extern const InitRow ControlLibraryRows[];
extern const size_t ControlLibraryRowCount;
