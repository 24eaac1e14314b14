// The display renderer's row kernels: 16-bit pixels through the display
// look-up table into 8-bit grey, directly, at the nearest pixel or
// interpolated. Integer-only, so they build with SSE2 (like the raster
// kernels) without touching any floating-point result of the renderer.
#pragma once

#include <stdint.h>

// out[i] = lut[src[i]], i < n. The table has a spare byte after its
// 65,536 entries (kLutTableBytes, displaylut.h): the row reads entries two
// bytes at a time.
void LutRow(const uint16_t* __restrict src, const uint8_t* __restrict lut, uint8_t* __restrict out, int n);
// out[i] = lut[row[cols[i]]].
void NearestRow(const uint16_t* __restrict row, const int32_t* __restrict cols, const uint8_t* __restrict lut,
                uint8_t* __restrict out, int n);
// Both neighbours: lut[(((a << 8) + fx (b - a)) << 8 + fy (bottom - top)) >> 16]
// modulo 2^32 (the true value lies in 0 .. 65535 x 65536, so the wrap of the
// intermediate terms cancels out); a, b from r0 at cols[i], cols[i] + 1, the
// bottom pair from r1. Fractions fx (and fy) are 0..255.
void BilinearRow(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const int32_t* __restrict cols,
                 const uint16_t* __restrict fxs, uint32_t fy, const uint8_t* __restrict lut, uint8_t* __restrict out,
                 int n);
// Only the lower neighbour exists: lut[((a << 8) + fy (c - a)) >> 8].
void VerticalRow(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const int32_t* __restrict cols,
                 uint32_t fy, const uint8_t* __restrict lut, uint8_t* __restrict out, int n);
// Only the right neighbour exists: lut[((a << 8) + fx (b - a)) >> 8].
void HorizontalRow(const uint16_t* __restrict r0, const int32_t* __restrict cols, const uint16_t* __restrict fxs,
                   const uint8_t* __restrict lut, uint8_t* __restrict out, int n);
// Asks for the cache lines of row[first .. last] to be on their way (nothing
// where the processor has no prefetch). A view row reads its source rows
// along the whole view, but each view row of a reduced view jumps to rows the
// hardware prefetcher cannot guess: the renderer names those of a later row.
void PrefetchRow(const uint16_t* row, int first, int last);
