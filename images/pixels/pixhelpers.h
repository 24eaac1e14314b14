// Helper threads for pixel work that splits: the pages of a fresh raster
// committed ahead of its writer (commitahead.h) and the rows of a large render
// (displayrenderer.h).
//
// On Windows the helpers are the threads of a thread pool of the process's
// own, made at the first use and kept from then on, as its pixel memory is: a
// new thread runs about 1 ms after its creation under Wine and creating one
// costs its creator 0.3 ms, while a kept one starts on its work within 0.1 ms.
// There are kPixelHelpers of them, fewer where the process may run on fewer
// processors (each needs one of its own beside the caller's), none where it
// may run on one or when the pool cannot be made. The processors are those of
// the process's affinity mask when the pool is made, not the machine's: a
// process bound to one processor of eight would otherwise have four helpers
// fighting its reader for it. Natively (the sanitizer build of tests/native)
// there are none, and the caller does all the work.
//
// Work handed to a helper may start late, after its caller has done the same
// work itself: nobody waits for a helper that has not started, and what a
// helper reaches stays alive until it leaves (the state blocks of
// commitahead.cpp and of SplitRows are counted).
#pragma once

#include <stdint.h>

const int kPixelHelpers = 4;

// The helpers the process has, made at the first call; 0: none.
int PixelHelperCount();

// The helpers for a process that may run on the processors whose bits are set
// in `affinity`, at most `most`: one fewer than the processors, none for one.
int PixelHelpersFor(uint64_t affinity, int most);

// Runs work(context) on a helper; false (nothing runs) when there is none or
// the work could not be queued.
bool StartPixelHelper(void (*work)(void* context), void* context);

// Calls rows(context, from, to) for bands of `band` rows that cover [0, count)
// in order of `from`, on the caller's thread and on up to `helpers` helpers at
// once, and returns when every band is done. Each call must write only what
// belongs to its own rows. Without helpers, or for a single band, it is one
// call rows(context, 0, count) on the caller's thread.
void SplitRows(int count, int band, int helpers, void (*rows)(void* context, int from, int to), void* context);
