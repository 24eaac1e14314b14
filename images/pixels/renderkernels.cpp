#include "images/pixels/renderkernels.h"

#include <string.h>

namespace {

inline void Store32(uint8_t* p, uint32_t v)
{
    memcpy(p, &v, 4);
}

// Four table values in one little-endian word: the first in the low byte.
inline uint32_t Four(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    return a | b << 8 | c << 16 | d << 24;
}

} // namespace

void LutRow(const uint16_t* __restrict src, const uint8_t* __restrict lut, uint8_t* __restrict out, int n)
{
    // Eight pixels a step, stored four bytes at a time: a byte store per
    // pixel costs more than the look-ups themselves.
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        Store32(out + i, Four(lut[src[i]], lut[src[i + 1]], lut[src[i + 2]], lut[src[i + 3]]));
        Store32(out + i + 4, Four(lut[src[i + 4]], lut[src[i + 5]], lut[src[i + 6]], lut[src[i + 7]]));
    }
    for (; i < n; ++i)
        out[i] = lut[src[i]];
}

void NearestRow(const uint16_t* __restrict row, const int32_t* __restrict cols, const uint8_t* __restrict lut,
                uint8_t* __restrict out, int n)
{
    int i = 0;
    for (; i + 4 <= n; i += 4)
        Store32(out + i, Four(lut[row[cols[i]]], lut[row[cols[i + 1]]], lut[row[cols[i + 2]]], lut[row[cols[i + 3]]]));
    for (; i < n; ++i)
        out[i] = lut[row[cols[i]]];
}

void BilinearRow(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const int32_t* __restrict cols,
                 const uint16_t* __restrict fxs, uint32_t fy, const uint8_t* __restrict lut, uint8_t* __restrict out,
                 int n)
{
    for (int i = 0; i < n; ++i) {
        const int32_t sx = cols[i];
        const uint32_t fx = fxs[i];
        const uint32_t a = r0[sx], b = r0[sx + 1], c = r1[sx], d = r1[sx + 1];
        const uint32_t top = (a << 8) + fx * (b - a);
        const uint32_t bottom = (c << 8) + fx * (d - c);
        out[i] = lut[((top << 8) + fy * (bottom - top)) >> 16];
    }
}

void VerticalRow(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const int32_t* __restrict cols,
                 uint32_t fy, const uint8_t* __restrict lut, uint8_t* __restrict out, int n)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t a = r0[cols[i]], c = r1[cols[i]];
        out[i] = lut[((a << 8) + fy * (c - a)) >> 8];
    }
}

void HorizontalRow(const uint16_t* __restrict r0, const int32_t* __restrict cols, const uint16_t* __restrict fxs,
                   const uint8_t* __restrict lut, uint8_t* __restrict out, int n)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t a = r0[cols[i]], b = r0[cols[i] + 1];
        out[i] = lut[((a << 8) + fxs[i] * (b - a)) >> 8];
    }
}
