#include "images/pixels/displaylut.h"

#include <math.h>
#include <string.h>

namespace {

void StepTable(uint8_t* table, int offset)
{
    // Entries i <= -offset are 0, the rest 255: the limit of a window whose
    // width shrinks to nothing, where the formula itself would divide by 0.
    int64_t zeros = (int64_t)-offset + 1;
    if (zeros < 0)
        zeros = 0;
    if (zeros > kLutSize)
        zeros = kLutSize;
    memset(table, 0, (size_t)zeros);
    memset(table + zeros, 255, (size_t)(kLutSize - zeros));
}

void LinearTable(uint8_t* __restrict table, int offset, int width)
{
    const double k = 255.0 / width;
    const double b = offset * k;
    for (int i = 0; i < kLutSize; ++i) {
        double v = i * k + b;
        if (v <= 0) {
            table[i] = 0;
        } else if (v >= 255) {
            memset(table + i, 255, (size_t)(kLutSize - i));
            return;
        } else {
            table[i] = (uint8_t)(int)v;
        }
    }
}

struct GammaEntry
{
    int offset;
    double width, e;

    uint8_t operator()(int i) const
    {
        double x = (i + offset) / width;
        if (x < 0)
            return 0;
        if (x > 1)
            return 255;
        double y = 255.0 * pow(x, e);
        return y < 0 ? 0 : y > 255 ? 255 : (uint8_t)(int)y;
    }
};

} // namespace

void BuildDisplayLut(uint8_t* table, int offset, int width, double gamma)
{
    if (width == 0) {
        StepTable(table, offset);
        return;
    }
    if (gamma == 0.0) {
        LinearTable(table, offset, width);
        return;
    }
    const GammaEntry entry = {offset, (double)width, gamma + 1.0};
    if (width < 0 || !(entry.e > 0)) {
        // Not monotonic: every entry by the formula.
        for (int i = 0; i < kLutSize; ++i)
            table[i] = entry(i);
        return;
    }
    // The entries never decrease with i, so the table is 256 runs: find where
    // each level starts by bisection (the formula at 16 points per level, not
    // a pow for each of the 65,536 entries) and fill the runs.
    int start = 0;
    uint8_t level = entry(0);
    while (start < kLutSize) {
        // First index after `start` whose entry exceeds `level`.
        int lo = start, hi = kLutSize;
        while (hi - lo > 1) {
            int mid = lo + (hi - lo) / 2;
            if (entry(mid) > level)
                hi = mid;
            else
                lo = mid;
        }
        memset(table + start, level, (size_t)(hi - start));
        start = hi;
        if (start < kLutSize)
            level = entry(start);
    }
}
