// The bands of a stream decoded on helper threads while it is read
// (BandDecode), run as the image file reader runs it: the bands, then the rest
// of the stream, give the whole frame's pixels whatever pieces the reads give;
// a damaged or short stream is refused, a failed read passes through, and
// rasters for which it does not pay are left to the reader.
#include "images/pixels/banddecode.h"

#include "images/pixels/pixhelpers.h"
#include "images/pixels/pixmem.h"
#include "imagefiles_fixture.h"

#include <windows.h>

#include <string.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace {

const size_t kBlock = kPixelKeepSmallest;

// The stream as the reader's file gives it: at most `piece` bytes a read,
// none past `end`; read number `throwAt` fails.
struct Source
{
    const uint8_t* stream;
    size_t piece, end;
    int throwAt;
    size_t at = 0;
    int calls = 0;

    static uint32_t Read(void* context, uint8_t* into, uint32_t most)
    {
        Source& s = *static_cast<Source*>(context);
        if (s.calls++ == s.throwAt)
            throw std::runtime_error("the read failed");
        const size_t take = std::min({(size_t)most, s.piece, s.end - s.at});
        memcpy(into, s.stream + s.at, take);
        s.at += take;
        return (uint32_t)take;
    }
};

enum Fault { kWhole, kDamaged, kCut, kThrown };

TEST(BandDecode, TheBandsAndTheRestGiveTheWholeFrameOrTheStreamIsRefused)
{
    // banded: the reader decodes it in bands where the process has helpers; fresh: the block's pages are new;
    // at: the band damaged, or cut 100 bytes before its end, or the read that throws.
    const struct { int width, height, depth; bool banded; size_t piece; bool fresh; Fault fault; int at; } rows[] = {
        {2003, 1201, 14, true, BandDecode::kRead, true, kWhole, 0},
        {2003, 1201, 14, true, 4093, false, kDamaged, 20},
        {2003, 1201, 14, true, 4093, true, kCut, 36},           // the last band
        {2003, 1201, 14, true, 100000, true, kThrown, 5},
        {2003, 1201, 14, true, 4093, false, kWhole, 0},
        {1600, 1400, 16, true, 100000, false, kWhole, 0},
        {5400, 600, 12, true, 4093, true, kWhole, 0},           // three slots of the block
        {5500, 600, 12, false}, {1000, 1000, 14, false},        // two slots; 2 MB
        {70000, 31, 14, false}, {31, 70000, 14, false},         // no band; no full tile across
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &r - rows);
        EXPECT_EQ(r.banded && PixelHelperCount() > 0, BandDecode::Suits(r.width, r.height, r.depth, kBlock));
        if (!r.banded)
            continue;
        const std::vector<uint16_t> px = imgtest::PatternRaster(r.width, r.height, r.depth);
        std::vector<uint8_t> stream(EncodeBufferBound(r.width, r.height) + 64);
        stream.resize(EncodeRaster(px.data(), stream.data(), (int32_t)stream.size(), r.width, r.height, r.depth));
        size_t band = 0, next = 0;
        for (int b = 0; b <= r.at; ++b) {
            band = next;
            next += (size_t)TileBandSize(&stream[band], stream.size() - band, r.width, r.depth);
        }
        Source source = {stream.data(), r.piece, r.fault == kCut ? next - 100 : stream.size(),
                         r.fault == kThrown ? r.at : -1};
        stream[band] = r.fault == kDamaged ? 255 : stream[band];
        uint8_t* block = static_cast<uint8_t*>(VirtualAlloc(nullptr, kBlock, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        ASSERT_TRUE(block);
        memset(block, 0x5A, r.fresh ? 0 : kBlock);
        std::vector<uint16_t> out(px.size(), 0xDEAD);
        TileStreamDecoder decoder(out.data(), r.width, r.height, r.depth);
        int64_t carried = -2;   // thrown
        try {
            carried = BandDecode::Run(decoder, out.data(), r.width, r.height, r.depth, block, kBlock, r.fresh,
                                      Source::Read, &source);
        } catch (const std::runtime_error&) {
        }
        std::vector<uint8_t> rest(block, block + (carried > 0 ? carried : 0));
        VirtualFree(block, 0, MEM_RELEASE);
        if (r.fault != kWhole) {
            EXPECT_EQ(r.fault == kThrown ? -2 : -1, carried);
            continue;
        }
        rest.insert(rest.end(), stream.begin() + source.at, stream.end());
        rest.resize(rest.size() + 16);
        EXPECT_EQ((int32_t)rest.size() - 16, decoder.Feed(rest.data(), (int32_t)rest.size() - 16, true));
        EXPECT_TRUE(decoder.Done() && out == px);
    }
}

}  // namespace
