// The tile codec: streams worked out by hand from the format, tile order, the
// choice of form, round trips at every depth, and damaged input.
#include "images/pixels/tilecodec.h"

#include <stdint.h>

#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

typedef std::vector<uint8_t> Bytes;
typedef std::vector<uint16_t> Pixels;

Bytes Encode(const Pixels& px, int w, int h, int depth)
{
    Bytes out(EncodeBufferBound(w, h) + 64);
    int32_t n = EncodeRaster(px.data(), out.data(), (int32_t)out.size(), w, h, depth);
    EXPECT_GE(n, 0);
    out.resize(n < 0 ? 0 : n);
    return out;
}

Pixels Decode(const Bytes& in, int w, int h, int depth, int32_t* consumed = nullptr)
{
    Pixels px((size_t)w * h, 0xDEAD);
    int32_t n = DecodeRaster(px.data(), w, h, depth, in.data(), (int32_t)in.size());
    if (consumed)
        *consumed = n;
    else
        EXPECT_EQ((int32_t)in.size(), n);
    return px;
}

TEST(TileCodecStreams, TwoByTwoAtDepth16IsPackedWithTwoBits)
{
    Pixels px = {5, 6, 7, 8};
    EXPECT_EQ((Bytes{0x05, 0x05, 0x00, 0xE4}), Encode(px, 2, 2, 16));
    EXPECT_EQ(px, Decode(Bytes{0x05, 0x05, 0x00, 0xE4}, 2, 2, 16));
}

TEST(TileCodecStreams, SinglePixelIsFlat)
{
    EXPECT_EQ((Bytes{0x01, 0x34, 0x12}), Encode(Pixels{0x1234}, 1, 1, 16));
    EXPECT_EQ(Pixels{0x1234}, Decode(Bytes{0x01, 0x34, 0x12}, 1, 1, 16));
}

TEST(TileCodecStreams, RangeOfExactlyTheDepthIsRaw)
{
    EXPECT_EQ((Bytes{0x00, 0x0C}), Encode(Pixels{0, 3}, 2, 1, 2));
    EXPECT_EQ((Pixels{0, 3}), Decode(Bytes{0x00, 0x0C}, 2, 1, 2));
}

TEST(TileCodecStreams, FieldsCrossByteBoundariesLeastSignificantBitFirst)
{
    // Depth 8, values 100..105: the range 5 needs 3 bits, so b = 7, m = 100,
    // fields 0..5 at bits 0, 3, 6, 9, 12, 15:
    // byte0 = f0 | f1 << 3 | (f2 & 3) << 6           = 0x08 | 0x80        = 0x88
    // byte1 = f2 >> 2 | f3 << 1 | f4 << 4 | (f5 & 1) << 7 = 0x06 | 0x40 | 0x80 = 0xC6
    // byte2 = f5 >> 1 = 2 (18 bits in 3 bytes, the unused high bits 0)
    Pixels px = {100, 101, 102, 103, 104, 105};
    Bytes expect = {0x07, 100, 0x00, 0x88, 0xC6, 0x02};
    EXPECT_EQ(expect, Encode(px, 3, 2, 8));
    EXPECT_EQ(px, Decode(expect, 3, 2, 8));
}

TEST(TileCodecStreams, FullTileRowsFillWholeWords)
{
    // A 32 x 32 tile of x + 32 y at depth 10: the range 1023 needs 10 bits,
    // the depth, so the tile is raw: 1 + 1280 bytes, and every row of 32
    // fields is exactly 10 little-endian words.
    Pixels px(32 * 32);
    for (int i = 0; i < 32 * 32; ++i)
        px[i] = (uint16_t)i;
    Bytes s = Encode(px, 32, 32, 10);
    ASSERT_EQ(1u + 1280u, s.size());
    EXPECT_EQ(0, s[0]);
    // Field k sits at bits 10k..10k+9.
    for (int k : {0, 1, 3, 31, 32, 33, 500, 1023}) {
        uint32_t v = 0;
        for (int b = 0; b < 10; ++b) {
            int bit = 10 * k + b;
            v |= ((s[1 + bit / 8] >> (bit % 8)) & 1u) << b;
        }
        EXPECT_EQ((uint32_t)k, v) << "field " << k;
    }
    EXPECT_EQ(px, Decode(s, 32, 32, 10));
}

TEST(TileCodecStreams, SameTileAtDepth12IsPackedWithItsMinimum)
{
    Pixels px(32 * 32);
    for (int i = 0; i < 32 * 32; ++i)
        px[i] = (uint16_t)(0x300 + i);
    Bytes s = Encode(px, 32, 32, 12);
    ASSERT_EQ(3u + 1280u, s.size());
    EXPECT_EQ(21, s[0]);
    EXPECT_EQ(0x00, s[1]);
    EXPECT_EQ(0x03, s[2]);
    EXPECT_EQ(0x00, s[3]);  // field 0 = 0
    EXPECT_EQ(0x04, s[4]);  // field 1 = 1 at bit 10
    EXPECT_EQ(px, Decode(s, 32, 32, 12));
}

// Each region flat with its own value shows the tile order in the stream.
Pixels Regions(int w, int h, int tile, int right, int bottom, int corner)
{
    Pixels px((size_t)w * h);
    int fw = w - w % 32, fh = h - h % 32;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[(size_t)y * w + x] = (uint16_t)(x < fw ? (y < fh ? tile : bottom) : (y < fh ? right : corner));
    return px;
}

TEST(TileCodecOrder, ThirtyThreeSquareIsTileRightStripBottomStripCorner)
{
    Pixels px = Regions(33, 33, 7, 8, 9, 10);
    Bytes expect = {1, 7, 0, 1, 8, 0, 1, 9, 0, 1, 10, 0};
    EXPECT_EQ(expect, Encode(px, 33, 33, 8));
    EXPECT_EQ(px, Decode(expect, 33, 33, 8));
}

TEST(TileCodecOrder, NarrowRasterIsRightStripAndCorner)
{
    Pixels px = Regions(20, 50, 0, 0x111, 0, 0x222);
    Bytes expect = {1, 0x11, 0x01, 1, 0x22, 0x02};
    EXPECT_EQ(expect, Encode(px, 20, 50, 12));
    EXPECT_EQ(px, Decode(expect, 20, 50, 12));
}

TEST(TileCodecOrder, FullTilesRunByRowsFromTheLeft)
{
    // 64 x 64: four tiles, numbered in the order they must appear.
    Pixels px(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            px[y * 64 + x] = (uint16_t)(1 + (y / 32) * 2 + x / 32);
    Bytes expect = {1, 1, 0, 1, 2, 0, 1, 3, 0, 1, 4, 0};
    EXPECT_EQ(expect, Encode(px, 64, 64, 4));
}

TEST(TileCodecForm, FormFollowsTheWidthOfTheRange)
{
    // depth 8: a range needing 8 bits is raw, 7 or 9 bits packed.
    Pixels raw = {10, 10 + 200};
    EXPECT_EQ(0, Encode(raw, 2, 1, 8)[0]);
    Pixels fewer = {10, 10 + 100};
    EXPECT_EQ(2 * 7 + 1, Encode(fewer, 2, 1, 8)[0]);
    Pixels more = {10, 10 + 300};
    Bytes s = Encode(more, 2, 1, 8);
    EXPECT_EQ(2 * 9 + 1, s[0]);
    EXPECT_EQ(more, Decode(s, 2, 1, 8));
}

TEST(TileCodecForm, Depth16RawAtSixteenBitsPackedAtFifteen)
{
    EXPECT_EQ(0, Encode(Pixels{0, 0xFFFF}, 2, 1, 16)[0]);
    EXPECT_EQ(31, Encode(Pixels{0, 0x7FFF}, 2, 1, 16)[0]);
}

TEST(TileCodecForm, ValuesAboveTheDepthAreNeverLost)
{
    // Range 255 needs the depth's 8 bits, but the values do not fit 8 bits:
    // the packed form keeps the minimum.
    Pixels px = {1000, 1255, 1100, 1001};
    Bytes s = Encode(px, 2, 2, 8);
    EXPECT_EQ(2 * 8 + 1, s[0]);
    EXPECT_EQ(1000, s[1] | (s[2] << 8));
    EXPECT_EQ(px, Decode(s, 2, 2, 8));
}

TEST(TileCodecForm, FlatRasterIsThreeBytesPerTile)
{
    Pixels px(70 * 40, 0x0ABC);
    Bytes s = Encode(px, 70, 40, 12);
    // 2 full tiles, 1 right strip, 2 bottom strips, 1 corner.
    EXPECT_EQ(6u * 3, s.size());
}

TEST(TileCodecDecode, PartialLastByteIsConsumedExactly)
{
    // 3 x 1 of {0, 1, 0} at depth 8: n = 1, header 3 bytes, 3 bits in 1 byte.
    Bytes s = Encode(Pixels{0, 1, 0}, 3, 1, 8);
    ASSERT_EQ((Bytes{3, 0, 0, 0x02}), s);
    Bytes padded = s;
    padded.insert(padded.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    int32_t consumed = 0;
    EXPECT_EQ((Pixels{0, 1, 0}), Decode(padded, 3, 1, 8, &consumed));
    EXPECT_EQ(4, consumed);
}

TEST(TileCodecDecode, TruncatedStreamIsDamaged)
{
    Pixels px(40 * 40);
    std::mt19937 rng(7);
    for (auto& p : px)
        p = (uint16_t)(rng() & 0x3FF);
    Bytes s = Encode(px, 40, 40, 10);
    for (size_t cut = 0; cut < s.size(); ++cut) {
        Bytes part(s.begin(), s.begin() + cut);
        Pixels out(40 * 40);
        EXPECT_EQ(-1, DecodeRaster(out.data(), 40, 40, 10, part.data(), (int32_t)part.size())) << cut;
    }
}

TEST(TileCodecDecode, HeaderWiderThanSixteenBitsIsDamaged)
{
    Bytes s = {255, 0, 0};
    s.resize(300, 0);
    Pixels out(4);
    EXPECT_EQ(-1, DecodeRaster(out.data(), 2, 2, 16, s.data(), (int32_t)s.size()));
    s[0] = 2 * 17 + 1;
    EXPECT_EQ(-1, DecodeRaster(out.data(), 2, 2, 16, s.data(), (int32_t)s.size()));
}

TEST(TileCodecDecode, BadArgumentsAreRefused)
{
    Bytes s = {1, 0, 0};
    Pixels out(4);
    EXPECT_EQ(-1, DecodeRaster(out.data(), 0, 2, 16, s.data(), 3));
    EXPECT_EQ(-1, DecodeRaster(out.data(), 2, 2, 0, s.data(), 3));
    EXPECT_EQ(-1, DecodeRaster(out.data(), 2, 2, 17, s.data(), 3));
    EXPECT_EQ(-1, EncodeRaster(out.data(), s.data(), 3, 2, 2, 17));
}

TEST(TileCodecEncode, FullOutputIsReportedWithoutWritingPastTheEnd)
{
    Pixels px(64 * 64);
    std::mt19937 rng(3);
    for (auto& p : px)
        p = (uint16_t)rng();
    int32_t need = (int32_t)Encode(px, 64, 64, 16).size();
    for (int32_t cap : {0, 1, 2, 3, need / 2, need - 1}) {
        Bytes out(cap + 16, 0xA5);
        EXPECT_EQ(-1, EncodeRaster(px.data(), out.data(), cap, 64, 64, 16)) << cap;
        for (int32_t i = cap; i < cap + 16; ++i)
            ASSERT_EQ(0xA5, out[i]) << "byte " << i << " past a capacity of " << cap;
    }
    Bytes exact(need);
    EXPECT_EQ(need, EncodeRaster(px.data(), exact.data(), need, 64, 64, 16));
}

TEST(TileCodecEncode, BufferBoundCountsThreeHeaderBytesPerFullTile)
{
    EXPECT_EQ(3000u * 2 * 3000 + 93u * 93 * 3, EncodeBufferBound(3000, 3000));
    EXPECT_EQ(20u * 2 * 50, EncodeBufferBound(20, 50));
}

// Round trips: every depth, every size; tiles with ranges of every width.
class TileCodecRoundTrip : public testing::TestWithParam<int> {};

Pixels Radiograph(int w, int h, int depth, unsigned seed)
{
    std::mt19937 rng(seed);
    Pixels px((size_t)w * h);
    const uint32_t top = (1u << depth) - 1;
    for (int ty = 0; ty < h; ty += 32) {
        for (int tx = 0; tx < w; tx += 32) {
            int bits = (int)(rng() % (depth + 1));   // 0: flat
            uint32_t range = bits ? (1u << bits) - 1 : 0;
            uint32_t base = (uint32_t)(rng() % (top - range + 1));
            for (int y = ty; y < ty + 32 && y < h; ++y)
                for (int x = tx; x < tx + 32 && x < w; ++x)
                    px[(size_t)y * w + x] = (uint16_t)(base + (range ? rng() % (range + 1) : 0));
        }
    }
    return px;
}

TEST_P(TileCodecRoundTrip, EverySizeComesBackUnchanged)
{
    const int depth = GetParam();
    const int sizes[][2] = {{1, 1}, {31, 33}, {33, 33}, {20, 50}, {3000, 3000}, {65, 97}};
    for (auto& sz : sizes) {
        int w = sz[0], h = sz[1];
        Pixels px = Radiograph(w, h, depth, 1000u * depth + w);
        Bytes s = Encode(px, w, h, depth);
        ASSERT_FALSE(s.empty());
        ASSERT_EQ(px, Decode(s, w, h, depth)) << w << "x" << h;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, TileCodecRoundTrip, testing::Range(1, 17));

// A full tile read field by field from the stream, the format's own words:
// field k of the tile at stream bits n k .. n k + n - 1, least significant
// bit first, plus the base modulo 2^16.
Pixels ReadFieldsPlainly(const uint8_t* fields, int n, uint32_t base)
{
    Pixels px(32 * 32);
    for (int k = 0; k < 32 * 32; ++k) {
        uint32_t v = 0;
        for (int b = 0; b < n; ++b) {
            const int bit = n * k + b;
            v |= ((fields[bit / 8] >> (bit % 8)) & 1u) << b;
        }
        px[(size_t)k] = (uint16_t)(v + base);
    }
    return px;
}

TEST(TileCodecTiles, FullTilesDecodeEveryWidthWithAndWithoutStreamBehindThem)
{
    // Random fields at every width, bases that make the sum wrap past 65535,
    // a tile in the middle of a wider raster; decoded once with plenty of
    // stream behind the tile and once with none (the last tile of a file).
    std::mt19937 rng(77);
    for (int n = 1; n <= 16; ++n) {
        for (uint32_t base : {0u, 1u, 0x7FFFu, 0xFFFFu, (uint32_t)(rng() & 0xFFFF)}) {
            const size_t fieldBytes = (size_t)128 * n;
            Bytes tile(3 + fieldBytes + 64);
            tile[0] = (uint8_t)(2 * n + 1);
            tile[1] = (uint8_t)base;
            tile[2] = (uint8_t)(base >> 8);
            for (size_t i = 3; i < tile.size(); ++i)
                tile[i] = (uint8_t)rng();
            const Pixels want = ReadFieldsPlainly(tile.data() + 3, n, base);
            for (size_t behind : {(size_t)64, (size_t)0, (size_t)11, (size_t)12}) {
                const int stride = 45;
                Pixels out((size_t)stride * 34, 0xBEEF);
                uint16_t* first = &out[(size_t)stride + 7];
                // The tile alone in a buffer of its exact size plus `behind`.
                Bytes in(tile.begin(), tile.begin() + (long)(3 + fieldBytes + behind));
                ASSERT_EQ((int)(3 + fieldBytes), DecodeTile(in.data(), in.size(), first, stride, 16))
                    << "width " << n << ", " << behind << " bytes behind";
                for (int y = 0; y < 34; ++y)
                    for (int x = 0; x < stride; ++x) {
                        const bool inside = y >= 1 && y < 33 && x >= 7 && x < 39;
                        const uint16_t expect = inside ? want[(size_t)(y - 1) * 32 + (x - 7)] : 0xBEEF;
                        ASSERT_EQ(expect, out[(size_t)y * stride + x])
                            << "width " << n << ", base " << base << ", " << behind << " bytes behind, pixel (" << x
                            << ", " << y << ")";
                    }
            }
        }
    }
}

TEST(TileCodecTiles, EdgeTileFunctionsMatchTheRaster)
{
    Pixels px = Radiograph(45, 40, 11, 5);
    uint8_t buf[4096];
    int a = EncodeTilePart(&px[32], buf, sizeof buf, 45, 11, 13, 32);
    ASSERT_GT(a, 0);
    Pixels out(45 * 40, 0);
    EXPECT_EQ(a, DecodeTilePart(buf, (size_t)a, &out[32], 45, 11, 13, 32));
    for (int y = 0; y < 32; ++y)
        for (int x = 32; x < 45; ++x)
            ASSERT_EQ(px[y * 45 + x], out[y * 45 + x]);
    int b = EncodeTile(px.data(), buf, sizeof buf, 45, 11);
    ASSERT_GT(b, 0);
    EXPECT_EQ(-1, DecodeTile(buf, (size_t)b - 1, out.data(), 45, 11));
    EXPECT_EQ(b, DecodeTile(buf, (size_t)b, out.data(), 45, 11));
}

} // namespace
