// Points on the synchronisation worker's way that a test may watch.
//
// Each is reached inside a transaction of the worker's: a test's observer
// may hold the worker there (to see what the window does to a worker that
// holds the database), and lets it go on by returning. Process-wide, as the
// merge's steps are (exchange/merge/mergefaults.h): a test sets the observer,
// runs the worker and clears it.
#pragma once

enum class SyncStep : int {
    ScanFileWritten,   // a scan has written a file's row; its batch is not committed yet
    RestoreWritten,    // a file put back has its image row written; not committed yet
};

// Called with every step (null: none); it runs on the worker's thread.
typedef void (*SyncStepObserver)(SyncStep step, void* context);
void SetSyncStepObserver(SyncStepObserver observer, void* context);

// The worker has reached the step.
void ReachSyncStep(SyncStep step);
