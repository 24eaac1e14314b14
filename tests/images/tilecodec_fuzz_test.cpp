// A bounded, fixed-seed fuzz run of the tile decoder: damaged, truncated and
// random streams, each in a buffer of exactly its own size, so that a read
// past the input shows (natively the address sanitizer stops the run).
#include "images/pixels/tilecodec.h"

#include <stdint.h>
#include <string.h>

#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

const int kRounds = 1500;

// A stream in a heap block of exactly its size.
int32_t DecodeExact(const std::vector<uint8_t>& s, std::vector<uint16_t>& px, int w, int h, int depth)
{
    std::unique_ptr<uint8_t[]> exact(new uint8_t[s.size() ? s.size() : 1]);
    if (!s.empty())
        memcpy(exact.get(), s.data(), s.size());
    return DecodeRaster(px.data(), w, h, depth, s.empty() ? exact.get() : exact.get(), (int32_t)s.size());
}

std::vector<uint8_t> ValidStream(std::mt19937& rng, int w, int h, int depth)
{
    std::vector<uint16_t> px((size_t)w * h);
    uint32_t mask = (1u << depth) - 1;
    uint32_t narrow = (uint32_t)rng() & mask;
    for (auto& p : px)
        p = (uint16_t)((rng() % 4 == 0 ? rng() : narrow + rng() % 5) & mask);
    std::vector<uint8_t> s(EncodeBufferBound(w, h) + 8);
    int32_t n = EncodeRaster(px.data(), s.data(), (int32_t)s.size(), w, h, depth);
    EXPECT_GT(n, 0);
    s.resize(n > 0 ? n : 0);
    return s;
}

TEST(TileDecoderFuzz, DamagedTruncatedAndRandomStreamsStayInsideTheInput)
{
    std::mt19937 rng(20240611);
    int damaged = 0, decoded = 0;
    for (int round = 0; round < kRounds; ++round) {
        int w = 1 + (int)(rng() % 90), h = 1 + (int)(rng() % 90), depth = 1 + (int)(rng() % 16);
        std::vector<uint16_t> px((size_t)w * h);
        std::vector<uint8_t> s;
        switch (round % 3) {
        case 0: {   // flipped bytes, header bytes included
            s = ValidStream(rng, w, h, depth);
            int flips = 1 + (int)(rng() % 4);
            for (int i = 0; i < flips && !s.empty(); ++i)
                s[rng() % s.size()] ^= (uint8_t)(1 + rng() % 255);
            break;
        }
        case 1:     // cut short
            s = ValidStream(rng, w, h, depth);
            s.resize(rng() % (s.size() + 1));
            break;
        default:    // noise
            s.resize(rng() % 4000);
            for (auto& b : s)
                b = (uint8_t)rng();
            break;
        }
        int32_t r = DecodeExact(s, px, w, h, depth);
        ASSERT_LE(r, (int32_t)s.size());
        ASSERT_GE(r, -1);
        (r < 0 ? damaged : decoded)++;
    }
    // Every kind of stream was seen both ways.
    EXPECT_GT(damaged, kRounds / 4);
    EXPECT_GT(decoded, 10);
}

TEST(TileDecoderFuzz, EveryPrefixOfAValidStreamIsRefused)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 20; ++round) {
        int w = 1 + (int)(rng() % 70), h = 1 + (int)(rng() % 70), depth = 1 + (int)(rng() % 16);
        std::vector<uint8_t> s = ValidStream(rng, w, h, depth);
        std::vector<uint16_t> px((size_t)w * h);
        for (size_t cut = 0; cut < s.size(); cut += 1 + cut / 16) {
            std::vector<uint8_t> part(s.begin(), s.begin() + cut);
            ASSERT_EQ(-1, DecodeExact(part, px, w, h, depth)) << w << "x" << h << " cut " << cut;
        }
        ASSERT_EQ((int32_t)s.size(), DecodeExact(s, px, w, h, depth));
    }
}

} // namespace
