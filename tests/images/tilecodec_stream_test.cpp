// The tile stream given piece by piece (TileStreamDecoder), as the image file
// reader hands it in: every split of the stream decodes to the pixels that
// DecodeRaster gives, and a stream cut short or damaged is refused.
#include "images/pixels/tilecodec.h"

#include <stdint.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Case
{
    int width, height, depth;
};

std::vector<uint16_t> Picture(const Case& c)
{
    std::vector<uint16_t> px((size_t)c.width * c.height);
    uint32_t s = 12345u + (uint32_t)c.width;
    const uint32_t top = 1u << c.depth;
    for (size_t i = 0; i < px.size(); ++i) {
        s = s * 1664525u + 1013904223u;
        // Flat stretches, narrow ranges and full ones: every form of tile.
        const uint32_t band = (uint32_t)(i / 700) % 3;
        px[i] = (uint16_t)(band == 0 ? 7 % top : band == 1 ? (s >> 28) % top : (s >> 8) % top);
    }
    return px;
}

// Feeds the stream `piece` bytes at a time, keeping what a feed did not take.
bool DecodePieces(const std::vector<uint8_t>& stream, const Case& c, size_t piece, std::vector<uint16_t>& out,
                  TileRowGate* gate = nullptr)
{
    out.assign((size_t)c.width * c.height, 0xDEAD);
    TileStreamDecoder decoder(out.data(), c.width, c.height, c.depth, gate);
    std::vector<uint8_t> held;
    size_t next = 0;
    while (!decoder.Done()) {
        const size_t take = std::min(piece, stream.size() - next);
        held.insert(held.end(), stream.begin() + next, stream.begin() + next + take);
        next += take;
        held.resize(held.size() + 16);   // the reader's spare bytes
        const int32_t used = decoder.Feed(held.data(), (int32_t)(held.size() - 16), next == stream.size());
        held.resize(held.size() - 16);
        if (used < 0)
            return false;
        held.erase(held.begin(), held.begin() + used);
    }
    return true;
}

// The picture's stream, or nothing when the encoder refused it.
std::vector<uint8_t> Encoded(const std::vector<uint16_t>& px, const Case& c)
{
    std::vector<uint8_t> stream(EncodeBufferBound(c.width, c.height) + 4096);
    const int32_t size = EncodeRaster(px.data(), stream.data(), (int32_t)stream.size(), c.width, c.height, c.depth);
    stream.resize(size > 0 ? (size_t)size : 0);
    return stream;
}

// The decoder tells its gate how far down it will write before it writes
// there: at every call the rows from the count told before on still hold
// the sentinel, and the counts grow.
class SentinelGate : public TileRowGate
{
public:
    SentinelGate(const std::vector<uint16_t>& raster, int width) : raster(raster), width(width) {}
    void Reach(int rows) override
    {
        EXPECT_GT(rows, told);
        for (size_t i = (size_t)told * width; i < raster.size(); ++i)
            if (raster[i] != 0xDEAD) {
                ADD_FAILURE() << "row " << i / width << " written before the gate was told of it";
                break;
            }
        told = rows;
    }
    int told = 0;

private:
    const std::vector<uint16_t>& raster;
    int width;
};

TEST(TileStream, EverySplitDecodesAsTheWholeStream)
{
    const Case cases[] = {{1, 1, 16}, {20, 50, 8}, {33, 33, 12}, {64, 64, 14}, {100, 31, 16}, {97, 130, 15},
                          {31, 200, 3}, {256, 96, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.depth);
        const std::vector<uint16_t> px = Picture(c);
        const std::vector<uint8_t> stream = Encoded(px, c);
        ASSERT_FALSE(stream.empty());
        for (size_t piece : {(size_t)1, (size_t)7, (size_t)2051, (size_t)4096, stream.size()}) {
            std::vector<uint16_t> out((size_t)c.width * c.height);
            SentinelGate gate(out, c.width);
            ASSERT_TRUE(DecodePieces(stream, c, piece, out, &gate)) << piece;
            EXPECT_TRUE(out == px) << piece;
            EXPECT_EQ(c.height, gate.told) << piece;
        }
        // Cut short by one byte, or damaged in its first header: refused.
        std::vector<uint16_t> out;
        EXPECT_FALSE(DecodePieces(std::vector<uint8_t>(stream.begin(), stream.end() - 1), c, 4096, out));
        std::vector<uint8_t> damaged = stream;
        damaged[0] = 255;
        EXPECT_FALSE(DecodePieces(damaged, c, 4096, out));
    }
}

// Bands decoded on their own, in any order, then the rest of the stream from
// a decoder that skipped them: the pixels of the whole stream. Each band's
// size comes from its headers alone, and no fewer bytes than it give one.
TEST(TileStream, BandsDecodedOnTheirOwnGiveTheWholeStreamsPixels)
{
    const Case cases[] = {{32, 32, 16}, {33, 70, 12}, {64, 64, 14}, {97, 130, 15}, {256, 96, 16}, {100, 65, 1},
                          {130, 200, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.depth);
        const std::vector<uint16_t> px = Picture(c);
        const std::vector<uint8_t> stream = Encoded(px, c);
        ASSERT_FALSE(stream.empty());
        const int bands = c.height / 32;
        std::vector<size_t> starts;
        size_t at = 0;
        for (int b = 0; b < bands; ++b) {
            starts.push_back(at);
            const int64_t size = TileBandSize(stream.data() + at, stream.size() - at, c.width, c.depth);
            ASSERT_GT(size, 0) << "band " << b;
            for (size_t shorter : {(size_t)0, (size_t)1, (size_t)size / 2, (size_t)size - 1})
                ASSERT_EQ(0, TileBandSize(stream.data() + at, shorter, c.width, c.depth)) << b << ": " << shorter;
            at += (size_t)size;
        }
        starts.push_back(at);
        std::vector<uint16_t> out((size_t)c.width * c.height, 0xDEAD);
        for (int b = bands - 1; b >= 0; --b) {
            // The band alone in a buffer of its own size (its last tile read
            // without slack), or with the slack behind it.
            for (size_t slack : {(size_t)0, kTileBandSlack}) {
                std::vector<uint8_t> alone(stream.begin() + starts[b], stream.begin() + starts[b + 1]);
                alone.resize(alone.size() + slack, 0xEE);
                ASSERT_EQ((int32_t)(starts[b + 1] - starts[b]),
                          DecodeTileBand(alone.data(), alone.size(), out.data(), c.width, c.height, c.depth, b))
                    << b;
            }
        }
        TileStreamDecoder rest(out.data(), c.width, c.height, c.depth);
        EXPECT_FALSE(rest.SkipBands(bands + 1));
        ASSERT_TRUE(rest.SkipBands(bands));
        std::vector<uint8_t> tail(stream.begin() + at, stream.end());
        tail.resize(tail.size() + 16);
        EXPECT_EQ((int32_t)(stream.size() - at), rest.Feed(tail.data(), (int32_t)(stream.size() - at), true));
        EXPECT_TRUE(rest.Done());
        EXPECT_TRUE(out == px);
        // A damaged header in a band's last tile; no band in a raster without
        // full tiles across, none past the full rows.
        std::vector<uint8_t> damaged(stream.begin(), stream.begin() + starts[1]);
        size_t last = 0;
        for (size_t t = 0; t + 1 < (size_t)(c.width / 32); ++t) {
            const uint8_t h = damaged[last];
            last += h == 1 ? 3 : h == 0 ? 1 + (32 * 32 * c.depth + 7) / 8 : 3 + (32 * 32 * (h >> 1) + 7) / 8;
        }
        damaged[last] = 255;
        EXPECT_EQ(-1, TileBandSize(damaged.data(), damaged.size(), c.width, c.depth));
        EXPECT_EQ(-1, DecodeTileBand(damaged.data(), damaged.size(), out.data(), c.width, c.height, c.depth, 0));
        EXPECT_EQ(-1, TileBandSize(stream.data(), stream.size(), 31, c.depth));
        EXPECT_EQ(-1, DecodeTileBand(stream.data(), stream.size(), out.data(), c.width, c.height, c.depth, bands));
    }
}

// Skipping is for the start of a band only.
TEST(TileStream, BandsAreSkippedOnlyFromTheStartOfOne)
{
    const Case c = {70, 70, 10};
    const std::vector<uint16_t> px = Picture(c);
    const std::vector<uint8_t> stream = Encoded(px, c);
    std::vector<uint16_t> out((size_t)c.width * c.height);
    TileStreamDecoder decoder(out.data(), c.width, c.height, c.depth);
    const int64_t firstTile = TileBandSize(stream.data(), stream.size(), 32, c.depth);
    ASSERT_GT(firstTile, 0);
    ASSERT_EQ(firstTile, decoder.Feed(stream.data(), (int32_t)firstTile, false));
    EXPECT_FALSE(decoder.SkipBands(1));     // in the middle of band 0
    TileStreamDecoder fresh(out.data(), c.width, c.height, c.depth);
    EXPECT_TRUE(fresh.SkipBands(0));
    EXPECT_TRUE(fresh.SkipBands(2));
    EXPECT_FALSE(fresh.SkipBands(1));       // past the full tiles: the strips come next
}

}  // namespace
