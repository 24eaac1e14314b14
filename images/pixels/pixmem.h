// Page allocations for pixel rasters, render buffers and scale maps.
//
// On Windows every raster is committed pages (VirtualAlloc, read-write) and is
// given back with VirtualFree; the pixel code also builds natively (tests under
// the address sanitizer), where the same calls use the C heap so that the
// sanitizer sees every byte read past a raster.
//
// Allocation is a seam: tests make the n-th next allocation fail to check that
// every caller leaves its object as it was.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Zero-filled memory of the given size, or null (see PixelAllocError).
void* PixelAlloc(size_t bytes);
// Gives back what PixelAlloc returned; null is ignored.
void PixelFree(void* p);
// The system error code of the last failed PixelAlloc on this thread
// (ERROR_NOT_ENOUGH_MEMORY, 8, when the failure was injected or natively).
unsigned PixelAllocError();

// Test seam: the allocation after `skip` more successful ones fails; -1 ends
// the injection. Returns the previous setting.
int SetPixelAllocFailure(int skip);

// Rasters are width x height 16-bit pixels; refused (null) when the size is
// not positive or does not fit the address space.
uint16_t* AllocRaster(int width, int height);
