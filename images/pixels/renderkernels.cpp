#include "images/pixels/renderkernels.h"

#include <string.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

inline void Store32(uint8_t* p, uint32_t v)
{
    memcpy(p, &v, 4);
}

// Four table values in one little-endian word: the first in the low byte.
inline uint32_t Four(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    return a | b << 8 | c << 16 | d << 24;
}

} // namespace

#ifdef __SSE2__

// The 16-bit word at lut + v: the entry of v in its low byte (the high byte,
// the next entry or the table's spare byte, is masked off by the caller).
inline int EntryWord(const uint8_t* lut, uint32_t v)
{
    uint16_t w;
    memcpy(&w, lut + v, 2);
    return w;
}

// Lanes K..7 of four vectors, from the pixels K, 8 + K, 16 + K and 24 + K of s.
template <int K>
inline void InsertEntries(__m128i& a, __m128i& b, __m128i& c, __m128i& d, const uint16_t* s, const uint8_t* lut)
{
    a = _mm_insert_epi16(a, EntryWord(lut, s[K]), K);
    b = _mm_insert_epi16(b, EntryWord(lut, s[8 + K]), K);
    c = _mm_insert_epi16(c, EntryWord(lut, s[16 + K]), K);
    d = _mm_insert_epi16(d, EntryWord(lut, s[24 + K]), K);
    InsertEntries<K + 1>(a, b, c, d, s, lut);
}

template <>
inline void InsertEntries<8>(__m128i&, __m128i&, __m128i&, __m128i&, const uint16_t*, const uint8_t*)
{
}

#endif

void LutRow(const uint16_t* __restrict src, const uint8_t* __restrict lut, uint8_t* __restrict out, int n)
{
    int i = 0;
#ifdef __SSE2__
    // Thirty-two pixels a step: each entry goes straight from the table into
    // a 16-bit lane of one of four vectors (one instruction, where combining
    // bytes in a register takes three), whose low bytes make two 16-byte stores.
    const __m128i low = _mm_set1_epi16(0xFF);
    for (; i + 32 <= n; i += 32) {
        const uint16_t* s = src + i;
        __m128i a = _mm_cvtsi32_si128(EntryWord(lut, s[0])), b = _mm_cvtsi32_si128(EntryWord(lut, s[8]));
        __m128i c = _mm_cvtsi32_si128(EntryWord(lut, s[16])), d = _mm_cvtsi32_si128(EntryWord(lut, s[24]));
        InsertEntries<1>(a, b, c, d, s, lut);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(_mm_and_si128(a, low), _mm_and_si128(b, low)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 16),
                         _mm_packus_epi16(_mm_and_si128(c, low), _mm_and_si128(d, low)));
    }
#endif
    // Eight pixels a step, stored four bytes at a time: a byte store per
    // pixel costs more than the look-ups themselves.
    for (; i + 8 <= n; i += 8) {
        Store32(out + i, Four(lut[src[i]], lut[src[i + 1]], lut[src[i + 2]], lut[src[i + 3]]));
        Store32(out + i + 4, Four(lut[src[i + 4]], lut[src[i + 5]], lut[src[i + 6]], lut[src[i + 7]]));
    }
    for (; i < n; ++i)
        out[i] = lut[src[i]];
}

void NearestRow(const uint16_t* __restrict row, const int32_t* __restrict cols, const uint8_t* __restrict lut,
                uint8_t* __restrict out, int n)
{
    int i = 0;
    for (; i + 4 <= n; i += 4)
        Store32(out + i, Four(lut[row[cols[i]]], lut[row[cols[i + 1]]], lut[row[cols[i + 2]]], lut[row[cols[i + 3]]]));
    for (; i < n; ++i)
        out[i] = lut[row[cols[i]]];
}

#ifdef __SSE2__

// Pixels p and p + 1 of a row in the low and high halves of a 32-bit lane.
inline __m128i PairAt(const uint16_t* row, int32_t p)
{
    uint32_t v;
    memcpy(&v, row + p, 4);
    return _mm_cvtsi32_si128((int)v);
}

// Four lanes of pairs: the pixels at cols[0..3] and their right neighbours.
inline __m128i FourPairs(const uint16_t* row, const int32_t* cols)
{
    const __m128i p01 = _mm_unpacklo_epi32(PairAt(row, cols[0]), PairAt(row, cols[1]));
    const __m128i p23 = _mm_unpacklo_epi32(PairAt(row, cols[2]), PairAt(row, cols[3]));
    return _mm_unpacklo_epi64(p01, p23);
}

// The bilinear index of four pixels from their pairs (a, b) of the upper row
// and (c, d) of the lower one, with the weights (256 - fx, fx) of each pixel
// and (256 - fy, fy) of the row, all in 16-bit halves of 32-bit lanes.
//
// pmaddwd multiplies signed 16-bit values: pixels are moved down by 32768
// (the top bit flipped) and the sums moved back up by 32768 x 256. With
// top = 256 a + fx (b - a) = (256 - fx) a + fx b, likewise bottom, the index
// (256 top + fy (bottom - top)) / 65536 = ((256 - fy) top + fy bottom) / 65536
// is taken in two halves that stay inside 32 bits: with top = 256 t1 + t0 and
// bottom = 256 b1 + b0, s1 = (256 - fy) t1 + fy b1 and
// s0 = (256 - fy) t0 + fy b0, the index is (s1 + s0 / 256) / 256, all
// divisions truncating. Exactly the formula, for every input.
inline __m128i BilinearIndex(__m128i ab, __m128i cd, __m128i wx, __m128i wy)
{
    const __m128i flip = _mm_set1_epi16((short)0x8000);
    const __m128i lift = _mm_set1_epi32(32768 * 256);
    const __m128i low8 = _mm_set1_epi32(255);
    const __m128i top = _mm_add_epi32(_mm_madd_epi16(_mm_xor_si128(ab, flip), wx), lift);
    const __m128i bottom = _mm_add_epi32(_mm_madd_epi16(_mm_xor_si128(cd, flip), wx), lift);
    const __m128i high = _mm_or_si128(_mm_srli_epi32(top, 8), _mm_slli_epi32(_mm_srli_epi32(bottom, 8), 16));
    const __m128i low = _mm_or_si128(_mm_and_si128(top, low8), _mm_slli_epi32(_mm_and_si128(bottom, low8), 16));
    const __m128i s1 = _mm_add_epi32(_mm_madd_epi16(_mm_xor_si128(high, flip), wy), lift);
    const __m128i s0 = _mm_madd_epi16(low, wy);
    return _mm_srli_epi32(_mm_add_epi32(s1, _mm_srli_epi32(s0, 8)), 8);
}

#endif

void BilinearRow(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const int32_t* __restrict cols,
                 const uint16_t* __restrict fxs, uint32_t fy, const uint8_t* __restrict lut, uint8_t* __restrict out,
                 int n)
{
    int i = 0;
#ifdef __SSE2__
    // Eight pixels a step: the arithmetic in vectors, the reads of the two
    // rows and of the table one by one.
    const __m128i wy = _mm_set1_epi32((int)((256 - fy) | fy << 16));
    const __m128i full = _mm_set1_epi16(256);
    for (; i + 8 <= n; i += 8) {
        const __m128i fx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fxs + i));
        const __m128i rest = _mm_sub_epi16(full, fx);
        const __m128i wx0 = _mm_unpacklo_epi16(rest, fx), wx1 = _mm_unpackhi_epi16(rest, fx);
        const __m128i i0 = BilinearIndex(FourPairs(r0, cols + i), FourPairs(r1, cols + i), wx0, wy);
        const __m128i i1 = BilinearIndex(FourPairs(r0, cols + i + 4), FourPairs(r1, cols + i + 4), wx1, wy);
        uint32_t index[8];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(index), i0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(index + 4), i1);
        Store32(out + i, Four(lut[index[0]], lut[index[1]], lut[index[2]], lut[index[3]]));
        Store32(out + i + 4, Four(lut[index[4]], lut[index[5]], lut[index[6]], lut[index[7]]));
    }
#endif
    for (; i < n; ++i) {
        const int32_t sx = cols[i];
        const uint32_t fx = fxs[i];
        const uint32_t a = r0[sx], b = r0[sx + 1], c = r1[sx], d = r1[sx + 1];
        const uint32_t top = (a << 8) + fx * (b - a);
        const uint32_t bottom = (c << 8) + fx * (d - c);
        out[i] = lut[((top << 8) + fy * (bottom - top)) >> 16];
    }
}

void VerticalRow(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const int32_t* __restrict cols,
                 uint32_t fy, const uint8_t* __restrict lut, uint8_t* __restrict out, int n)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t a = r0[cols[i]], c = r1[cols[i]];
        out[i] = lut[((a << 8) + fy * (c - a)) >> 8];
    }
}

void HorizontalRow(const uint16_t* __restrict r0, const int32_t* __restrict cols, const uint16_t* __restrict fxs,
                   const uint8_t* __restrict lut, uint8_t* __restrict out, int n)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t a = r0[cols[i]], b = r0[cols[i] + 1];
        out[i] = lut[((a << 8) + fxs[i] * (b - a)) >> 8];
    }
}

void PrefetchRow(const uint16_t* row, int first, int last)
{
    const char* p = reinterpret_cast<const char*>(row + first);
    const char* end = reinterpret_cast<const char*>(row + last);
    for (; p < end; p += 64)
        __builtin_prefetch(p, 0, 3);
    __builtin_prefetch(end, 0, 3);
}
