// The input-event record of the owner-drawn controls.
//
// Every control of the library (button, header, scroll bar, list view,
// up-down) reports raw input to its owner through a record of 15 callbacks
// with one layout; only the type of the second argument (the control) differs.
// Each callback gets the owner's cookie first; a null slot is skipped.
#pragma once

#include <windows.h>

template <class Control>
struct DInputRecord {
    typedef void (*Event)(void* cookie, Control* control);
    // Key state and the position in the control's client coordinates (signed).
    typedef void (*MouseEvent)(void* cookie, Control* control, WPARAM keys, int x, int y);
    // Virtual key (or character) and key data.
    typedef void (*KeyEvent)(void* cookie, Control* control, WPARAM key, LPARAM keyData);

    Event focusGained;
    Event focusLost;
    MouseEvent mouseMove;
    MouseEvent leftDown;
    MouseEvent leftUp;
    MouseEvent leftDoubleClick;
    MouseEvent rightDown;
    MouseEvent rightUp;
    MouseEvent rightDoubleClick;
    MouseEvent middleDown;
    MouseEvent middleUp;
    MouseEvent middleDoubleClick;
    KeyEvent keyDown;
    KeyEvent keyUp;
    KeyEvent character;
};

// Heap copies of callback records, for the controls that keep their own copy.
// Returns null when the allocation fails; a null source gives a zeroed record.
template <class Record>
Record* CopyRecord(const Record* source)
{
    Record* copy = static_cast<Record*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Record)));
    if (copy && source)
        *copy = *source;
    return copy;
}

template <class Record>
void FreeRecord(const Record* record)
{
    if (record)
        HeapFree(GetProcessHeap(), 0, const_cast<Record*>(record));
}

// Points `held` at the caller's record, or, when `copy` is set, at a heap copy
// of it that the control keeps (see CopyRecord). False, with `held` null, when
// the copy cannot be made.
template <class Record>
bool HoldRecord(const Record*& held, const Record* source, bool copy)
{
    held = copy ? CopyRecord(source) : source;
    return held || !copy;
}

// Forgets `held`, freeing it first when it is a copy the control keeps
// (`copied`, as it was for HoldRecord); the caller's own record is left alone.
template <class Record>
void ReleaseRecord(const Record*& held, bool copied)
{
    if (copied)
        FreeRecord(held);
    held = nullptr;
}

// The value of a field of a masked record: `value` when `mask` has `bit`,
// else `fallback`.
template <class T>
T MaskedValue(DWORD mask, DWORD bit, T value, T fallback)
{
    return (mask & bit) ? value : fallback;
}

// Stores `value` into a field of a masked record when `mask` has `bit`.
template <class T>
void PutMasked(DWORD mask, DWORD bit, T& field, T value)
{
    if (mask & bit)
        field = value;
}
