// Committing the pages of a fresh raster ahead of the code that writes it:
// a raw pixel block, or a stream that is not decoded in bands (banddecode.h,
// whose decoders take the faults of their own rows).
//
// The first touch of a newly committed page is a page fault. Under Wine on
// the machines the program is measured on, one costs about 3.5 us (and a
// ReadFile into an untouched page takes two: the read maps the zero page,
// the write copies it), so the 4,400 pages of a 3000 x 3000 raster cost
// 15 ms, three times its decoding; the first image a process opens pays it,
// later ones reuse kept pages (pixmem.h). Faults of one process run in
// parallel, so while the image file reader writes a fresh raster from the
// top down, CommitAhead touches its rows from the bottom up on two of the
// process's helper threads (pixhelpers.h; fewer on a machine with fewer than
// three processors), made for its first fresh raster and kept since: most
// faults are taken there,
// at the same time as the decoding. Measured on the 3000 x 3000 noise
// picture, the first open's decoding went from 19 ms to 8.5 ms (3 ms when
// the pages are kept); a third helper gained nothing.
//
// The rows and who owns them:
//   [0, callerRows)            the writer's: it may write them once Reach
//                              has returned
//   [callerRows, claimedFrom)  nobody's yet: the next helper takes a chunk
//                              of kChunkRows from the bottom of it
//   [claimedFrom, rows)        the helpers': each chunk touched or being
//                              touched (busy) by one of them
// Invariants:
//   - a helper writes only inside the chunk it claimed, and claims, under
//     the lock, only rows from callerRows on; the writer writes only rows
//     before callerRows, once Reach saw no busy chunk start before it (the
//     lock orders the helper's stores before the writer's);
//   - touching stores a zero into one byte of each page of rows nobody has
//     written yet: the writer writes every byte of them afterwards, so what
//     the pages held does not matter;
//   - after the destructor no helper stores into the raster: it stops the
//     claims and waits for the busy chunks. A helper that starts late finds
//     nothing to claim and only leaves.
// Transitions: the constructor hands the raster to the helpers (none for a
// kept raster or a small one: Reach then returns at once); Reach (callerRows
// grows, rows nobody claimed are touched on the writer's thread); a helper's
// claim (claimedFrom falls) and its end of a chunk; the destructor (no
// claims).
// The state lives in a block that the owner and each helper hold a reference
// to (DRefCount), so that a helper leaving late never touches freed memory.
// The writer's waits (Reach, the destructor) last at most the touching of
// one chunk of kChunkRows rows by a helper.
#pragma once

#include "images/pixels/tilecodec.h"

#include <stddef.h>

class CommitAhead : public TileRowGate
{
public:
    static const int kHelpers = 2;
    static const int kChunkRows = 16;
    // Rasters smaller than this are left to the writer: the process's first
    // raster handed over waits about 1 ms under Wine for the helpers'
    // threads to start.
    static const size_t kSmallest = (size_t)4 << 20;

    // A raster of `rows` rows of `rowBytes` bytes; `fresh` says that its
    // pages were newly committed (PixelAllocForOverwrite).
    CommitAhead(void* raster, size_t rowBytes, int rows, bool fresh);
    ~CommitAhead();
    CommitAhead(const CommitAhead&) = delete;
    CommitAhead& operator=(const CommitAhead&) = delete;

    // Returns when rows [0, rows) are committed and no helper writes there
    // any more: those a helper took are finished, the others are touched
    // here. Counts below an earlier one change nothing.
    void Reach(int rows) override;

    struct State;   // commitahead.cpp

private:
    State* state;   // null: nothing to commit
};
