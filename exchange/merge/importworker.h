// The merge worker: the thread that runs one ImportDBCls for the merge window.
//
//   StartImportThread   event -> thread -> wait for the thread's start signal
//                       (a failed wait terminates the thread before it did
//                       anything) -> the thread's handle
//   ImportThreadProc    the starter's language -> open the channel, signal
//                       the start -> Init, Connect ->
//                       wait for a command: 1 answer 1 and StartUnion; 0
//                       answer 1; others answer 0 and wait again -> ending:
//                       close the channel, SetFinished, answer 0 to every
//                       command still waiting -> exit code = the engine's state
//
// Commands (the first word of a request): 1 start merging, 0 stop. The exit
// code: 0 the run ended normally (also with nothing to merge or no start),
// 1 stopped by the user, 2 ended by an error, whose text went to the link's
// error text (a database error is also shown in a box of the worker's own).
#pragma once

#include "exchange/merge/importlink.h"
#include "foundation/threadchannel.h"

#include <windows.h>

const DWORD kImportCommandStop = 0;
const DWORD kImportCommandStart = 1;
// The worker's exit codes.
const DWORD kImportResultDone = 0;
const DWORD kImportResultStopped = 1;
const DWORD kImportResultFailed = 2;

// The start block, on the starter's stack until the thread has signalled.
struct ImportStartBlock {
    HANDLE started;
    DThreadChannel* channel;
    IImportLink* link;
    LANGID language;   // the starter's, so that the worker's texts are in the window's language
    LCID locale;
};

// Starts the worker and returns its thread handle once it runs; null on failure.
HANDLE StartImportThread(DThreadChannel* channel, IImportLink* link);
DWORD WINAPI ImportThreadProc(void* startBlock);
