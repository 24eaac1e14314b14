// Decoding the bands of a tile stream on several threads while it is read.
//
// The full tiles of a stream come band by band (tilecodec.h), and a band is
// decoded from its own bytes into its own 32 rows. The image file reader
// reads the stream 128 KB at a time; decoding it is twice that long and the
// reading itself is a copy of the whole stream, so on one thread the two
// made most of an open (3.3 ms of 5 for a 3000 x 3000 radiograph). Here the
// reader's thread (the owner) reads the bands into slots of a block and the
// process's helper threads (pixhelpers.h) decode them as they come, the
// owner too when no slot is free and more bands wait than idle helpers. In a fresh raster
// each decoder takes the page faults of its own rows: the faults of the first
// open of a process are spread over the same threads, and CommitAhead is not
// needed for a stream decoded this way.
//
// The slots and who owns them (under the lock of the state block):
//   free     nobody's; the owner takes one to fill (Acquire)
//   filling  the owner's: it reads into it until a band is whole there
//   ready    a whole band, queued in band order (Publish); any decoder takes
//            the oldest (Take)
//   busy     one decoder's, which reads the band and writes its rows, then
//            frees the slot (Finish)
// Invariants:
//   - only the owner writes into a slot's bytes, and only into the one it
//     fills; a decoder reads only its band's bytes and the slack behind them
//     and writes only its band's rows;
//   - the bytes the owner read past a band's end (the start of the next) are
//     moved into the next slot before anything else is read; the slot they
//     came from is not refilled before that, since only the owner fills;
//   - the owner never waits for a helper that has not started: it decodes a
//     ready band itself unless an idle helper is there to take it, and
//     waits only for busy bands, which started decoders finish, and for
//     idle helpers at most 1 ms at a time;
//   - after Run returns or throws, no helper touches the block or the raster
//     any more: the guard stops the state (no more takes) and waits for the
//     busy bands; the state block itself is counted, so that a helper that
//     starts late finds it, sees it stopped and leaves.
// Transitions: Run (the state made, the first helper queued with the first
// band; each helper queues two more as it starts, while helpers are
// wanted); Acquire, Publish,
// Take, Finish (above); the guard's stop (stopped, no takes).
#pragma once

#include "images/pixels/tilecodec.h"

#include <stddef.h>
#include <stdint.h>

class BandDecode
{
public:
    // The slots a block must hold at least for this to pay: one filling,
    // two decoding.
    static const int kLeastSlots = 3;
    static const int kMostSlots = 8;
    // Rasters smaller than this are decoded on one thread: the first helper
    // starts 25-60 us after it is queued under Wine.
    static const size_t kSmallest = (size_t)4 << 20;
    // The most the owner reads at once.
    static const uint32_t kRead = 128 << 10;

    // Where the stream's next bytes come from: reads at most `most` bytes
    // into `into` and returns how many (0: the stream has ended). A failure
    // throws, and the throw passes through Run.
    typedef uint32_t (*Source)(void* context, uint8_t* into, uint32_t most);

    // Whether the stream of a width x height raster of `depth` bits is to be
    // decoded this way with a block of `blockBytes`: a large raster, with
    // bands, helpers in the process and at least kLeastSlots slots of the
    // largest band the width allows.
    static bool Suits(int width, int height, int depth, size_t blockBytes);

    // Reads the full bands of the stream from `source` into slots of `block`
    // and decodes them into `pixels` (a raster as DecodeRaster takes it) on
    // this thread and on helpers; moves the cursor of `decoder` (made for the
    // same raster, at its start) past them and the bytes read past the last
    // band to the start of the block, and returns their count: they start
    // the rest of the stream. -1 for a damaged or short stream (the raster's
    // contents are then undefined). `freshBlock`: the block's pages are newly
    // committed, and each is written before the first read into it (a
    // ReadFile into an untouched page faults twice under Wine).
    static int64_t Run(TileStreamDecoder& decoder, uint16_t* pixels, int width, int height, int depth,
                       uint8_t* block, size_t blockBytes, bool freshBlock, Source source, void* context);

    struct State;   // banddecode.cpp
};
