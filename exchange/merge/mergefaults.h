// Failure injection on the way one image is merged.
//
// Each image is a chain of steps (the free space, the source file, the
// patient, the new image, its further columns, its thumbnail, its identity
// row, the commit, the mark in the other database), and Connect has writes a
// merge at the same moment may meet (a column or table added, the links of
// earlier merges, which end with two commits); each one asks
// MergeStepFails before its real work, and a test makes one of them fail as
// its real call would. The merge runs on its worker thread, so unlike the
// save's injection (images/files/savefaults.h) this one is process-wide: a
// test sets it, runs a merge, and clears it. An observer sees every step
// before the check (a test may pause the worker there).
#pragma once

#include <windows.h>

enum class MergeStep : int {
    None = 0,
    FreeSpace,        // the free space of the local data drive: as if too little
    OpenSource,       // the source ".xmg" cannot be opened
    FindPatient,      // the search for the local patient
    InsertPatient,    // a new local patient
    UpdatePatient,    // the further columns of a found patient
    SaveImage,        // the new image (row, file name, ".xmg")
    UpdateColumns,    // the further Snimok columns of the new image
    Thumbnail,        // the copy of the thumbnail: as if it failed (the image has none)
    Ledger,           // the image's identity row here
    Commit,           // the commit of the image's transaction
    AfterCommit,      // between the commit and the mark in the other database
    MarkSource,       // the mark imported=1 in the other database
    AddTable,         // Connect: a column or table a database lacks, before it is added
    LinkEarlier,      // Connect: the links of earlier merges, before a batch of them is written
    LinkCommitted,    // Connect: between the commits of a batch of links, there's done and here's to come
    Count
};

// Makes `step` fail once, after it has been reached `skip` times, with the
// Win32 error or HRESULT `code`; MergeStep::None ends the injection.
void InjectMergeFailure(MergeStep step, DWORD code, int skip = 0);

// True when the step must fail now; the code goes to *code.
bool MergeStepFails(MergeStep step, DWORD* code = nullptr);

// MergeStepFails for a database step: an injected failure looks as the real
// one would, a posted database error, thrown as DODBErrors naming `source`.
void ThrowIfInjected(MergeStep step, const wchar_t* source);

// Called with every step before its check (null: none).
typedef void (*MergeStepObserver)(MergeStep step, void* context);
void SetMergeStepObserver(MergeStepObserver observer, void* context);
