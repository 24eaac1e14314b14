// Failure injection on the way an image is saved.
//
// Saving a new image is a chain of steps (a session, a transaction, the free
// space, the patient, the row, the file name, the ".xmg", the ".thb", the
// commit); each one asks SaveStepFails before it does its real work, and a
// test makes one of them fail as its real call would. The injection belongs
// to the thread that set it, so a test never disturbs a worker's save.
#pragma once

#include <windows.h>

enum class SaveStep : int {
    None = 0,
    CreateSession,      // a session on the process-wide data source
    BeginTx,            // the local transaction
    FreeSpace,          // the free space of the data disk
    OpenRowset,         // the updatable rowset on Snimok
    InsertRow,          // the new row and its read-back
    UpdateFileName,     // the UPDATE of [File Name]: as if it found no row
    CreateImageFile,    // the ".xmg" cannot be created
    WriteImageFile,     // a write of the ".xmg" fails
    CreateIconFile,     // the ".thb" cannot be created
    WriteIconFile,      // the write of the ".thb" fails
    Commit,             // the commit of the transaction
    EndSave,            // after the commit: the save's note removed (failing, it stays)
    Count
};

// Makes `step` fail once, after it has been reached `skip` times on this
// thread, with the Win32 error or HRESULT `code`; SaveStep::None ends the
// injection.
void InjectSaveFailure(SaveStep step, DWORD code, int skip = 0);

// True when the step must fail now; the code goes to *code (and to the
// thread's last error). Each injection fires once.
bool SaveStepFails(SaveStep step, DWORD* code = nullptr);

// Called with every step, on any thread, before its check (null: none).
typedef void (*SaveStepObserver)(SaveStep step, void* context);
void SetSaveStepObserver(SaveStepObserver observer, void* context);
