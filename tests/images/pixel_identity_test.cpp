// The faster paths of the pixel code keep their outputs: on the two pictures
// the benchmarks measure (a radiograph and 16-bit white noise), the tile
// stream, a file's pixel block, and the reductions by 2 and by 3 (the
// kernels and the picture's own operation) are the bytes they were before
// the paths were made faster, pinned by their length and a hash.
#include "images/pixels/picturebase.h"
#include "images/pixels/rasterkernels.h"
#include "images/pixels/tilecodec.h"

#include <stdint.h>
#include <string.h>

#include <vector>

#include <gtest/gtest.h>

namespace {

// Sides that are not multiples of 32 (nor of 2 or 3): every kind of edge tile
// and the reductions' remainders are in the figures.
const int kWidth = 1003;
const int kHeight = 701;

uint64_t Fnv1a(const void* data, size_t bytes)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < bytes; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

uint32_t XorShift(uint32_t& s)
{
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

// Integer arithmetic only, so that every compiler makes the same picture: a
// flat collimated border, a smooth body with a bright band and stripes, and
// quantum noise, at 14 bits.
std::vector<uint16_t> Radiograph()
{
    std::vector<uint16_t> px((size_t)kWidth * kHeight);
    uint32_t s = 2463534242u;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int v = 300;
            if (x >= 40 && y >= 40 && x < kWidth - 40 && y < kHeight - 40) {
                const int dx = x - kWidth / 2, dy = y - kHeight / 2;
                v = 6000 - (dx * dx) / 90 - (dy * dy) / 60 + ((y / 23) & 1) * 400;
                v += (dx > -60 && dx < 60) ? 2500 : 0;
                v += (int)(XorShift(s) % 129) - 64;
                v = v < 0 ? 0 : v > 16383 ? 16383 : v;
            }
            px[(size_t)y * kWidth + x] = (uint16_t)v;
        }
    return px;
}

std::vector<uint16_t> Noise(uint32_t lowest)
{
    std::vector<uint16_t> px((size_t)kWidth * kHeight);
    uint32_t s = 88172645u;
    for (uint16_t& p : px)
        p = (uint16_t)(lowest + XorShift(s) % (65536 - lowest));
    return px;
}

struct Picture
{
    const char* name;
    std::vector<uint16_t> pixels;
    int depth;
};

std::vector<Picture> Pictures()
{
    // 16-bit noise at depth 16 is stored raw; from 1 up at depth 15 it needs
    // all 16 bits with its minimum: the packed form at the full width.
    return {{"radiograph", Radiograph(), 14}, {"noise", Noise(0), 16}, {"noise from 1 at depth 15", Noise(1), 15}};
}

struct Expected
{
    int32_t streamBytes;
    uint64_t stream, reduce2, reduce3;
};

const Expected kToday[] = {
    {808256, 0xb8c4b2eab33bf6aeull, 0xddec549735a5ea28ull, 0xd977f1b0e244e935ull},
    {1406910, 0x85e00a97360ce56bull, 0xa9b871c302179644ull, 0xe48f99f12eccd65aull},
    {1408318, 0x76d2a5669e9c1457ull, 0xc11ec9963c02df7cull, 0xb29b474374698fceull},
};

TEST(PixelIdentity, StreamsAndReductionsAreTheBytesTheyWere)
{
    const std::vector<Picture> pictures = Pictures();
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        SCOPED_TRACE(p.name);
        // Room beyond the writer's bound: the packed form at 16 bits outgrows it.
        std::vector<uint8_t> stream(EncodeBufferBound(kWidth, kHeight) + 4096);
        const int32_t size = EncodeRaster(p.pixels.data(), stream.data(), (int32_t)stream.size(), kWidth, kHeight,
                                          p.depth);
        ASSERT_GT(size, 0);
        std::vector<uint16_t> decoded((size_t)kWidth * kHeight, 0xDEAD);
        EXPECT_EQ(size, DecodeRaster(decoded.data(), kWidth, kHeight, p.depth, stream.data(), size));
        EXPECT_TRUE(decoded == p.pixels);

        // The kernels, and the picture's reduction as the viewer runs it
        // (Reduce, then the work raster made by ApplySharpen).
        std::vector<uint16_t> by2((size_t)(kWidth / 2) * (kHeight / 2)), by3((size_t)(kWidth / 3) * (kHeight / 3));
        ReduceBoxAverage(by2.data(), p.pixels.data(), kWidth, kHeight, kWidth / 2, kHeight / 2, 2);
        ReduceBoxAverage(by3.data(), p.pixels.data(), kWidth, kHeight, kWidth / 3, kHeight / 3, 3);
        DPictureBase picture(kWidth, kHeight);
        ASSERT_TRUE(picture.source != nullptr);
        memcpy(picture.source, p.pixels.data(), p.pixels.size() * 2);
        for (const std::vector<uint16_t>* reduced : {&by2, &by3}) {
            picture.Reduce(reduced == &by2 ? 2 : 3);
            ASSERT_EQ(1, picture.ApplySharpen());
            ASSERT_EQ(reduced->size(), (size_t)picture.width * picture.height);
            EXPECT_EQ(0, memcmp(picture.source, reduced->data(), reduced->size() * 2));
            EXPECT_EQ(0, memcmp(picture.work, reduced->data(), reduced->size() * 2));
        }

        const Expected got = {size, Fnv1a(stream.data(), (size_t)size), Fnv1a(by2.data(), by2.size() * 2),
                              Fnv1a(by3.data(), by3.size() * 2)};
        EXPECT_EQ(kToday[i].streamBytes, got.streamBytes);
        EXPECT_EQ(kToday[i].stream, got.stream);
        EXPECT_EQ(kToday[i].reduce2, got.reduce2);
        EXPECT_EQ(kToday[i].reduce3, got.reduce3);
    }
}

}  // namespace
