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

// Bands decoded on their own, last first, then the rest of the stream from a
// decoder that skipped them: the pixels of the whole stream. A band's size
// comes from its headers alone, and no fewer bytes give one; bands are
// skipped only from the start of one and within the full tiles.
TEST(TileStream, BandsDecodedOnTheirOwnGiveTheWholeStreamsPixels)
{
    const Case cases[] = {{32, 32, 16}, {33, 70, 12}, {97, 130, 15}, {256, 96, 16}, {100, 65, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.depth);
        const std::vector<uint16_t> px = Picture(c);
        const std::vector<uint8_t> stream = Encoded(px, c);
        const int bands = c.height / 32;
        std::vector<size_t> starts = {0};
        for (int b = 0; b < bands; ++b) {
            const int64_t size = TileBandSize(&stream[starts[b]], stream.size() - starts[b], c.width, c.depth);
            ASSERT_GT(size, 0);
            EXPECT_EQ(0, TileBandSize(&stream[starts[b]], (size_t)size - 1, c.width, c.depth));
            starts.push_back(starts[b] + (size_t)size);
        }
        std::vector<uint16_t> out(px.size(), 0xDEAD);
        for (int b = bands - 1; b >= 0; --b) {
            // In a buffer of its own size, and with the slack behind it.
            for (size_t slack : {(size_t)0, kTileBandSlack}) {
                std::vector<uint8_t> alone(stream.begin() + starts[b], stream.begin() + starts[b + 1]);
                alone.resize(alone.size() + slack);
                EXPECT_EQ((int32_t)(starts[b + 1] - starts[b]),
                          DecodeTileBand(alone.data(), alone.size(), out.data(), c.width, c.height, c.depth, b));
            }
        }
        TileStreamDecoder rest(out.data(), c.width, c.height, c.depth), mid(out.data(), c.width, c.height, c.depth);
        EXPECT_FALSE(rest.SkipBands(bands + 1));
        ASSERT_TRUE(rest.SkipBands(bands));
        std::vector<uint8_t> tail(stream.begin() + starts[bands], stream.end());
        tail.resize(tail.size() + 16);
        EXPECT_EQ((int32_t)tail.size() - 16, rest.Feed(tail.data(), (int32_t)tail.size() - 16, true));
        EXPECT_TRUE(rest.Done() && out == px);
        const int32_t tile = (int32_t)TileBandSize(stream.data(), stream.size(), 32, c.depth);
        EXPECT_TRUE(c.width < 64 || (mid.Feed(stream.data(), tile, false) == tile && !mid.SkipBands(1)));
        // A damaged header, a band past the full rows, a raster without full tiles across.
        std::vector<uint8_t> damaged(stream);
        damaged[0] = 255;
        EXPECT_EQ(-1, TileBandSize(damaged.data(), damaged.size(), c.width, c.depth));
        EXPECT_EQ(-1, DecodeTileBand(damaged.data(), damaged.size(), out.data(), c.width, c.height, c.depth, 0));
        EXPECT_EQ(-1, DecodeTileBand(stream.data(), stream.size(), out.data(), c.width, c.height, c.depth, bands));
        EXPECT_EQ(-1, TileBandSize(stream.data(), stream.size(), 31, c.depth));
    }
}

}  // namespace
