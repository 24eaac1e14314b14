// Tile codec. Full 32 x 32 tiles take the fast path: a tile row of 32 fields
// of n bits is exactly n little-endian 32-bit words, so each row packs and
// unpacks with shifts that the compiler resolves per width (one instance per
// n); with SSE2, four rows at a time. A row of 16-bit fields is the pixels
// themselves (less the base), so it is copied, not packed field by field:
// noise, where every tile is raw, costs little more than reading it twice.
// Edge tiles go through a plain 32-bit bit accumulator. Sizes are checked
// before a tile is written or read, so neither direction touches a byte
// outside the caller's buffer.
#include "images/pixels/tilecodec.h"

#include <string.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

const int kTile = 32;

enum : uint8_t { kRaw = 0, kFlat = 1 };

inline uint32_t LoadLE32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline void StoreLE32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

inline uint32_t FieldBytes(int count, int n)
{
    return ((uint32_t)count * (uint32_t)n + 7) / 8;
}

// Smallest n with 2^n - 1 >= range (range >= 1).
inline int WidthFor(uint32_t range)
{
    int n = 1;
    uint32_t v = 1;
    while (v < range) {
        v = 2 * v + 1;
        ++n;
    }
    return n;
}

#ifdef __SSE2__

// Minimum and maximum of a full tile, 32 pixels a row in four vectors. SSE2
// compares 16-bit lanes as signed values only: with the top bit flipped,
// unsigned pixels order as signed ones.
void MinMaxFull(const uint16_t* __restrict p, int stride, uint32_t& outMin, uint32_t& outMax)
{
    const __m128i flip = _mm_set1_epi16((short)0x8000);
    __m128i lo = _mm_set1_epi16(0x7FFF), hi = _mm_set1_epi16((short)0x8000);
    for (int y = 0; y < kTile; ++y, p += stride) {
        const __m128i a = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), flip);
        const __m128i b = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)), flip);
        const __m128i c = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), flip);
        const __m128i d = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24)), flip);
        lo = _mm_min_epi16(lo, _mm_min_epi16(_mm_min_epi16(a, b), _mm_min_epi16(c, d)));
        hi = _mm_max_epi16(hi, _mm_max_epi16(_mm_max_epi16(a, b), _mm_max_epi16(c, d)));
    }
    // The eight lanes down to one.
    lo = _mm_min_epi16(lo, _mm_shuffle_epi32(lo, _MM_SHUFFLE(1, 0, 3, 2)));
    lo = _mm_min_epi16(lo, _mm_shuffle_epi32(lo, _MM_SHUFFLE(2, 3, 0, 1)));
    lo = _mm_min_epi16(lo, _mm_shufflelo_epi16(lo, _MM_SHUFFLE(2, 3, 0, 1)));
    hi = _mm_max_epi16(hi, _mm_shuffle_epi32(hi, _MM_SHUFFLE(1, 0, 3, 2)));
    hi = _mm_max_epi16(hi, _mm_shuffle_epi32(hi, _MM_SHUFFLE(2, 3, 0, 1)));
    hi = _mm_max_epi16(hi, _mm_shufflelo_epi16(hi, _MM_SHUFFLE(2, 3, 0, 1)));
    outMin = (uint32_t)(_mm_cvtsi128_si32(lo) ^ 0x8000) & 0xFFFF;
    outMax = (uint32_t)(_mm_cvtsi128_si32(hi) ^ 0x8000) & 0xFFFF;
}

#endif

void MinMax(const uint16_t* __restrict p, int stride, int w, int h, uint32_t& outMin, uint32_t& outMax)
{
#ifdef __SSE2__
    if (w == kTile && h == kTile) {
        MinMaxFull(p, stride, outMin, outMax);
        return;
    }
#endif
    uint32_t lo = 0xFFFF, hi = 0;
    for (int y = 0; y < h; ++y, p += stride) {
        for (int x = 0; x < w; ++x) {
            uint32_t v = p[x];
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
    }
    outMin = lo;
    outMax = hi;
}

// ---- full tiles: one row of 32 fields is N words ----

template <int N>
inline void PackRow32(const uint16_t* __restrict src, uint32_t base, uint8_t* __restrict out)
{
    uint32_t acc = 0;
    int used = 0;
#pragma GCC unroll 32
    for (int k = 0; k < kTile; ++k) {
        uint32_t v = (uint16_t)(src[k] - base);
        acc |= v << used;
        used += N;
        if (used >= 32) {
            StoreLE32(out, acc);
            out += 4;
            used -= 32;
            acc = used ? v >> (N - used) : 0;
        }
    }
}

template <int N>
void PackTile32(const uint16_t* __restrict src, int stride, uint32_t base, uint8_t* __restrict out)
{
    for (int y = 0; y < kTile; ++y, src += stride, out += 4 * N)
        PackRow32<N>(src, base, out);
}

// Rows of 16-bit fields: 32 pixels less the base, 64 bytes a row, little-endian
// like the machine.
template <>
void PackTile32<16>(const uint16_t* __restrict src, int stride, uint32_t base, uint8_t* __restrict out)
{
    for (int y = 0; y < kTile; ++y, src += stride, out += 64) {
        if (base == 0) {
            memcpy(out, src, 64);
            continue;
        }
#ifdef __SSE2__
        const __m128i b = _mm_set1_epi16((short)(uint16_t)base);
        for (int k = 0; k < 4; ++k)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * k),
                             _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8 * k)), b));
#else
        for (int k = 0; k < kTile; ++k) {
            const uint16_t v = (uint16_t)(src[k] - base);
            out[2 * k] = (uint8_t)v;
            out[2 * k + 1] = (uint8_t)(v >> 8);
        }
#endif
    }
}

template <int N>
inline void UnpackRow32(const uint8_t* __restrict in, uint32_t base, uint16_t* __restrict dst)
{
    const uint32_t mask = (1u << N) - 1;
    uint32_t word = LoadLE32(in);
    in += 4;
    int avail = 32;
#pragma GCC unroll 32
    for (int k = 0; k < kTile; ++k) {
        uint32_t v;
        if (avail >= N) {
            v = word & mask;
            word >>= N;
            avail -= N;
        } else {
            uint32_t next = LoadLE32(in);
            in += 4;
            v = (word | (next << avail)) & mask;
            word = next >> (N - avail);
            avail = 32 - (N - avail);
        }
        dst[k] = (uint16_t)(v + base);
    }
}

template <int N>
void UnpackTile32(const uint8_t* __restrict in, int stride, uint32_t base, uint16_t* __restrict dst)
{
    for (int y = 0; y < kTile; ++y, dst += stride, in += 4 * N)
        UnpackRow32<N>(in, base, dst);
}

template <>
void UnpackTile32<16>(const uint8_t* __restrict in, int stride, uint32_t base, uint16_t* __restrict dst)
{
    for (int y = 0; y < kTile; ++y, dst += stride, in += 64) {
        if (base == 0) {
            memcpy(dst, in, 64);
            continue;
        }
#ifdef __SSE2__
        const __m128i b = _mm_set1_epi16((short)(uint16_t)base);
        for (int k = 0; k < 4; ++k)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 8 * k),
                             _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * k)), b));
#else
        for (int k = 0; k < kTile; ++k)
            dst[k] = (uint16_t)((in[2 * k] | (in[2 * k + 1] << 8)) + base);
#endif
    }
}

#ifdef __SSE2__

// ---- full tiles with SSE2: four rows at a time ----
//
// Every row of a full tile has the same layout (n words, pixel k at bits
// n k .. n k + n - 1), so one set of constant shifts takes pixel k out of
// four rows at once: the four rows' words are transposed into vectors that
// hold word w of each row, pixel k comes out of word n k / 32 (and the next
// one when it straddles two) in 32-bit lanes, and eight pixels of the four
// rows are transposed back into four rows of eight 16-bit pixels.
//
// The last 16-byte load of a row reads up to 12 bytes past the row's end
// (rows of n words are not a multiple of 16 bytes unless n is): past the
// tile's end for its last row, so the caller keeps this form for tiles with
// at least kVectorOverRead bytes of stream behind them.
const uint32_t kVectorOverRead = 12;

inline __m128i LoadBytes16(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Rows a, b, c, d of four words each become words 0..3 of the four rows.
inline void TransposeWords(__m128i& a, __m128i& b, __m128i& c, __m128i& d)
{
    const __m128i t0 = _mm_unpacklo_epi32(a, b), t1 = _mm_unpacklo_epi32(c, d);
    const __m128i t2 = _mm_unpackhi_epi32(a, b), t3 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(t0, t1);
    b = _mm_unpackhi_epi64(t0, t1);
    c = _mm_unpacklo_epi64(t2, t3);
    d = _mm_unpackhi_epi64(t2, t3);
}

// Field K of the four rows, one per 32-bit lane, from their words.
template <int N, int K>
inline __m128i FieldOfFourRows(const __m128i* words)
{
    constexpr int bit = N * K, w = bit / 32, shift = bit % 32;
    __m128i v = words[w];
    if (shift != 0)
        v = _mm_srli_epi32(v, shift);
    if (shift + N > 32)
        v = _mm_or_si128(v, _mm_slli_epi32(words[w + 1], 32 - shift));
    if (shift + N != 32)
        v = _mm_and_si128(v, _mm_set1_epi32((int)((1u << N) - 1)));
    return v;
}

// Fields K and K+1 of the four rows as 16-bit lanes (rows 0..3 of K, then of
// K+1). The signed pack saturates at 32767: fields of up to 15 bits only
// (rows of 16-bit fields are copied).
template <int N, int K>
inline __m128i PackedPair(const __m128i* words)
{
    static_assert(N < 16, "16-bit rows are copied");
    return _mm_packs_epi32(FieldOfFourRows<N, K>(words), FieldOfFourRows<N, K + 1>(words));
}

// Pixels K..K+7 of the four rows at dst, dst + stride, ...
template <int N, int K>
inline void EightOfFourRows(const __m128i* words, __m128i base, uint16_t* dst, int stride)
{
    const __m128i p0 = PackedPair<N, K>(words), p1 = PackedPair<N, K + 2>(words);
    const __m128i p2 = PackedPair<N, K + 4>(words), p3 = PackedPair<N, K + 6>(words);
    // p0 = a0 a1 a2 a3 b0 b1 b2 b3 (pixel a = K, b = K + 1, by row), p1 the
    // pixels c and d, p2 e and f, p3 g and h.
    const __m128i x0 = _mm_unpacklo_epi16(p0, p1), x1 = _mm_unpackhi_epi16(p0, p1);  // a0 c0 a1 c1.., b0 d0..
    const __m128i x2 = _mm_unpacklo_epi16(p2, p3), x3 = _mm_unpackhi_epi16(p2, p3);
    const __m128i y0 = _mm_unpacklo_epi16(x0, x1), y1 = _mm_unpackhi_epi16(x0, x1);  // a0 b0 c0 d0 a1 b1 c1 d1
    const __m128i y2 = _mm_unpacklo_epi16(x2, x3), y3 = _mm_unpackhi_epi16(x2, x3);
    uint16_t* d = dst + K;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_add_epi16(_mm_unpacklo_epi64(y0, y2), base));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + stride), _mm_add_epi16(_mm_unpackhi_epi64(y0, y2), base));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * stride), _mm_add_epi16(_mm_unpacklo_epi64(y1, y3), base));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * stride), _mm_add_epi16(_mm_unpackhi_epi64(y1, y3), base));
}

template <int N>
void UnpackTile32Vector(const uint8_t* __restrict in, int stride, uint32_t base, uint16_t* __restrict dst)
{
    constexpr int kChunks = (N + 3) / 4;    // 16-byte loads per row
    const __m128i base16 = _mm_set1_epi16((short)(uint16_t)base);
    for (int g = 0; g < kTile / 4; ++g, in += 16 * N, dst += 4 * (size_t)stride) {
        __m128i words[4 * kChunks];
        for (int c = 0; c < kChunks; ++c) {
            __m128i a = LoadBytes16(in + 16 * c), b = LoadBytes16(in + 4 * N + 16 * c);
            __m128i e = LoadBytes16(in + 8 * N + 16 * c), f = LoadBytes16(in + 12 * N + 16 * c);
            TransposeWords(a, b, e, f);
            words[4 * c] = a;
            words[4 * c + 1] = b;
            words[4 * c + 2] = e;
            words[4 * c + 3] = f;
        }
        EightOfFourRows<N, 0>(words, base16, dst, stride);
        EightOfFourRows<N, 8>(words, base16, dst, stride);
        EightOfFourRows<N, 16>(words, base16, dst, stride);
        EightOfFourRows<N, 24>(words, base16, dst, stride);
    }
}

// ---- packing full tiles with SSE2: four rows at a time ----
//
// The inverse of the unpacking above: pixels K..K+7 of four rows are moved
// into 32-bit lanes (pixel K of row r in lane r), each field is shifted to
// its bit in word n K / 32 (the rest of a straddling field into the next
// word), and the four rows' words are transposed back into rows of n words.
// A row's last 16-byte store may write up to 12 bytes past its end: those of
// a row inside the tile are written again by the next row, those of the last
// row lie past the tile, so the caller keeps this form for tiles with at
// least kVectorOverWrite bytes of room behind them.
const uint32_t kVectorOverWrite = 12;

// Field K of the four rows (32-bit lanes) into the words.
template <int N, int K>
inline void PutField(__m128i* words, __m128i field)
{
    constexpr int bit = N * K, w = bit / 32, shift = bit % 32;
    if (shift == 0)
        words[w] = _mm_or_si128(words[w], field);
    else
        words[w] = _mm_or_si128(words[w], _mm_slli_epi32(field, shift));
    if (shift + N > 32)
        words[w + 1] = _mm_or_si128(words[w + 1], _mm_srli_epi32(field, 32 - shift));
}

// Pixels K..K+7 of the four rows, less the base, into the words.
template <int N, int K>
inline void PutEight(__m128i* words, const uint16_t* src, int stride, __m128i base)
{
    const __m128i zero = _mm_setzero_si128();
    const uint16_t* p = src + K;
    const __m128i a = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), base);
    const __m128i b = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + stride)), base);
    const __m128i c = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * stride)), base);
    const __m128i d = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3 * stride)), base);
    const __m128i ab0 = _mm_unpacklo_epi16(a, b), ab1 = _mm_unpackhi_epi16(a, b);   // a0 b0 a1 b1 ..
    const __m128i cd0 = _mm_unpacklo_epi16(c, d), cd1 = _mm_unpackhi_epi16(c, d);
    const __m128i q0 = _mm_unpacklo_epi32(ab0, cd0), q1 = _mm_unpackhi_epi32(ab0, cd0);  // a0 b0 c0 d0 a1 b1 c1 d1
    const __m128i q2 = _mm_unpacklo_epi32(ab1, cd1), q3 = _mm_unpackhi_epi32(ab1, cd1);
    PutField<N, K>(words, _mm_unpacklo_epi16(q0, zero));
    PutField<N, K + 1>(words, _mm_unpackhi_epi16(q0, zero));
    PutField<N, K + 2>(words, _mm_unpacklo_epi16(q1, zero));
    PutField<N, K + 3>(words, _mm_unpackhi_epi16(q1, zero));
    PutField<N, K + 4>(words, _mm_unpacklo_epi16(q2, zero));
    PutField<N, K + 5>(words, _mm_unpackhi_epi16(q2, zero));
    PutField<N, K + 6>(words, _mm_unpacklo_epi16(q3, zero));
    PutField<N, K + 7>(words, _mm_unpackhi_epi16(q3, zero));
}

template <int N>
void PackTile32Vector(const uint16_t* __restrict src, int stride, uint32_t base, uint8_t* __restrict out)
{
    constexpr int kChunks = (N + 3) / 4;    // 16-byte stores per row
    const __m128i base16 = _mm_set1_epi16((short)(uint16_t)base);
    for (int g = 0; g < kTile / 4; ++g, src += 4 * (size_t)stride, out += 16 * N) {
        __m128i words[4 * kChunks];
        for (int w = 0; w < 4 * kChunks; ++w)
            words[w] = _mm_setzero_si128();
        PutEight<N, 0>(words, src, stride, base16);
        PutEight<N, 8>(words, src, stride, base16);
        PutEight<N, 16>(words, src, stride, base16);
        PutEight<N, 24>(words, src, stride, base16);
        for (int c = 0; c < kChunks; ++c)
            TransposeWords(words[4 * c], words[4 * c + 1], words[4 * c + 2], words[4 * c + 3]);
        // Row by row, each row's chunks in order: a row's spill past its end
        // is then written again by the next row.
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < kChunks; ++c)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * N * r + 16 * c), words[4 * c + r]);
    }
}

#endif

typedef void (*PackFn)(const uint16_t*, int, uint32_t, uint8_t*);
typedef void (*UnpackFn)(const uint8_t*, int, uint32_t, uint16_t*);

#define TF_WIDTHS(X) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11) X(12) X(13) X(14) X(15) X(16)
#define TF_PACK(n) PackTile32<n>,
#define TF_UNPACK(n) UnpackTile32<n>,
const PackFn kPackTile[17] = {nullptr, TF_WIDTHS(TF_PACK)};
const UnpackFn kUnpackTile[17] = {nullptr, TF_WIDTHS(TF_UNPACK)};
#ifdef __SSE2__
// Rows of 16-bit fields are copies: the plain form is the fastest there.
#define TF_WIDTHS_BELOW_16(X) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11) X(12) X(13) X(14) X(15)
#define TF_UNPACK_VECTOR(n) UnpackTile32Vector<n>,
#define TF_PACK_VECTOR(n) PackTile32Vector<n>,
const UnpackFn kUnpackTileVector[17] = {nullptr, TF_WIDTHS_BELOW_16(TF_UNPACK_VECTOR) UnpackTile32<16>};
const PackFn kPackTileVector[17] = {nullptr, TF_WIDTHS_BELOW_16(TF_PACK_VECTOR) PackTile32<16>};
#undef TF_UNPACK_VECTOR
#undef TF_PACK_VECTOR
#undef TF_WIDTHS_BELOW_16
#endif
#undef TF_PACK
#undef TF_UNPACK
#undef TF_WIDTHS

// ---- edge tiles: a 32-bit accumulator ----

void PackFields(const uint16_t* __restrict src, int stride, int w, int h, int n, uint32_t base,
                uint8_t* __restrict out)
{
    if (n == 16) {
        // Fields of 16 bits are the values' little-endian words one after
        // another: the accumulator's bytes without its shifts (a row of a
        // raw tile is its pixels themselves, as in PackTile32<16>).
        for (int y = 0; y < h; ++y, src += stride, out += 2 * w) {
            if (base == 0) {
                memcpy(out, src, 2 * (size_t)w);
                continue;
            }
            for (int x = 0; x < w; ++x) {
                const uint16_t v = (uint16_t)(src[x] - base);
                out[2 * x] = (uint8_t)v;
                out[2 * x + 1] = (uint8_t)(v >> 8);
            }
        }
        return;
    }
    uint32_t acc = 0;
    int used = 0;
    for (int y = 0; y < h; ++y, src += stride) {
        for (int x = 0; x < w; ++x) {
            uint32_t v = (uint16_t)(src[x] - base);
            acc |= v << used;
            used += n;
            if (used >= 32) {
                StoreLE32(out, acc);
                out += 4;
                used -= 32;
                acc = used ? v >> (n - used) : 0;
            }
        }
    }
    for (; used > 0; used -= 8, acc >>= 8)
        *out++ = (uint8_t)acc;
}

void UnpackFields(const uint8_t* __restrict in, int stride, int w, int h, int n, uint32_t base,
                  uint16_t* __restrict dst)
{
    if (n == 16) {
        // The words of PackFields, a row of the tile after another.
        for (int y = 0; y < h; ++y, dst += stride, in += 2 * w) {
            if (base == 0) {
                memcpy(dst, in, 2 * (size_t)w);
                continue;
            }
            for (int x = 0; x < w; ++x)
                dst[x] = (uint16_t)((in[2 * x] | (in[2 * x + 1] << 8)) + base);
        }
        return;
    }
    const uint32_t mask = (1u << n) - 1;
    uint32_t acc = 0;
    int bits = 0;
    for (int y = 0; y < h; ++y, dst += stride) {
        for (int x = 0; x < w; ++x) {
            while (bits < n) {
                acc |= (uint32_t)*in++ << bits;
                bits += 8;
            }
            dst[x] = (uint16_t)((acc & mask) + base);
            acc >>= n;
            bits -= n;
        }
    }
}

void Fill(uint16_t* __restrict dst, int stride, int w, int h, uint16_t v)
{
#ifdef __SSE2__
    // Flat tiles (collimator shadow, background) are common: a full row is
    // four 16-byte stores.
    if (w == kTile) {
        const __m128i all = _mm_set1_epi16((short)v);
        for (int y = 0; y < h; ++y, dst += stride) {
            __m128i* row = reinterpret_cast<__m128i*>(dst);
            _mm_storeu_si128(row, all);
            _mm_storeu_si128(row + 1, all);
            _mm_storeu_si128(row + 2, all);
            _mm_storeu_si128(row + 3, all);
        }
        return;
    }
#endif
    for (int y = 0; y < h; ++y, dst += stride)
        for (int x = 0; x < w; ++x)
            dst[x] = v;
}

bool ValidTile(int stride, int depth, int w, int h)
{
    return depth >= 1 && depth <= 16 && w >= 1 && w <= kTile && h >= 1 && h <= kTile && stride >= w;
}

// Walks the tiles in stream order; `step` returns a tile's byte count or -1.
template <typename Step>
int32_t WalkTiles(int width, int height, Step step)
{
    const int rw = width % kTile, rh = height % kTile;
    const int fullW = width - rw, fullH = height - rh;
    int64_t total = 0;
    auto one = [&](int x, int y, int w, int h) {
        int r = step(x, y, w, h, total);
        if (r < 0)
            return false;
        total += r;
        return true;
    };
    for (int ty = 0; ty < fullH; ty += kTile)
        for (int tx = 0; tx < fullW; tx += kTile)
            if (!one(tx, ty, kTile, kTile))
                return -1;
    if (rw > 0)
        for (int ty = 0; ty < fullH; ty += kTile)
            if (!one(fullW, ty, rw, kTile))
                return -1;
    if (rh > 0)
        for (int tx = 0; tx < fullW; tx += kTile)
            if (!one(tx, fullH, kTile, rh))
                return -1;
    if (rw > 0 && rh > 0 && !one(fullW, fullH, rw, rh))
        return -1;
    return total > INT32_MAX ? -1 : (int32_t)total;
}

bool ValidRaster(int width, int height, int depth)
{
    return width >= 1 && height >= 1 && depth >= 1 && depth <= 16 && (int64_t)width * height <= INT32_MAX / 2;
}

} // namespace

namespace {

uint64_t LeastTileSize(uint64_t pixels, uint32_t depth)
{
    const uint64_t raw = 1 + (pixels * depth + 7) / 8;
    return raw < 3 ? raw : 3;
}

} // namespace

uint64_t LeastStreamSize(uint32_t width, uint32_t height, uint32_t depth)
{
    const uint64_t across = width / kTile, down = height / kTile;
    const uint64_t right = width % kTile, bottom = height % kTile;
    uint64_t size = across * down * LeastTileSize(kTile * kTile, depth);
    if (right)
        size += down * LeastTileSize(right * kTile, depth);
    if (bottom)
        size += across * LeastTileSize(kTile * bottom, depth);
    if (right && bottom)
        size += LeastTileSize(right * bottom, depth);
    return size;
}

uint32_t EncodeBufferBound(int width, int height)
{
    return (uint32_t)width * 2 * (uint32_t)height + (uint32_t)(width / kTile) * (uint32_t)(height / kTile) * 3;
}

int EncodeTilePart(const uint16_t* first, uint8_t* out, size_t capacity, int stride, int depth, int w, int h)
{
    if (!ValidTile(stride, depth, w, h))
        return -1;
    uint32_t lo, hi;
    MinMax(first, stride, w, h, lo, hi);
    if (lo == hi) {
        if (capacity < 3)
            return -1;
        out[0] = kFlat;
        out[1] = (uint8_t)lo;
        out[2] = (uint8_t)(lo >> 8);
        return 3;
    }
    int n = WidthFor(hi - lo);
    // The raw form carries only values below 2^depth; a tile holding larger
    // ones keeps its minimum in the packed form even when n equals the depth.
    const bool raw = n == depth && hi < (1u << depth);
    const uint32_t header = raw ? 1 : 3;
    const uint32_t size = header + FieldBytes(w * h, n);
    if (capacity < size)
        return -1;
    uint32_t base = 0;
    if (raw) {
        out[0] = kRaw;
    } else {
        base = lo;
        out[0] = (uint8_t)(2 * n + 1);
        out[1] = (uint8_t)lo;
        out[2] = (uint8_t)(lo >> 8);
    }
    if (w == kTile && h == kTile) {
#ifdef __SSE2__
        if (capacity - size >= kVectorOverWrite) {
            kPackTileVector[n](first, stride, base, out + header);
            return (int)size;
        }
#endif
        kPackTile[n](first, stride, base, out + header);
    } else
        PackFields(first, stride, w, h, n, base, out + header);
    return (int)size;
}

int EncodeTile(const uint16_t* first, uint8_t* out, size_t capacity, int stride, int depth)
{
    return EncodeTilePart(first, out, capacity, stride, depth, kTile, kTile);
}

int DecodeTilePart(const uint8_t* in, size_t available, uint16_t* first, int stride, int depth, int w, int h)
{
    if (!ValidTile(stride, depth, w, h) || available < 1)
        return -1;
    const uint8_t b = in[0];
    if (b == kFlat) {
        if (available < 3)
            return -1;
        Fill(first, stride, w, h, (uint16_t)(in[1] | (in[2] << 8)));
        return 3;
    }
    int n;
    uint32_t base, header;
    if (b == kRaw) {
        n = depth;
        base = 0;
        header = 1;
    } else {
        n = b >> 1;
        if (n > 16 || available < 3)
            return -1;
        base = in[1] | (in[2] << 8);
        header = 3;
    }
    const uint32_t size = header + FieldBytes(w * h, n);
    if (available < size)
        return -1;
    if (w == kTile && h == kTile) {
#ifdef __SSE2__
        if (available - size >= kVectorOverRead) {
            kUnpackTileVector[n](in + header, stride, base, first);
            return (int)size;
        }
#endif
        kUnpackTile[n](in + header, stride, base, first);
    } else {
        UnpackFields(in + header, stride, w, h, n, base, first);
    }
    return (int)size;
}

int DecodeTile(const uint8_t* in, size_t available, uint16_t* first, int stride, int depth)
{
    return DecodeTilePart(in, available, first, stride, depth, kTile, kTile);
}

int32_t EncodeRaster(const uint16_t* pixels, uint8_t* out, int32_t capacity, int width, int height, int depth)
{
    if (!ValidRaster(width, height, depth) || capacity < 0)
        return -1;
    return WalkTiles(width, height, [&](int x, int y, int w, int h, int64_t done) {
        return EncodeTilePart(pixels + (size_t)y * width + x, out + done, (size_t)(capacity - done), width, depth,
                              w, h);
    });
}

namespace {

// A full tile writes 64 bytes into each of its 32 rows, which no hardware
// prefetcher follows: the rows of the full tile two to the right of the one
// at `x` are asked for before it is decoded, so that its writes find their
// lines in the cache.
inline void PrefetchTileAhead(const uint16_t* first, int x, int width)
{
#ifdef __SSE2__
    if (x + 3 * kTile > width - width % kTile)
        return;
    const char* ahead = reinterpret_cast<const char*>(first + 2 * kTile);
    for (int row = 0; row < kTile; ++row, ahead += 2 * (size_t)width) {
        _mm_prefetch(ahead, _MM_HINT_T0);
        _mm_prefetch(ahead + 63, _MM_HINT_T0);
    }
#else
    (void)first;
    (void)x;
    (void)width;
#endif
}

} // namespace

int32_t DecodeRaster(uint16_t* pixels, int width, int height, int depth, const uint8_t* in, int32_t inSize)
{
    if (!ValidRaster(width, height, depth) || inSize < 0)
        return -1;
    return WalkTiles(width, height, [&](int x, int y, int w, int h, int64_t done) {
        if (w == kTile && h == kTile)
            PrefetchTileAhead(pixels + (size_t)y * width + x, x, width);
        return DecodeTilePart(in + done, (size_t)(inSize - done), pixels + (size_t)y * width + x, width, depth, w,
                              h);
    });
}

// ---- a stream given piece by piece ----
//
// The tiles in the order of WalkTiles: the full tiles row by row, then the
// right strip, the bottom strip and the corner. The cursor stays on the
// first tile not yet decoded.

namespace {

// The size of the tile whose header starts `in`: 0 when the header itself is
// not all there yet, -1 for a packed width above 16.
int64_t TileSize(const uint8_t* in, size_t available, int depth, int w, int h)
{
    if (available < 1)
        return 0;
    const uint8_t b = in[0];
    if (b == kFlat)
        return 3;
    if (b == kRaw)
        return 1 + (int64_t)FieldBytes(w * h, depth);
    const int n = b >> 1;
    if (n > 16)
        return -1;
    return 3 + (int64_t)FieldBytes(w * h, n);
}

} // namespace

TileStreamDecoder::TileStreamDecoder(uint16_t* pixels, int width, int height, int depth, TileRowGate* gate)
    : pixels_(pixels), width_(width), height_(height), depth_(depth), phase_(kFull), x_(0), y_(0), gate_(gate),
      reached_(0)
{
    if (!ValidRaster(width, height, depth))
        phase_ = kFailed;
    else
        Settle();
}

void TileStreamDecoder::Settle()
{
    const int rw = width_ % kTile, rh = height_ % kTile;
    const int fullW = width_ - rw, fullH = height_ - rh;
    for (;;) {
        switch (phase_) {
        case kFull:
            if (y_ >= fullH || fullW == 0) {
                phase_ = kRight;
                x_ = fullW;
                y_ = 0;
            } else if (x_ >= fullW) {
                x_ = 0;
                y_ += kTile;
            } else {
                return;
            }
            break;
        case kRight:
            if (rw > 0 && y_ < fullH)
                return;
            phase_ = kBottom;
            x_ = 0;
            y_ = fullH;
            break;
        case kBottom:
            if (rh > 0 && x_ < fullW)
                return;
            phase_ = kCorner;
            x_ = fullW;
            y_ = fullH;
            break;
        case kCorner:
            if (rw == 0 || rh == 0)
                phase_ = kDone;
            return;
        default:
            return;
        }
    }
}

void TileStreamDecoder::Advance()
{
    if (phase_ == kRight)
        y_ += kTile;
    else if (phase_ == kCorner)
        phase_ = kDone;
    else
        x_ += kTile;
    Settle();
}

int32_t TileStreamDecoder::Feed(const uint8_t* in, int32_t available, bool last)
{
    if (phase_ == kFailed || available < 0)
        return -1;
    int32_t used = 0;
    while (phase_ != kDone) {
        const int w = phase_ == kRight || phase_ == kCorner ? width_ % kTile : kTile;
        const int h = phase_ == kBottom || phase_ == kCorner ? height_ % kTile : kTile;
        const size_t left = (size_t)(available - used);
        const int64_t size = TileSize(in + used, left, depth_, w, h);
        if (size < 0 || (last && (size == 0 || (size_t)size > left))) {
            phase_ = kFailed;
            return -1;
        }
        if (size == 0 || (size_t)size > left)
            break;    // the rest of this tile comes with the next bytes
        // A full tile reaches the end of its row of tiles; the strips after
        // them run down the whole raster.
        const int reach = phase_ == kFull ? y_ + kTile : height_;
        if (gate_ && reach > reached_) {
            gate_->Reach(reach);
            reached_ = reach;
        }
        uint16_t* const first = pixels_ + (size_t)y_ * width_ + x_;
        if (phase_ == kFull)
            PrefetchTileAhead(first, x_, width_);
        const int r = DecodeTilePart(in + used, left, first, width_, depth_, w, h);
        if (r < 0) {
            phase_ = kFailed;
            return -1;
        }
        used += r;
        Advance();
    }
    return used;
}

bool TileStreamDecoder::SkipBands(int count)
{
    const int fullH = height_ - height_ % kTile;
    if (phase_ != kFull || x_ != 0 || count < 0 || (int64_t)y_ + (int64_t)count * kTile > fullH)
        return false;
    y_ += count * kTile;
    Settle();
    return true;
}

// ---- bands ----

int64_t TileBandSize(const uint8_t* in, size_t available, int width, int depth)
{
    if (width < kTile || depth < 1 || depth > 16)
        return -1;
    const int across = width / kTile;
    size_t at = 0;
    for (int tx = 0; tx < across; ++tx) {
        const int64_t size = TileSize(in + at, available - at, depth, kTile, kTile);
        if (size < 0)
            return -1;
        if (size == 0 || (uint64_t)size > available - at)
            return 0;
        at += (size_t)size;
    }
    return (int64_t)at;
}

int32_t DecodeTileBand(const uint8_t* in, size_t available, uint16_t* pixels, int width, int height, int depth,
                       int band)
{
    if (!ValidRaster(width, height, depth) || width < kTile || band < 0 || band >= height / kTile)
        return -1;
    const int across = width / kTile;
    uint16_t* row = pixels + (size_t)band * kTile * (size_t)width;
    size_t at = 0;
    for (int tx = 0; tx < across; ++tx) {
        uint16_t* const first = row + (size_t)tx * kTile;
        PrefetchTileAhead(first, tx * kTile, width);
        const int r = DecodeTilePart(in + at, available - at, first, width, depth, kTile, kTile);
        if (r < 0)
            return -1;
        at += (size_t)r;
    }
    return at > INT32_MAX ? -1 : (int32_t)at;
}
