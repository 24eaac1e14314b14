// Page allocations for pixel rasters, render buffers and scale maps.
//
// On Windows every raster is committed pages (VirtualAlloc, read-write) and is
// given back with VirtualFree; the pixel code also builds natively (tests under
// the address sanitizer), where the same calls use the C heap so that the
// sanitizer sees every byte read past a raster.
//
// Keeping large blocks (Windows only): opening an image needs a block for its
// stream (a megabyte) and a raster of several megabytes, and the one shown
// before is given back at about the same time. Committing fresh pages costs a page fault for every 4 KB
// on their first touch, more than decoding the image itself, so PixelFree keeps
// a few large read-write blocks committed (kPixelKeepBlocks, at most
// kPixelKeepBytes together) and PixelAlloc hands one out again when a request
// fits it (the block at least as large as the request and less than a quarter
// larger). A kept block is zeroed before PixelAlloc returns it;
// PixelAllocForOverwrite skips that for callers that write every byte.
// Blocks whose protection a caller changed are released, never kept.
// PixelTrim releases every kept block.
//
// Allocation is a seam: tests make the n-th next allocation fail to check that
// every caller leaves its object as it was.
#pragma once

#include <stddef.h>
#include <stdint.h>

const int kPixelKeepBlocks = 4;
const size_t kPixelKeepBytes = (size_t)96 << 20;
const size_t kPixelKeepSmallest = (size_t)1 << 20;   // smaller blocks are released at once

// Zero-filled memory of the given size, or null (see PixelAllocError).
void* PixelAlloc(size_t bytes);
// The same without the zero fill of a kept block: the caller writes every
// byte before anything reads it. `fresh`, when given, tells whether the
// block is newly committed (each page a fault on its first touch) rather
// than a kept one; it is set only when a block is returned.
void* PixelAllocForOverwrite(size_t bytes, bool* fresh = nullptr);
// Gives back what PixelAlloc returned; null is ignored.
void PixelFree(void* p);
// Releases the kept blocks; returns how many there were.
int PixelTrim();
// Kept blocks and their bytes (for tests).
int PixelKeptBlocks(size_t* bytes);
// The system error code of the last failed PixelAlloc on this thread
// (ERROR_NOT_ENOUGH_MEMORY, 8, when the failure was injected or natively).
unsigned PixelAllocError();

// Test seam: the allocation after `skip` more successful ones fails; -1 ends
// the injection. Returns the previous setting.
int SetPixelAllocFailure(int skip);

// Rasters are width x height 16-bit pixels; refused (null) when the size is
// not positive or does not fit the address space. The second form leaves the
// pixels undefined (see PixelAllocForOverwrite).
uint16_t* AllocRaster(int width, int height);
uint16_t* AllocRasterForOverwrite(int width, int height, bool* fresh = nullptr);
