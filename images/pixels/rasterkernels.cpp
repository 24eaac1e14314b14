#include "images/pixels/rasterkernels.h"

#include "images/pixels/pixmem.h"

#include <math.h>
#include <string.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// A copy kernel whose destination is at least this large writes it with
// streaming stores (past the caches, without reading the destination lines
// first), as a large memcpy does; a smaller one stays in the cache for
// whatever reads it next.
const size_t kStreamBytes = (size_t)2 << 20;

inline bool Streams(int W, int H)
{
    return (size_t)W * (size_t)H * 2 >= kStreamBytes;
}

inline uint16_t Clamp16(int v)
{
    return (uint16_t)(v < 0 ? 0 : v > 65535 ? 65535 : v);
}

#ifdef __SSE2__

inline __m128i Load128(const void* p)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

inline void Store128(void* p, __m128i v)
{
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// Eight values 0 .. 65535 in two 32-bit vectors to eight 16-bit ones.
inline __m128i PackUnsigned(__m128i lo, __m128i hi)
{
    lo = _mm_srai_epi32(_mm_slli_epi32(lo, 16), 16);
    hi = _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16);
    return _mm_packs_epi32(lo, hi);
}

// A pass that reads rows from left to right asks for the line this far ahead
// of the one it reads: the hardware prefetcher alone leaves such a pass at
// about half of what a memcpy reads in the same time.
const int kAheadBytes = 1024;

inline void PrefetchAhead(const void* p)
{
    _mm_prefetch(static_cast<const char*>(p) + kAheadBytes, _MM_HINT_T0);
}

// Eight pixels in reverse order.
inline __m128i Reverse8(__m128i v)
{
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    return _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
}

// Transposes the 8 x 8 block of pixels whose rows are r[0..7]: afterwards
// r[k] holds column k, lane j coming from row j.
inline void Transpose8x8(__m128i r[8])
{
    const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

#endif

// Source (x, y) -> destination row (flipX ? W-1-x : x), column (flipY ? H-1-y : y)
// of a destination H pixels wide, for the block x0..x1, y0..y1 whose pixel
// (x0, y0) is blk[0], its rows `stride` pixels apart.
template <bool FlipX, bool FlipY>
void TransposeBlock(const uint16_t* __restrict blk, int stride, uint16_t* __restrict dst, int W, int H, int x0,
                    int x1, int y0, int y1)
{
    for (int x = x0; x < x1; ++x) {
        uint16_t* __restrict row = dst + (size_t)(FlipX ? W - 1 - x : x) * H;
        const uint16_t* __restrict s = blk + (x - x0);
        if (FlipY) {
            for (int y = y0; y < y1; ++y)
                row[H - 1 - y] = s[(size_t)(y - y0) * stride];
        } else {
            for (int y = y0; y < y1; ++y)
                row[y] = s[(size_t)(y - y0) * stride];
        }
    }
}

#ifdef __SSE2__

// Rows per band of the transposing kernels, and how far ahead of the rows
// it reads a walk down a band asks for the source lines.
const int kBand = 512;
const int kAheadRows = 64;

// The transposing kernels with SSE2: the source is read in bands of 512
// rows, and each band in strips eight columns wide, walked down eight rows
// at a time: each 8 x 8 block is transposed in registers and gives eight
// destination rows 16 bytes each, so that a strip writes eight destination
// rows one after the other along their length, as few streams as the
// write-combining buffers hold, and streams them past the caches when the
// raster is large and the rows fall on 16-byte boundaries. The source lines
// a strip reads (the band's rows, 64 pixels of each) stay in the cache for
// the three strips that read the rest of them; the walk asks for the lines
// 64 rows ahead, which no prefetcher follows across so many rows. The
// columns and rows that do not fill a block take the plain loop.
template <bool FlipX, bool FlipY, bool Stream>
void TransposeBands(const uint16_t* src, uint16_t* dst, int W, int H)
{
    const int W8 = W & ~7, H8 = H & ~7;
    for (int y0 = 0; y0 < H8; y0 += kBand) {
        const int y1 = y0 + kBand < H8 ? y0 + kBand : H8;
        for (int x = 0; x < W8; x += 8) {
            uint16_t* rows[8];
            for (int k = 0; k < 8; ++k)
                rows[k] = dst + (size_t)(FlipX ? W - 1 - x - k : x + k) * H;
            for (int y = y0; y < y1; y += 8) {
                if (y + kAheadRows + 8 <= H)
                    for (int k = 0; k < 8; ++k)
                        _mm_prefetch(reinterpret_cast<const char*>(src + (size_t)(y + kAheadRows + k) * W + x),
                                     _MM_HINT_T0);
                __m128i r[8];
                for (int k = 0; k < 8; ++k)
                    r[k] = Load128(src + (size_t)(y + (FlipY ? 7 - k : k)) * W + x);
                Transpose8x8(r);
                const int column = FlipY ? H - 8 - y : y;
                for (int k = 0; k < 8; ++k) {
                    if (Stream)
                        _mm_stream_si128(reinterpret_cast<__m128i*>(rows[k] + column), r[k]);
                    else
                        Store128(rows[k] + column, r[k]);
                }
            }
        }
    }
    if (Stream)
        _mm_sfence();
    if (W8 < W)
        TransposeBlock<FlipX, FlipY>(src + W8, W, dst, W, H, W8, W, 0, H);
    if (H8 < H)
        TransposeBlock<FlipX, FlipY>(src + (size_t)H8 * W, W, dst, W, H, 0, W8, H8, H);
}

template <bool FlipX, bool FlipY>
void TransposeStrips(const uint16_t* src, uint16_t* dst, int W, int H)
{
    // Streaming stores need their 16 bytes on a boundary: every destination
    // row starts on one when the rows are a multiple of eight pixels long.
    if (Streams(W, H) && H % 8 == 0 && (reinterpret_cast<uintptr_t>(dst) & 15) == 0)
        TransposeBands<FlipX, FlipY, true>(src, dst, W, H);
    else
        TransposeBands<FlipX, FlipY, false>(src, dst, W, H);
}

// d[0 .. n-1] = s[0 .. n-1], streamed when `stream` (s and d do not overlap).
void CopyRow(const uint16_t* __restrict s, uint16_t* __restrict d, int n, bool stream)
{
    int x = 0;
    if (stream) {
        for (; x < n && (reinterpret_cast<uintptr_t>(d + x) & 15) != 0; ++x)
            d[x] = s[x];
        for (; x + 8 <= n; x += 8) {
            PrefetchAhead(s + x);
            _mm_stream_si128(reinterpret_cast<__m128i*>(d + x), Load128(s + x));
        }
        for (; x < n; ++x)
            d[x] = s[x];
    } else {
        memcpy(d, s, (size_t)n * 2);
    }
}

// d[W-1-x] = s[x]: s read forward, d written backward eight pixels at a time
// from the pixel where d's vectors fall on 16-byte boundaries (streamed when
// `stream`).
void ReverseRow(const uint16_t* __restrict s, uint16_t* __restrict d, int W, bool stream)
{
    // The first source pixels go to the end of d up to such a boundary.
    int x = (int)((reinterpret_cast<uintptr_t>(d + W) & 15) / 2);
    if ((reinterpret_cast<uintptr_t>(d) & 1) != 0 || x > W)
        x = W;
    for (int i = 0; i < x; ++i)
        d[W - 1 - i] = s[i];
    for (; x + 8 <= W; x += 8) {
        PrefetchAhead(s + x);
        const __m128i v = Reverse8(Load128(s + x));
        if (stream)
            _mm_stream_si128(reinterpret_cast<__m128i*>(d + W - 8 - x), v);
        else
            Store128(d + W - 8 - x, v);
    }
    for (; x < W; ++x)
        d[W - 1 - x] = s[x];
}

#else

// Side of the blocks of the transposing kernels: a 64 x 64 block of source
// rows stays in the cache while its columns are read out, where a plain
// column walk misses on every pixel.
const int kBlock = 64;

inline uint32_t Load32(const uint16_t* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

inline void Store32(uint16_t* p, uint32_t v)
{
    memcpy(p, &v, 4);
}

// The same for a block of even width and height, 2 x 2 pixels at a time:
// two 32-bit loads (pixels x, x+1 of rows y, y+1) give two 32-bit stores
// (pixels y, y+1 of rows x, x+1), half the memory operations of the plain
// loop.
template <bool FlipX, bool FlipY>
void TransposeBlockPairs(const uint16_t* __restrict blk, int stride, uint16_t* __restrict dst, int W, int H, int x0,
                         int x1, int y0, int y1)
{
    for (int x = x0; x < x1; x += 2) {
        uint16_t* __restrict row0 = dst + (size_t)(FlipX ? W - 1 - x : x) * H;
        uint16_t* __restrict row1 = dst + (size_t)(FlipX ? W - 2 - x : x + 1) * H;
        const uint16_t* __restrict s = blk + (x - x0);
        for (int y = y0; y < y1; y += 2, s += 2 * stride) {
            const uint32_t a = Load32(s), b = Load32(s + stride);
            // a = (x, y) | (x+1, y) << 16, b = (x, y+1) | (x+1, y+1) << 16
            const uint32_t col0 = FlipY ? (b & 0xFFFF) | (a << 16) : (a & 0xFFFF) | (b << 16);
            const uint32_t col1 = FlipY ? (b >> 16) | (a & 0xFFFF0000u) : (a >> 16) | (b & 0xFFFF0000u);
            const int at = FlipY ? H - 2 - y : y;
            Store32(row0 + at, col0);
            Store32(row1 + at, col1);
        }
    }
}

// Copies a block of source rows into a contiguous tile (reads along rows).
void LoadTile(const uint16_t* __restrict src, int W, int x0, int x1, int y0, int y1, uint16_t* __restrict tile)
{
    const int w = x1 - x0;
    for (int y = y0; y < y1; ++y)
        memcpy(tile + (size_t)(y - y0) * kBlock, src + (size_t)y * W + x0, (size_t)w * 2);
}

// Without SSE2: 64 x 64 blocks, each through a tile on the stack, so that
// the strided reads come from the cache-resident tile, never from a source
// row whose address could alias the destination row being written.
template <bool FlipX, bool FlipY>
void TransposeStrips(const uint16_t* src, uint16_t* dst, int W, int H)
{
    uint16_t tile[kBlock * kBlock];
    for (int y0 = 0; y0 < H; y0 += kBlock) {
        int y1 = y0 + kBlock < H ? y0 + kBlock : H;
        for (int x0 = 0; x0 < W; x0 += kBlock) {
            int x1 = x0 + kBlock < W ? x0 + kBlock : W;
            LoadTile(src, W, x0, x1, y0, y1, tile);
            if (((x1 - x0) | (y1 - y0)) & 1)
                TransposeBlock<FlipX, FlipY>(tile, kBlock, dst, W, H, x0, x1, y0, y1);
            else
                TransposeBlockPairs<FlipX, FlipY>(tile, kBlock, dst, W, H, x0, x1, y0, y1);
        }
    }
}

void CopyRow(const uint16_t* __restrict s, uint16_t* __restrict d, int n, bool)
{
    memcpy(d, s, (size_t)n * 2);
}

void ReverseRow(const uint16_t* __restrict s, uint16_t* __restrict d, int W, bool)
{
    for (int x = 0; x < W; ++x)
        d[W - 1 - x] = s[x];
}

#endif

// Streaming stores are ordered with nothing else: whoever reads the raster
// next (another thread included) must see them.
inline void EndStreaming(bool stream)
{
#ifdef __SSE2__
    if (stream)
        _mm_sfence();
#else
    (void)stream;
#endif
}

} // namespace

void MirrorVertical(const uint16_t* src, uint16_t* dst, int W, int H)
{
    const bool stream = Streams(W, H);
    for (int y = 0; y < H; ++y)
        CopyRow(src + (size_t)y * W, dst + (size_t)(H - 1 - y) * W, W, stream);
    EndStreaming(stream);
}

void MirrorHorizontal(const uint16_t* src, uint16_t* dst, int W, int H)
{
    const bool stream = Streams(W, H);
    for (int y = 0; y < H; ++y)
        ReverseRow(src + (size_t)y * W, dst + (size_t)y * W, W, stream);
    EndStreaming(stream);
}

void Rotate180(const uint16_t* src, uint16_t* dst, int W, int H)
{
    const bool stream = Streams(W, H);
    for (int y = 0; y < H; ++y)
        ReverseRow(src + (size_t)y * W, dst + (size_t)(H - 1 - y) * W, W, stream);
    EndStreaming(stream);
}

void Rotate90CW(const uint16_t* src, uint16_t* dst, int W, int H)
{
    TransposeStrips<false, true>(src, dst, W, H);
}

void Transverse(const uint16_t* src, uint16_t* dst, int W, int H)
{
    TransposeStrips<true, true>(src, dst, W, H);
}

void Transpose(const uint16_t* src, uint16_t* dst, int W, int H)
{
    TransposeStrips<false, false>(src, dst, W, H);
}

void Rotate90CCW(const uint16_t* src, uint16_t* dst, int W, int H)
{
    TransposeStrips<true, false>(src, dst, W, H);
}

CopyKernel OrientationKernel(int orientation)
{
    static const CopyKernel kKernels[8] = {nullptr,    MirrorVertical, MirrorHorizontal, Rotate180,
                                           Rotate90CW, Transverse,     Transpose,        Rotate90CCW};
    return orientation >= 0 && orientation < 8 ? kKernels[orientation] : nullptr;
}

CopyKernel InverseOrientationKernel(int orientation)
{
    if (orientation == 4)
        return Rotate90CCW;
    if (orientation == 7)
        return Rotate90CW;
    return OrientationKernel(orientation);
}

namespace {

// ---- reduction by 2 and by 3 ----
//
// The sums of a 2 x 2 or 3 x 3 block fit 32 bits many times over, and the
// divisors are constants: a shift for 4, a multiplication for 9. Both kernels
// give exactly the block average of the general loop below.

// Output row of the reduction by 2 from source rows r0 and r1 (streamed
// when `stream`).
void ReduceBy2Row(const uint16_t* __restrict r0, const uint16_t* __restrict r1, uint16_t* __restrict out, int w,
                  bool stream)
{
    int x = 0;
    auto one = [&](int i) {
        const uint32_t sum = (uint32_t)r0[2 * i] + r0[2 * i + 1] + r1[2 * i] + r1[2 * i + 1];
        out[i] = (uint16_t)(sum >> 2);
    };
#ifdef __SSE2__
    if (stream)
        for (; x < w && (reinterpret_cast<uintptr_t>(out + x) & 15) != 0; ++x)
            one(x);
    // Eight outputs from sixteen pixels of each row: in 32-bit lanes, the
    // even pixel is the low half and the odd one the high half.
    const __m128i low = _mm_set1_epi32(0xFFFF);
    for (; x + 8 <= w; x += 8) {
        if ((x & 15) == 0) {
            PrefetchAhead(r0 + 2 * x);
            PrefetchAhead(r1 + 2 * x);
        }
        const __m128i a0 = Load128(r0 + 2 * x), a1 = Load128(r0 + 2 * x + 8);
        const __m128i b0 = Load128(r1 + 2 * x), b1 = Load128(r1 + 2 * x + 8);
        __m128i s0 = _mm_add_epi32(_mm_add_epi32(_mm_and_si128(a0, low), _mm_srli_epi32(a0, 16)),
                                   _mm_add_epi32(_mm_and_si128(b0, low), _mm_srli_epi32(b0, 16)));
        __m128i s1 = _mm_add_epi32(_mm_add_epi32(_mm_and_si128(a1, low), _mm_srli_epi32(a1, 16)),
                                   _mm_add_epi32(_mm_and_si128(b1, low), _mm_srli_epi32(b1, 16)));
        const __m128i v = PackUnsigned(_mm_srli_epi32(s0, 2), _mm_srli_epi32(s1, 2));
        if (stream)
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + x), v);
        else
            Store128(out + x, v);
    }
#else
    (void)stream;
#endif
    for (; x < w; ++x)
        one(x);
}

#ifdef __SSE2__

// Column sums of three rows: v[x] = r0[x] + r1[x] + r2[x], x < n.
void ColumnSums3(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const uint16_t* __restrict r2,
                 uint32_t* __restrict v, int n)
{
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        if ((x & 31) == 0) {
            PrefetchAhead(r0 + x);
            PrefetchAhead(r1 + x);
            PrefetchAhead(r2 + x);
        }
        const __m128i a = Load128(r0 + x), b = Load128(r1 + x), c = Load128(r2 + x);
        Store128(v + x, _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi16(a, zero), _mm_unpacklo_epi16(b, zero)),
                                      _mm_unpacklo_epi16(c, zero)));
        Store128(v + x + 4, _mm_add_epi32(_mm_add_epi32(_mm_unpackhi_epi16(a, zero), _mm_unpackhi_epi16(b, zero)),
                                          _mm_unpackhi_epi16(c, zero)));
    }
    for (; x < n; ++x)
        v[x] = (uint32_t)r0[x] + r1[x] + r2[x];
}

// Four sums of three column sums, v[0..2], v[3..5], v[6..8], v[9..11]: two
// runs of sliding triples, of which lanes 0 and 3 are the wanted ones.
inline __m128i FourTriples(const uint32_t* v)
{
    const __m128i t0 = _mm_add_epi32(_mm_add_epi32(Load128(v), Load128(v + 1)), Load128(v + 2));
    const __m128i t6 = _mm_add_epi32(_mm_add_epi32(Load128(v + 6), Load128(v + 7)), Load128(v + 8));
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(t0), _mm_castsi128_ps(t6), _MM_SHUFFLE(3, 0, 3, 0)));
}

// floor(s / 9) of four sums s <= 9 x 65535 < 2^20, as trunc((s + 0.5) / 9) in
// single precision: exact for every such s (the quotient's fraction lies
// between 0.05 and 0.95, the rounding error below 0.01; checked for all).
inline __m128i DivideBy9(__m128i s)
{
    const __m128 f = _mm_add_ps(_mm_cvtepi32_ps(s), _mm_set1_ps(0.5f));
    return _mm_cvttps_epi32(_mm_mul_ps(f, _mm_set1_ps(1.0f / 9)));
}

// out[x] = (v[3x] + v[3x+1] + v[3x+2]) / 9, x < w; v holds 3w sums.
void TriplesBy9(const uint32_t* __restrict v, uint16_t* __restrict out, int w)
{
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        const __m128i q0 = DivideBy9(FourTriples(v + 3 * x));
        const __m128i q1 = DivideBy9(FourTriples(v + 3 * x + 12));
        Store128(out + x, PackUnsigned(q0, q1));
    }
    for (; x < w; ++x)
        out[x] = (uint16_t)((v[3 * x] + v[3 * x + 1] + v[3 * x + 2]) / 9u);
}

#endif

// Output row of the reduction by 3 from source rows r0, r1 and r2.
void ReduceBy3Row(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const uint16_t* __restrict r2,
                  uint16_t* __restrict out, int w)
{
#ifdef __SSE2__
    // The three rows' column sums first, a stretch at a time on the stack,
    // then the sums of three across.
    const int kStretch = 256;
    uint32_t sums[3 * kStretch];
    for (int x0 = 0; x0 < w; x0 += kStretch) {
        const int n = w - x0 < kStretch ? w - x0 : kStretch;
        ColumnSums3(r0 + 3 * x0, r1 + 3 * x0, r2 + 3 * x0, sums, 3 * n);
        TriplesBy9(sums, out + x0, n);
    }
#else
    for (int x = 0; x < w; ++x) {
        const int i = 3 * x;
        const uint32_t sum = (uint32_t)r0[i] + r0[i + 1] + r0[i + 2] + r1[i] + r1[i + 1] + r1[i + 2] + r2[i] +
                             r2[i + 1] + r2[i + 2];
        out[x] = (uint16_t)(sum / 9u);
    }
#endif
}

} // namespace

void ReduceBoxAverage(uint16_t* dst, const uint16_t* src, int srcW, int srcH, int dstW, int dstH, int n)
{
    (void)srcH;
    if (n == 2) {
        const bool stream = Streams(dstW, dstH);
        for (int y = 0; y < dstH; ++y) {
            const uint16_t* r0 = src + (size_t)2 * y * srcW;
            ReduceBy2Row(r0, r0 + srcW, dst + (size_t)y * dstW, dstW, stream);
        }
        EndStreaming(stream);
        return;
    }
    if (n == 3) {
        for (int y = 0; y < dstH; ++y) {
            const uint16_t* r0 = src + (size_t)3 * y * srcW;
            ReduceBy3Row(r0, r0 + srcW, r0 + 2 * (size_t)srcW, dst + (size_t)y * dstW, dstW);
        }
        return;
    }
    const uint64_t area = (uint64_t)n * (uint64_t)n;
    for (int y = 0; y < dstH; ++y) {
        const uint16_t* block = src + (size_t)y * n * srcW;
        for (int x = 0; x < dstW; ++x) {
            uint64_t sum = 0;
            const uint16_t* p = block + (size_t)x * n;
            for (int j = 0; j < n; ++j, p += srcW)
                for (int i = 0; i < n; ++i)
                    sum += p[i];
            dst[(size_t)y * dstW + x] = (uint16_t)(sum / area);
        }
    }
}

namespace {

// Source position and weights (in quarters) of output index i of a two-thirds
// reduction: 1:3 for even i, 3:1 for odd i; at the edge the edge pixel alone.
inline void TwoThirdsTap(int i, int srcLen, int& s0, int& s1, int& w0)
{
    int a = i / 2;
    if ((i & 1) == 0) {
        s0 = 3 * a;
        w0 = 1;
    } else {
        s0 = 3 * a + 2;
        w0 = 3;
    }
    if (s0 > srcLen - 1)
        s0 = srcLen - 1;
    s1 = s0 + 1;
    if (s1 > srcLen - 1) {
        s1 = s0;
        w0 = 4;
    }
}

void TwoThirdsRow(const uint16_t* __restrict r0, const uint16_t* __restrict r1, uint32_t wy0,
                  uint16_t* __restrict out, int srcW, int dstW, int from)
{
    const uint32_t wy1 = 4 - wy0;
    for (int i = from; i < dstW; ++i) {
        int s0, s1, w0;
        TwoThirdsTap(i, srcW, s0, s1, w0);
        uint32_t wx0 = (uint32_t)w0, wx1 = 4 - wx0;
        uint32_t top = wx0 * r0[s0] + wx1 * r0[s1];
        uint32_t bottom = wx0 * r1[s0] + wx1 * r1[s1];
        out[i] = (uint16_t)((wy0 * top + wy1 * bottom) >> 4);
    }
}

} // namespace

void ReduceTwoThirdsBlocks(uint16_t* dst, int dstW, const uint16_t* src, int srcW, int blocksAcross, int blocksDown)
{
    for (int b = 0; b < blocksDown; ++b) {
        const uint16_t* s0 = src + (size_t)3 * b * srcW;
        const uint16_t* s1 = s0 + srcW;
        const uint16_t* s2 = s1 + srcW;
        const uint16_t* s3 = s2 + srcW;
        uint16_t* d0 = dst + (size_t)2 * b * dstW;
        uint16_t* d1 = d0 + dstW;
        for (int a = 0; a < blocksAcross; ++a) {
            const int x = 3 * a;
            // Across: columns x, x+1 by 1:3 and x+2, x+3 by 3:1; down the same.
            const uint32_t l0 = s0[x] + 3u * s0[x + 1], r0 = 3u * s0[x + 2] + s0[x + 3];
            const uint32_t l1 = s1[x] + 3u * s1[x + 1], r1 = 3u * s1[x + 2] + s1[x + 3];
            const uint32_t l2 = s2[x] + 3u * s2[x + 1], r2 = 3u * s2[x + 2] + s2[x + 3];
            const uint32_t l3 = s3[x] + 3u * s3[x + 1], r3 = 3u * s3[x + 2] + s3[x + 3];
            d0[2 * a] = (uint16_t)((l0 + 3 * l1) >> 4);
            d0[2 * a + 1] = (uint16_t)((r0 + 3 * r1) >> 4);
            d1[2 * a] = (uint16_t)((3 * l2 + l3) >> 4);
            d1[2 * a + 1] = (uint16_t)((3 * r2 + r3) >> 4);
        }
    }
}

void ReduceTwoThirds(uint16_t* dst, const uint16_t* src, int srcW, int srcH, int dstW, int dstH)
{
    // Whole 3 x 3 blocks whose samples have both neighbours inside the
    // source go through the block kernel; the edge columns and rows, where a
    // second sample would fall outside, take the edge pixel alone.
    auto whole = [](int srcLen, int dstLen) {
        int n = srcLen >= 4 ? (srcLen - 1) / 3 : 0;
        return n < dstLen / 2 ? n : dstLen / 2;
    };
    const int across = whole(srcW, dstW), down = whole(srcH, dstH);
    ReduceTwoThirdsBlocks(dst, dstW, src, srcW, across, down);
    for (int j = 0; j < dstH; ++j) {
        int t0, t1, wy0;
        TwoThirdsTap(j, srcH, t0, t1, wy0);
        TwoThirdsRow(src + (size_t)t0 * srcW, src + (size_t)t1 * srcW, (uint32_t)wy0, dst + (size_t)j * dstW, srcW,
                     dstW, j < 2 * down ? 2 * across : 0);
    }
}

// ---- sharpening ----
//
// The blur uses separable running sums: a vertical 5-row sum per column,
// moved down one row at a time, and a 5-wide running sum along the row. Only
// three blur rows live at once (a ring), so the pass needs no raster-sized
// buffer. The Laplacian is the 3 x 3 sum of B minus 9 B, from 3-row column
// sums slid along the row. The result is bit-identical to summing the 25
// pixels and the 8 neighbours directly; only the border of B differs from a
// zero-padded blur, by the replication that keeps a bright frame from
// appearing inside the picture's border.

namespace {

// The first blur row, b[2 .. W-3], from the vertical sums of rows 0..4.
void BlurRow(const uint32_t* __restrict vsum, uint16_t* __restrict b, int W)
{
    uint32_t h = vsum[0] + vsum[1] + vsum[2] + vsum[3] + vsum[4];
    b[2] = (uint16_t)(h / 25);
    for (int x = 3; x < W - 2; ++x) {
        h += vsum[x + 2] - vsum[x - 3];
        b[x] = (uint16_t)(h / 25);
    }
}

template <typename Wide>
inline uint16_t SharpenPixel(uint32_t s, uint32_t around, uint32_t centre, Wide k)
{
    const int32_t lap = (int32_t)around - 9 * (int32_t)centre;
    const Wide v = (Wide)s - ((Wide)k * lap) / 2;
    return (uint16_t)(v < 0 ? 0 : v > 65535 ? 65535 : v);
}

// One output row over x = 2 .. W-3: b0, b1, b2 the blur rows above, at and
// below (replicated at the blur's edge), and the blur's edge columns
// replicated likewise.
template <typename Wide>
void SharpenRow(const uint16_t* __restrict b0, const uint16_t* __restrict b1, const uint16_t* __restrict b2,
                const uint16_t* __restrict s, uint16_t* __restrict d, int W, Wide k)
{
    const int last = W - 3;
    uint32_t prev = (uint32_t)b0[2] + b1[2] + b2[2];
    uint32_t cur = prev;
    for (int x = 2; x < last; ++x) {
        const uint32_t next = (uint32_t)b0[x + 1] + b1[x + 1] + b2[x + 1];
        d[x] = SharpenPixel<Wide>(s[x], prev + cur + next, b1[x], k);
        prev = cur;
        cur = next;
    }
    d[last] = SharpenPixel<Wide>(s[last], prev + cur + cur, b1[last], k);
}

// One output row fused with the blur of the row below it: computes
// b2[2 .. W-3] (the vertical sums moved down by + add - sub) one column ahead
// of the sharpening of row y, so that the new blur row is used while it is
// still in registers.
template <typename Wide>
void BlurAndSharpenRow(uint32_t* __restrict vsum, const uint16_t* __restrict add, const uint16_t* __restrict sub,
                       const uint16_t* __restrict b0, const uint16_t* __restrict b1, uint16_t* __restrict b2,
                       const uint16_t* __restrict s, uint16_t* __restrict d, int W, Wide k)
{
    for (int x = 0; x < 5; ++x)
        vsum[x] += (uint32_t)add[x] - (uint32_t)sub[x];
    uint32_t h = vsum[0] + vsum[1] + vsum[2] + vsum[3] + vsum[4];
    b2[2] = (uint16_t)(h / 25);
    const int last = W - 3;
    uint32_t prev = (uint32_t)b0[2] + b1[2] + b2[2];
    uint32_t cur = prev;
    for (int x = 2; x < last; ++x) {
        const int i = x + 3;
        vsum[i] += (uint32_t)add[i] - (uint32_t)sub[i];
        h += vsum[i] - vsum[x - 2];
        const uint32_t blur = h / 25;
        b2[x + 1] = (uint16_t)blur;
        const uint32_t next = (uint32_t)b0[x + 1] + b1[x + 1] + blur;
        d[x] = SharpenPixel<Wide>(s[x], prev + cur + next, b1[x], k);
        prev = cur;
        cur = next;
    }
    d[last] = SharpenPixel<Wide>(s[last], prev + cur + cur, b1[last], k);
}

// The sharpening of rows 2 .. H-3, one row fused with the blur of the next;
// any amount. False when the blur buffer cannot be allocated.
bool SharpenInterior(const uint16_t* src, uint16_t* dst, int W, int H, int k)
{
    // Three blur rows, then the vertical sums.
    uint8_t* block = static_cast<uint8_t*>(PixelAlloc((size_t)W * (3 * 2 + 4) + 16));
    if (!block)
        return false;
    uint16_t* ring[3];
    for (int i = 0; i < 3; ++i)
        ring[i] = reinterpret_cast<uint16_t*>(block) + (size_t)i * W;
    uint32_t* vsum = reinterpret_cast<uint32_t*>(block + (((size_t)W * 6 + 3) & ~(size_t)3));

    const int top = 2, bottom = H - 3;      // rows the blur covers
    for (int x = 0; x < W; ++x)
        vsum[x] = (uint32_t)src[x] + src[W + x] + src[2 * W + x] + src[3 * W + x] + src[4 * W + x];
    BlurRow(vsum, ring[top % 3], W);
    const bool narrow = k >= -2048 && k <= 2048;
    for (int y = top; y <= bottom; ++y) {
        const uint16_t* b0 = ring[(y > top ? y - 1 : y) % 3];
        const uint16_t* b1 = ring[y % 3];
        const uint16_t* s = src + (size_t)y * W;
        uint16_t* d = dst + (size_t)y * W;
        if (y == bottom) {
            // No blur row below: the last one is replicated.
            if (narrow)
                SharpenRow<int32_t>(b0, b1, b1, s, d, W, (int32_t)k);
            else
                SharpenRow<int64_t>(b0, b1, b1, s, d, W, (int64_t)k);
            continue;
        }
        // Blur row y + 1 sums source rows y - 1 .. y + 3.
        const uint16_t* add = src + (size_t)(y + 3) * W;
        const uint16_t* sub = src + (size_t)(y - 2) * W;
        uint16_t* b2 = ring[(y + 1) % 3];
        if (narrow)
            BlurAndSharpenRow<int32_t>(vsum, add, sub, b0, b1, b2, s, d, W, (int32_t)k);
        else
            BlurAndSharpenRow<int64_t>(vsum, add, sub, b0, b1, b2, s, d, W, (int64_t)k);
    }
    PixelFree(block);
    return true;
}

#ifdef __SSE2__

// ---- sharpening, four and eight pixels at a time ----
//
// The same sums as above, row by row over whole rows: the vertical sums are
// moved down, the blur row is made from them, then the 3-row column sums of
// the blur, then the output row. Two steps go through single precision, both
// exactly (checked for every possible input):
// - floor(h / 25) for a 25-pixel sum h < 2^21 is trunc((h + 0.5) * (1 / 25)):
//   the quotient's fraction is then between 0.02 and 0.98, the rounding
//   error below 0.008;
// - (k L) / 2, truncated toward zero, is trunc(L * (k / 2)) while |k L| fits
//   the 24-bit mantissa: |L| <= 8 * 65535, so for |k| <= kVectorAmount.

const int kVectorAmount = 32;

// vsum[x] += add[x] - sub[x] over the whole row.
void MoveColumnSums(uint32_t* __restrict vsum, const uint16_t* __restrict add, const uint16_t* __restrict sub, int W)
{
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 8 <= W; x += 8) {
        // The new row comes from memory; the one taken off was read five rows ago.
        if ((x & 31) == 0)
            PrefetchAhead(add + x);
        const __m128i a = Load128(add + x), s = Load128(sub + x);
        __m128i lo = Load128(vsum + x), hi = Load128(vsum + x + 4);
        lo = _mm_sub_epi32(_mm_add_epi32(lo, _mm_unpacklo_epi16(a, zero)), _mm_unpacklo_epi16(s, zero));
        hi = _mm_sub_epi32(_mm_add_epi32(hi, _mm_unpackhi_epi16(a, zero)), _mm_unpackhi_epi16(s, zero));
        Store128(vsum + x, lo);
        Store128(vsum + x + 4, hi);
    }
    for (; x < W; ++x)
        vsum[x] += (uint32_t)add[x] - (uint32_t)sub[x];
}

// Four blur values from the four 25-pixel sums at vsum[x-2 .. x+5].
inline __m128i BlurFour(const uint32_t* v)
{
    __m128i h = _mm_add_epi32(_mm_add_epi32(Load128(v - 2), Load128(v - 1)),
                              _mm_add_epi32(_mm_add_epi32(Load128(v), Load128(v + 1)), Load128(v + 2)));
    const __m128 f = _mm_add_ps(_mm_cvtepi32_ps(h), _mm_set1_ps(0.5f));
    return _mm_cvttps_epi32(_mm_mul_ps(f, _mm_set1_ps(1.0f / 25)));
}

// b[2 .. W-3] from the vertical sums, then b[1] and b[W-2] replicate the
// blur's edge.
void BlurRowFromSums(const uint32_t* __restrict vsum, uint16_t* __restrict b, int W)
{
    int x = 2;
    for (; x + 10 <= W; x += 8)
        Store128(b + x, PackUnsigned(BlurFour(vsum + x), BlurFour(vsum + x + 4)));
    for (; x < W - 2; ++x)
        b[x] = (uint16_t)((vsum[x - 2] + vsum[x - 1] + vsum[x] + vsum[x + 1] + vsum[x + 2]) / 25);
    b[1] = b[2];
    b[W - 2] = b[W - 3];
}

// t[x] = b0[x] + b1[x] + b2[x] for x = 1 .. W-2.
void ColumnTriples(const uint16_t* __restrict b0, const uint16_t* __restrict b1, const uint16_t* __restrict b2,
                   uint32_t* __restrict t, int W)
{
    const __m128i zero = _mm_setzero_si128();
    int x = 1;
    for (; x + 9 <= W; x += 8) {
        const __m128i r0 = Load128(b0 + x), r1 = Load128(b1 + x), r2 = Load128(b2 + x);
        const __m128i lo = _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi16(r0, zero), _mm_unpacklo_epi16(r1, zero)),
                                         _mm_unpacklo_epi16(r2, zero));
        const __m128i hi = _mm_add_epi32(_mm_add_epi32(_mm_unpackhi_epi16(r0, zero), _mm_unpackhi_epi16(r1, zero)),
                                         _mm_unpackhi_epi16(r2, zero));
        Store128(t + x, lo);
        Store128(t + x + 4, hi);
    }
    for (; x < W - 1; ++x)
        t[x] = (uint32_t)b0[x] + b1[x] + b2[x];
}

// Four output values before clamping: s - (k L) / 2, L from the column sums
// t[x-1 .. x+4] and the centre blur values c.
inline __m128i SharpenFour(const uint32_t* t, __m128i c, __m128i s, __m128 halfK)
{
    const __m128i around = _mm_add_epi32(_mm_add_epi32(Load128(t - 1), Load128(t)), Load128(t + 1));
    const __m128i lap = _mm_sub_epi32(around, _mm_add_epi32(_mm_slli_epi32(c, 3), c));
    return _mm_sub_epi32(s, _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(lap), halfK)));
}

// Output row d[2 .. W-3]; |k| <= kVectorAmount.
void SharpenRowVector(const uint32_t* __restrict t, const uint16_t* __restrict b1, const uint16_t* __restrict s,
                      uint16_t* __restrict d, int W, int k)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi32(32768);
    const __m128i flip = _mm_set1_epi16((short)0x8000);
    const __m128 halfK = _mm_set1_ps(0.5f * (float)k);
    int x = 2;
    for (; x + 10 <= W; x += 8) {
        const __m128i c = Load128(b1 + x), sv = Load128(s + x);
        const __m128i lo = SharpenFour(t + x, _mm_unpacklo_epi16(c, zero), _mm_unpacklo_epi16(sv, zero), halfK);
        const __m128i hi = SharpenFour(t + x + 4, _mm_unpackhi_epi16(c, zero), _mm_unpackhi_epi16(sv, zero), halfK);
        // Clamp to 0 .. 65535: shifted down by 32768, the signed saturation
        // of the pack is the clamp.
        const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(lo, bias), _mm_sub_epi32(hi, bias));
        Store128(d + x, _mm_xor_si128(packed, flip));
    }
    for (; x < W - 2; ++x)
        d[x] = SharpenPixel<int32_t>(s[x], t[x - 1] + t[x] + t[x + 1], b1[x], (int32_t)k);
}

bool SharpenInteriorVector(const uint16_t* src, uint16_t* dst, int W, int H, int k)
{
    // The vertical sums, the column sums, three blur rows.
    uint8_t* block = static_cast<uint8_t*>(PixelAlloc((size_t)W * (2 * 4 + 3 * 2)));
    if (!block)
        return false;
    uint32_t* vsum = reinterpret_cast<uint32_t*>(block);
    uint32_t* triples = vsum + W;
    uint16_t* ring[3];
    for (int i = 0; i < 3; ++i)
        ring[i] = reinterpret_cast<uint16_t*>(triples + W) + (size_t)i * W;

    const int top = 2, bottom = H - 3;
    for (int x = 0; x < W; ++x)
        vsum[x] = (uint32_t)src[x] + src[W + x] + src[2 * W + x] + src[3 * W + x] + src[4 * W + x];
    BlurRowFromSums(vsum, ring[top % 3], W);
    for (int y = top; y <= bottom; ++y) {
        const uint16_t* b1 = ring[y % 3];
        const uint16_t* b0 = y > top ? ring[(y - 1) % 3] : b1;
        const uint16_t* b2 = b1;    // below the last blur row: replicated
        if (y < bottom) {
            // Blur row y + 1 sums source rows y - 1 .. y + 3.
            MoveColumnSums(vsum, src + (size_t)(y + 3) * W, src + (size_t)(y - 2) * W, W);
            BlurRowFromSums(vsum, ring[(y + 1) % 3], W);
            b2 = ring[(y + 1) % 3];
        }
        ColumnTriples(b0, b1, b2, triples, W);
        SharpenRowVector(triples, b1, src + (size_t)y * W, dst + (size_t)y * W, W, k);
    }
    PixelFree(block);
    return true;
}

#endif // __SSE2__

} // namespace

bool SharpenRaster(const uint16_t* src, uint16_t* dst, int W, int H, int k)
{
    if (W < 5 || H < 5) {
        if (src != dst)
            memcpy(dst, src, (size_t)W * H * 2);
        return true;
    }
#ifdef __SSE2__
    const bool vector = k >= -kVectorAmount && k <= kVectorAmount;
#else
    const bool vector = false;
#endif
    if (vector) {
#ifdef __SSE2__
        if (!SharpenInteriorVector(src, dst, W, H, k))
            return false;
#endif
    } else if (!SharpenInterior(src, dst, W, H, k)) {
        return false;
    }

    // The blur does not cover the outer two rows and columns: they keep the
    // source pixels.
    for (int y = 0; y < H; ++y) {
        const uint16_t* s = src + (size_t)y * W;
        uint16_t* d = dst + (size_t)y * W;
        if (y < 2 || y >= H - 2) {
            memcpy(d, s, (size_t)W * 2);
        } else {
            d[0] = s[0];
            d[1] = s[1];
            d[W - 2] = s[W - 2];
            d[W - 1] = s[W - 1];
        }
    }
    return true;
}

// ---- impulse noise ----

namespace {

inline void Sort2(uint32_t& a, uint32_t& b)
{
    uint32_t lo = a < b ? a : b, hi = a < b ? b : a;
    a = hi;
    b = lo;
}

// Third and fourth largest of eight values, averaged.
uint16_t MiddlePair(uint32_t v[8])
{
    // Insertion sort, descending: eight values.
    for (int i = 1; i < 8; ++i)
        for (int j = i; j > 0 && v[j - 1] < v[j]; --j)
            Sort2(v[j - 1], v[j]);
    return (uint16_t)((v[2] + v[3]) >> 1);
}

} // namespace

void FilterImpulseNoiseRaster(const uint16_t* src, uint16_t* dst, int W, int H)
{
    memcpy(dst, src, (size_t)W * H * 2);
    for (int y = 1; y < H - 1; ++y) {
        const uint16_t* up = src + (size_t)(y - 1) * W;
        const uint16_t* row = src + (size_t)y * W;
        const uint16_t* down = src + (size_t)(y + 1) * W;
        uint16_t* out = dst + (size_t)y * W;
        for (int x = 1; x < W - 1; ++x) {
            uint32_t v[8] = {up[x - 1], up[x], up[x + 1], row[x - 1], row[x + 1], down[x - 1], down[x], down[x + 1]};
            uint32_t m = (v[0] + v[1] + v[2] + v[3] + v[4] + v[5] + v[6] + v[7]) >> 3;
            double p = row[x];
            if (0.667 * m <= p && p <= 1.333 * m)
                continue;
            out[x] = MiddlePair(v);
        }
    }
}

uint16_t* FilterNoiseSigma(const uint16_t* src, int W, int H)
{
    if (!src || W <= 0 || H <= 0)
        return nullptr;
    uint16_t* dst = AllocRaster(W, H);
    if (!dst)
        return nullptr;
    memcpy(dst, src, (size_t)W * H * 2);
    for (int y = 1; y < H - 1; ++y) {
        const uint16_t* up = src + (size_t)(y - 1) * W;
        const uint16_t* row = src + (size_t)y * W;
        const uint16_t* down = src + (size_t)(y + 1) * W;
        uint16_t* out = dst + (size_t)y * W;
        for (int x = 1; x < W - 1; ++x) {
            if (row[x] <= 405)
                continue;
            const uint32_t v[8] = {up[x - 1], up[x], up[x + 1], row[x - 1], row[x + 1], down[x - 1], down[x], down[x + 1]};
            const uint32_t sum = v[0] + v[1] + v[2] + v[3] + v[4] + v[5] + v[6] + v[7];
            const double mean = sum / 8.0;
            double squares = 0.0;
            for (int i = 0; i < 8; ++i)
                squares += (v[i] - mean) * (v[i] - mean);
            const double sigma = sqrt(squares / 7.0);
            if (fabs(row[x] - mean) > 3.0 * sigma)
                out[x] = (uint16_t)(sum >> 3);
        }
    }
    return dst;
}

// ---- statistics ----

double ImageStats::Mean(const uint16_t* first, int width, int height, int rowLength)
{
    if (width <= 0 || height <= 0)
        return 0.0;
    uint64_t sum = 0;
    for (int y = 0; y < height; ++y) {
        const uint16_t* p = first + (size_t)y * rowLength;
        uint32_t rowSum = 0;    // at most 65535 pixels of 65535 per 32-bit step below
        for (int x = 0; x < width; ++x) {
            rowSum += p[x];
            if ((x & 0xFFF) == 0xFFF) {
                sum += rowSum;
                rowSum = 0;
            }
        }
        sum += rowSum;
    }
    return (double)sum / ((double)width * height);
}

double ImageStats::StdDev(const uint16_t* first, int width, int height, int rowLength, double mean)
{
    if (width <= 0 || height <= 0)
        return 0.0;
    const double n = (double)width * height;
    if (n < 2)
        return 0.0;
    double sum = 0.0;
    for (int y = 0; y < height; ++y) {
        const uint16_t* p = first + (size_t)y * rowLength;
        for (int x = 0; x < width; ++x) {
            double d = p[x] - mean;
            sum += d * d;
        }
    }
    return sqrt(sum / (n - 1));
}

bool ImageStats::SpreadExceeds(const uint16_t* pixels, int width, int height, int rowLength)
{
    int qx = width / 4, qy = height / 4;
    if (qx <= 0 || qy <= 0)
        return false;
    const uint16_t* first = pixels + (size_t)qy * rowLength + qx;
    double mean = Mean(first, 2 * qx, 2 * qy, rowLength);
    if (mean == 0.0)
        return false;
    return StdDev(first, 2 * qx, 2 * qy, rowLength, mean) / mean > 0.2;
}

void ImageStats::MinMax(const uint16_t* first, int width, int height, int rowLength, int& minimum, int& maximum)
{
    uint32_t lo = 0xFFFF, hi = 0;
    for (int y = 0; y < height; ++y) {
        const uint16_t* __restrict p = first + (size_t)y * rowLength;
        for (int x = 0; x < width; ++x) {
            uint32_t v = p[x];
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
    }
    minimum = (int)lo;
    maximum = (int)hi;
}
