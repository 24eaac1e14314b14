// Pixel kernels of the raster operations: the seven copy kernels of turning
// and mirroring, the two reductions, sharpening, the impulse-noise filter and
// the region statistics. Rasters are unsigned 16-bit, row by row, no padding.
// None of them allocates except SharpenRaster (its blur buffer).
#pragma once

#include <stdint.h>

// Copy kernels: src is width x height; dst holds as many pixels. Source pixel
// (x, y) goes to:
void MirrorVertical(const uint16_t* src, uint16_t* dst, int width, int height);     // (x, H-1-y)
void MirrorHorizontal(const uint16_t* src, uint16_t* dst, int width, int height);   // (W-1-x, y)
void Rotate180(const uint16_t* src, uint16_t* dst, int width, int height);          // (W-1-x, H-1-y)
void Rotate90CW(const uint16_t* src, uint16_t* dst, int width, int height);         // (H-1-y, x), H wide
void Transverse(const uint16_t* src, uint16_t* dst, int width, int height);         // (H-1-y, W-1-x)
void Transpose(const uint16_t* src, uint16_t* dst, int width, int height);          // (y, x)
void Rotate90CCW(const uint16_t* src, uint16_t* dst, int width, int height);        // (y, W-1-x)

typedef void (*CopyKernel)(const uint16_t* src, uint16_t* dst, int width, int height);

// The kernel that makes the shown raster from the stored one for an
// orientation (1..7), and its inverse; null for 0 and for values above 7.
CopyKernel OrientationKernel(int orientation);
CopyKernel InverseOrientationKernel(int orientation);

// Each destination pixel is the average of its n x n source block, the
// remainder dropped; the destination is (srcW / n) x (srcH / n).
void ReduceBoxAverage(uint16_t* dst, const uint16_t* src, int srcW, int srcH, int dstW, int dstH, int n);
// Destination (i, j) is the source sampled bilinearly at (1.5 i + 0.75,
// 1.5 j + 0.75) with weights in quarters, summed and divided by 16; the
// destination is (srcW * 2 / 3) x (srcH * 2 / 3).
void ReduceTwoThirds(uint16_t* dst, const uint16_t* src, int srcW, int srcH, int dstW, int dstH);
// The interior of the two-thirds reduction: each 3 x 3 source block at
// (3a, 3b), a < blocksAcross, b < blocksDown, gives the 2 x 2 destination
// block at (2a, 2b), weighing source columns (and rows) 1:3 and 3:1 in
// quarters, the sum divided by 16. Reads source columns and rows up to
// 3a + 3 and 3b + 3: the caller keeps them inside the source.
void ReduceTwoThirdsBlocks(uint16_t* dst, int dstW, const uint16_t* src, int srcW, int blocksAcross, int blocksDown);

// Sharpens src into dst with amount k: a 5 x 5 box blur B over the pixels at
// least two from the border, its 8-neighbour Laplacian L (the blur's own edge
// replicated outward), dst = clamp(src - (k L) / 2). Pixels that the blur does
// not cover are copied. False (dst untouched) when the blur buffer cannot be
// allocated.
bool SharpenRaster(const uint16_t* src, uint16_t* dst, int width, int height, int k);

// Impulse-noise filter: an interior pixel outside 0.667..1.333 times the mean
// of its 8 neighbours becomes the mean of their third and fourth largest; the
// border is copied.
void FilterImpulseNoiseRaster(const uint16_t* src, uint16_t* dst, int width, int height);

// A second noise filter, into a new raster (AllocRaster; null when it cannot
// be had): an interior pixel above 405 that lies more than three deviations
// from the mean of its 8 neighbours (the deviation with 7 in the
// denominator) becomes that mean; the rest is copied. Nothing in the program
// uses it.
uint16_t* FilterNoiseSigma(const uint16_t* src, int width, int height);

// Statistics of a region of `width` x `height` pixels starting at `first`,
// rows `rowLength` pixels apart.
struct ImageStats
{
    static double Mean(const uint16_t* first, int width, int height, int rowLength);
    // Sample deviation (n - 1); 0 for fewer than two pixels.
    static double StdDev(const uint16_t* first, int width, int height, int rowLength, double mean);
    // True when sd / mean of the central region (w/4, h/4, 2 (w/4) x 2 (h/4))
    // exceeds 0.2; false for a mean of 0 or an empty region.
    static bool SpreadExceeds(const uint16_t* pixels, int width, int height, int rowLength);
    static void MinMax(const uint16_t* first, int width, int height, int rowLength, int& minimum, int& maximum);
};
