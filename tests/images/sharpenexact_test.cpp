// Sharpening against the formula summed directly, over the whole raster: the
// rows eight pixels at a time (small amounts, among them the program's levels
// 2 to 4) and the plain rows (larger amounts) must both give it exactly, for
// widths that leave every possible remainder, full 16-bit values, clamping
// both ways and blur sums on either side of a multiple of 25.
#include "images/pixels/rasterkernels.h"

#include <stdint.h>

#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

typedef std::vector<uint16_t> Pixels;

Pixels Random(int w, int h, unsigned seed, unsigned mask)
{
    std::mt19937 rng(seed);
    Pixels p((size_t)w * h);
    for (auto& v : p)
        v = (uint16_t)(rng() & mask);
    return p;
}

// The blur B over x, y = 2 .. W-3, H-3 summed pixel by pixel; outside that
// region B is its nearest edge value. Output = clamp(s - (k L) / 2) inside the
// region, the source outside.
Pixels Reference(const Pixels& s, int W, int H, int k)
{
    std::vector<int64_t> B((size_t)W * H, 0);
    for (int y = 2; y < H - 2; ++y)
        for (int x = 2; x < W - 2; ++x) {
            int64_t sum = 0;
            for (int j = -2; j <= 2; ++j)
                for (int i = -2; i <= 2; ++i)
                    sum += s[(size_t)(y + j) * W + x + i];
            B[(size_t)y * W + x] = sum / 25;
        }
    auto at = [&](int x, int y) {
        x = x < 2 ? 2 : x > W - 3 ? W - 3 : x;
        y = y < 2 ? 2 : y > H - 3 ? H - 3 : y;
        return B[(size_t)y * W + x];
    };
    Pixels out = s;
    for (int y = 2; y < H - 2; ++y)
        for (int x = 2; x < W - 2; ++x) {
            int64_t L = -8 * at(x, y);
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i)
                    if (i || j)
                        L += at(x + i, y + j);
            int64_t v = s[(size_t)y * W + x] - ((int64_t)k * L) / 2;
            out[(size_t)y * W + x] = (uint16_t)(v < 0 ? 0 : v > 65535 ? 65535 : v);
        }
    return out;
}

void ExpectSharpenedLikeReference(const Pixels& px, int W, int H, int k)
{
    Pixels out((size_t)W * H, 0xABCD);
    ASSERT_TRUE(SharpenRaster(px.data(), out.data(), W, H, k));
    Pixels want = Reference(px, W, H, k);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            ASSERT_EQ(want[(size_t)y * W + x], out[(size_t)y * W + x])
                << "at " << x << "," << y << " of " << W << " x " << H << ", k " << k;
}

// Widths 5 .. 26 cover each remainder of the 8-pixel steps with and without a
// full step; the heights include the smallest and a few odd ones.
const int kSizes[][2] = {{5, 5},  {6, 7},   {7, 9},   {9, 6},   {10, 5},  {11, 13}, {13, 8},  {17, 11},
                         {18, 6}, {19, 17}, {23, 10}, {25, 7},  {26, 9},  {31, 33}, {33, 31}, {61, 47},
                         {67, 5}, {5, 67},  {129, 9}, {250, 3}, {3, 250}, {4, 4}};

TEST(SharpenExact, SmallAmountsEqualTheFormulaEverywhere)
{
    unsigned seed = 1;
    for (const auto& size : kSizes)
        for (int k : {1, 2, 3, 4, -1, -3, 7, 32, -32}) {
            const int W = size[0], H = size[1];
            ExpectSharpenedLikeReference(Random(W, H, seed++, 0x3FFF), W, H, k);
            ExpectSharpenedLikeReference(Random(W, H, seed++, 0xFFFF), W, H, k);
        }
}

TEST(SharpenExact, LargeAmountsEqualTheFormulaEverywhere)
{
    unsigned seed = 1000;
    for (const auto& size : kSizes)
        for (int k : {33, -33, 2048, -2049, 5000, -70000}) {
            const int W = size[0], H = size[1];
            ExpectSharpenedLikeReference(Random(W, H, seed++, 0xFFFF), W, H, k);
        }
}

TEST(SharpenExact, ExtremeLaplaciansClampBothWays)
{
    // Single dark pixels in white and bright pixels in black: the largest
    // Laplacians of either sign, pushed past 0 and 65535.
    const int W = 29, H = 21;
    Pixels white((size_t)W * H, 65535), black((size_t)W * H, 0);
    for (int i = 0; i < 12; ++i) {
        size_t at = (size_t)(2 + (i * 7) % (H - 4)) * W + 2 + (i * 11) % (W - 4);
        white[at] = 0;
        black[at] = 65535;
    }
    for (int k : {32, -32, 4, 1, 5000, -5000}) {
        ExpectSharpenedLikeReference(white, W, H, k);
        ExpectSharpenedLikeReference(black, W, H, k);
    }
}

TEST(SharpenExact, BlurSumsNextToMultiplesOf25)
{
    // Flat v gives sums of exactly 25 v; a spike of 24 or 1 in it gives 25 v
    // + 24 and 25 v + 1, where a division that is off by a hair shows.
    const int W = 19, H = 15;
    for (unsigned v = 0; v <= 65511; v += 2047) {
        for (unsigned v2 : {v, 65511u - v}) {
            Pixels px((size_t)W * H, (uint16_t)v2);
            px[(size_t)5 * W + 6] = (uint16_t)(v2 + 24);
            px[(size_t)9 * W + 12] = (uint16_t)(v2 + 1);
            for (int k : {3, -2, 100})
                ExpectSharpenedLikeReference(px, W, H, k);
        }
    }
}

TEST(SharpenExact, RadiographSizedRowsMatchTheFormula)
{
    // A row as long as a detector's and a few rows down, at the three levels.
    const int W = 3001, H = 9;
    Pixels px = Random(W, H, 77, 0x3FFF);
    for (int k : {2, 3, 4})
        ExpectSharpenedLikeReference(px, W, H, k);
}

} // namespace
