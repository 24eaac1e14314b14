// The bands of a stream decoded on helper threads while it is read
// (BandDecode): the pixels of the whole stream whatever pieces the reads give,
// in fresh and kept blocks; a damaged or short stream is refused, a failed
// read passes through, and a block too small for three bands is left alone.
#include "images/pixels/banddecode.h"

#include "images/pixels/pixhelpers.h"
#include "images/pixels/pixmem.h"
#include "images/pixels/tilecodec.h"
#include "imagefiles_fixture.h"

#include <windows.h>

#include <string.h>

#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

const size_t kBlock = kPixelKeepSmallest;

struct Source
{
    const std::vector<uint8_t>* stream;
    size_t at = 0;
    size_t piece = BandDecode::kRead;   // the most one read gives
    size_t end = 0;                     // where the stream ends for the reader
    int calls = 0;
    int throwAt = -1;                   // the call that fails, or none

    static uint32_t Read(void* context, uint8_t* into, uint32_t most)
    {
        Source& s = *static_cast<Source*>(context);
        if (s.calls++ == s.throwAt)
            throw std::runtime_error("the read failed");
        size_t take = most < s.piece ? most : s.piece;
        if (take > s.end - s.at)
            take = s.end - s.at;
        memcpy(into, s.stream->data() + s.at, take);
        s.at += take;
        return (uint32_t)take;
    }
};

std::vector<uint8_t> Encode(const std::vector<uint16_t>& px, int width, int height, int depth)
{
    std::vector<uint8_t> stream(EncodeBufferBound(width, height) + 64);
    const int32_t size = EncodeRaster(px.data(), stream.data(), (int32_t)stream.size(), width, height, depth);
    EXPECT_GT(size, 0);
    stream.resize(size > 0 ? (size_t)size : 0);
    return stream;
}

// A raster that mixes flat stretches and tiles of every width up to `depth`.
std::vector<uint16_t> Mixed(int width, int height, int depth)
{
    std::vector<uint16_t> px = PatternRaster(width, height, depth);
    uint32_t s = 777;
    for (size_t i = 0; i < px.size(); ++i) {
        s = s * 1664525u + 1013904223u;
        const size_t stretch = (i / 5000) % 4;
        if (stretch == 0)
            px[i] = 300;
        else if (stretch == 1)
            px[i] = (uint16_t)((s >> 26) & ((1u << depth) - 1));
        else if (stretch == 2)
            px[i] = (uint16_t)((s >> 8) & ((1u << depth) - 1));
    }
    return px;
}

// Runs the bands into a raster, then the rest of the stream as the reader
// does; -1 when Run refused the stream.
int64_t DecodeAll(const std::vector<uint8_t>& stream, int width, int height, int depth, Source& source,
                  uint8_t* block, bool fresh, std::vector<uint16_t>& out)
{
    out.assign((size_t)width * height, 0xDEAD);
    TileStreamDecoder decoder(out.data(), width, height, depth);
    const int64_t carried = BandDecode::Run(decoder, out.data(), width, height, depth, block, kBlock, fresh,
                                            Source::Read, &source);
    if (carried < 0)
        return carried;
    std::vector<uint8_t> rest(block, block + carried);
    rest.insert(rest.end(), stream.begin() + source.at, stream.begin() + source.end);
    rest.resize(rest.size() + 16);
    const int32_t used = decoder.Feed(rest.data(), (int32_t)(rest.size() - 16), true);
    EXPECT_TRUE(decoder.Done());
    EXPECT_GE(used, 0);
    return carried;
}

struct Shape
{
    int width, height, depth;
};

TEST(BandDecode, BandsReadInAnyPiecesGiveTheWholeStreamsPixels)
{
    if (PixelHelperCount() == 0)
        return;     // one processor: the reader decodes the stream alone
    // 5000 wide: bands of 156 tiles, three slots of the block.
    const Shape shapes[] = {{2003, 1201, 14}, {1600, 1400, 16}, {5000, 430, 12}};
    for (const Shape& sh : shapes) {
        ASSERT_TRUE(BandDecode::Suits(sh.width, sh.height, sh.depth, kBlock));
        const std::vector<uint16_t> px = Mixed(sh.width, sh.height, sh.depth);
        const std::vector<uint8_t> stream = Encode(px, sh.width, sh.height, sh.depth);
        for (size_t piece : {(size_t)BandDecode::kRead, (size_t)4093, (size_t)100000}) {
            for (bool fresh : {true, false}) {
                SCOPED_TRACE(testing::Message() << sh.width << "x" << sh.height << " at " << sh.depth << ", reads of "
                                                << piece << (fresh ? ", fresh block" : ", kept block"));
                uint8_t* block = static_cast<uint8_t*>(
                    fresh ? VirtualAlloc(nullptr, kBlock, MEM_COMMIT, PAGE_READWRITE) : PixelAlloc(kBlock));
                ASSERT_TRUE(block);
                if (!fresh)
                    memset(block, 0x5A, kBlock);
                Source source;
                source.stream = &stream;
                source.piece = piece;
                source.end = stream.size();
                std::vector<uint16_t> out;
                EXPECT_GE(DecodeAll(stream, sh.width, sh.height, sh.depth, source, block, fresh, out), 0);
                EXPECT_TRUE(out == px);
                if (fresh)
                    VirtualFree(block, 0, MEM_RELEASE);
                else
                    PixelFree(block);
            }
        }
    }
}

TEST(BandDecode, DamagedOrShortStreamsAreRefused)
{
    if (PixelHelperCount() == 0)
        return;
    const Shape sh = {2003, 1201, 14};
    const std::vector<uint16_t> px = Mixed(sh.width, sh.height, sh.depth);
    const std::vector<uint8_t> stream = Encode(px, sh.width, sh.height, sh.depth);
    // The start of band 20, from the bands' sizes.
    size_t band20 = 0;
    for (int b = 0; b < 20; ++b)
        band20 += (size_t)TileBandSize(stream.data() + band20, stream.size() - band20, sh.width, sh.depth);
    std::vector<uint8_t> block(kBlock);
    std::vector<uint16_t> out;

    std::vector<uint8_t> damaged = stream;
    damaged[band20] = 255;
    Source source;
    source.stream = &damaged;
    source.end = damaged.size();
    EXPECT_EQ(-1, DecodeAll(damaged, sh.width, sh.height, sh.depth, source, block.data(), false, out));

    // Cut in the middle of band 20, and just before the end of the last band.
    size_t bandsEnd = band20;
    for (int b = 20; b < sh.height / 32; ++b)
        bandsEnd += (size_t)TileBandSize(stream.data() + bandsEnd, stream.size() - bandsEnd, sh.width, sh.depth);
    for (size_t end : {band20 + 1000, bandsEnd - 100}) {
        Source shortSource;
        shortSource.stream = &stream;
        shortSource.end = end < stream.size() ? end : stream.size();
        EXPECT_EQ(-1, DecodeAll(stream, sh.width, sh.height, sh.depth, shortSource, block.data(), false, out)) << end;
    }
}

// A read that throws in the middle of the bands passes through Run, whose
// helpers have stopped by then; the next stream decodes whole.
TEST(BandDecode, AFailedReadPassesThroughAndTheNextStreamDecodes)
{
    if (PixelHelperCount() == 0)
        return;
    const Shape sh = {2003, 1201, 14};
    const std::vector<uint16_t> px = Mixed(sh.width, sh.height, sh.depth);
    const std::vector<uint8_t> stream = Encode(px, sh.width, sh.height, sh.depth);
    std::vector<uint8_t> block(kBlock);
    for (int throwAt : {0, 1, 5, 20}) {
        Source source;
        source.stream = &stream;
        source.end = stream.size();
        source.throwAt = throwAt;
        std::vector<uint16_t> out;
        EXPECT_THROW(DecodeAll(stream, sh.width, sh.height, sh.depth, source, block.data(), false, out),
                     std::runtime_error)
            << throwAt;
    }
    Source source;
    source.stream = &stream;
    source.end = stream.size();
    std::vector<uint16_t> out;
    EXPECT_GE(DecodeAll(stream, sh.width, sh.height, sh.depth, source, block.data(), false, out), 0);
    EXPECT_TRUE(out == px);
}

// Small rasters, rasters without two bands, bands too wide for three slots of
// the block: decoded on one thread; Run reads nothing when asked anyway.
TEST(BandDecode, WhatDoesNotPayIsLeftToTheReader)
{
    EXPECT_FALSE(BandDecode::Suits(1000, 1000, 14, kBlock));     // 2 MB
    EXPECT_FALSE(BandDecode::Suits(40000, 60, 14, kBlock));      // bands of 1250 tiles
    EXPECT_FALSE(BandDecode::Suits(5500, 600, 14, kBlock));      // 171 tiles: two slots
    EXPECT_FALSE(BandDecode::Suits(70000, 31, 14, kBlock));      // no band
    EXPECT_FALSE(BandDecode::Suits(31, 70000, 14, kBlock));      // no full tile across
    EXPECT_EQ(PixelHelperCount() > 0, BandDecode::Suits(5400, 600, 14, kBlock));

    const std::vector<uint16_t> px = Mixed(5500, 40, 12);
    const std::vector<uint8_t> stream = Encode(px, 5500, 40, 12);
    std::vector<uint8_t> block(kBlock);
    Source source;
    source.stream = &stream;
    source.end = stream.size();
    std::vector<uint16_t> out((size_t)5500 * 40);
    TileStreamDecoder decoder(out.data(), 5500, 40, 12);
    EXPECT_EQ(0, BandDecode::Run(decoder, out.data(), 5500, 40, 12, block.data(), kBlock, false, Source::Read,
                                 &source));
    EXPECT_EQ(0, source.calls);
}

}  // namespace
