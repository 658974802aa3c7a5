#include "engine/render/PixelBlend.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && defined(__SSE2__)
#define ZD_BLEND_X86 1
#include <immintrin.h>
#endif

namespace zd::engine::blend {

// ---------------------------------------------------------------------------------------------
// Plain routines: the definition of every other.

namespace {}  // namespace

namespace scalar {

void solidCells(QRgb* dst, const std::uint8_t* coverage, int n, QRgb colour) {
    const bool opaque = qAlpha(colour) == 255;
    for (int i = 0; i < n; ++i) {
        const unsigned c = coverage[i];
        if (c == 255 && opaque) {
            dst[i] = colour;  // what lay there does not show: no need to read it
        } else if (c != 0) {
            dst[i] = over(scale(colour, c), dst[i]);
        }
    }
}

void solidRun(QRgb* dst, int n, QRgb colour, std::uint8_t coverage) {
    const QRgb src = scale(colour, coverage);
    if (qAlpha(src) == 255) {
        std::fill(dst, dst + n, src);
        return;
    }
    for (int i = 0; i < n; ++i) {
        dst[i] = over(src, dst[i]);
    }
}

void shadedCells(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n) {
    for (int i = 0; i < n; ++i) {
        if (coverage[i] != 0) {
            dst[i] = over(scale(src[i], coverage[i]), dst[i]);
        }
    }
}

void shadedRun(QRgb* dst, const QRgb* src, int n, std::uint8_t coverage) {
    for (int i = 0; i < n; ++i) {
        dst[i] = over(scale(src[i], coverage), dst[i]);
    }
}

std::int32_t coverageRun(std::int32_t* cells, int n, std::int32_t sum, std::uint8_t* coverage,
                         bool nonZero) {
    auto running = static_cast<std::uint32_t>(sum);
    for (int i = 0; i < n; ++i) {
        running += static_cast<std::uint32_t>(cells[i]);
        cells[i] = 0;
        const auto s = static_cast<std::int32_t>(running);
        const std::uint32_t magnitude =
            (s < 0 ? 0u - static_cast<std::uint32_t>(s) : static_cast<std::uint32_t>(s)) >> 8;
        // Covered area in 256ths of a pixel, scaled to 255 with the remainder dropped.
        std::uint32_t c;
        if (nonZero) {
            c = std::min(magnitude, 256u);
        } else {
            const std::uint32_t folded = magnitude & 511;
            c = std::min(folded, 512 - folded);
        }
        coverage[i] = static_cast<std::uint8_t>((c * 255 + 128) >> 8);
    }
    return static_cast<std::int32_t>(running);
}

}  // namespace scalar

#ifdef ZD_BLEND_X86

// ---------------------------------------------------------------------------------------------
// SSE2: four pixels at a time, each channel in 16 bits.

namespace sse2 {

inline __m128i mul(__m128i x, __m128i a) {
    const __m128i t = _mm_mullo_epi16(x, a);
    return _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), _mm_set1_epi16(0x80)), 8);
}

// Each pixel's alpha in all four of its channels.
inline __m128i alphas(__m128i x) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xff), 0xff);
}

// Two pixels (16-bit channels) of src, coverage applied already, over two of dst.
inline __m128i over(__m128i src, __m128i dst) {
    const __m128i rest = _mm_sub_epi16(_mm_set1_epi16(255), alphas(src));
    return _mm_add_epi16(src, mul(dst, rest));
}

// Four coverage values, each spread over the channels of its pixel: pixels 0-1, 2-3.
inline void spread(const std::uint8_t* c, __m128i& lo, __m128i& hi) {
    int four;
    std::memcpy(&four, c, 4);
    const __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(four), _mm_setzero_si128());
    const __m128i pairs = _mm_unpacklo_epi16(v, v);
    lo = _mm_unpacklo_epi32(pairs, pairs);
    hi = _mm_unpackhi_epi32(pairs, pairs);
}

inline __m128i blend4(__m128i src, __m128i covLo, __m128i covHi, __m128i dst) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = over(mul(_mm_unpacklo_epi8(src, zero), covLo), _mm_unpacklo_epi8(dst, zero));
    const __m128i hi = over(mul(_mm_unpackhi_epi8(src, zero), covHi), _mm_unpackhi_epi8(dst, zero));
    return _mm_packus_epi16(lo, hi);
}

inline bool allOpaque(__m128i src) {
    const __m128i a = _mm_srli_epi32(src, 24);
    return _mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_set1_epi32(255))) == 0xffff;
}

void solidCells(QRgb* dst, const std::uint8_t* coverage, int n, QRgb colour) {
    const __m128i src = _mm_set1_epi32(static_cast<int>(colour));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i lo, hi;
        spread(coverage + i, lo, hi);
        auto* p = reinterpret_cast<__m128i*>(dst + i);
        _mm_storeu_si128(p, blend4(src, lo, hi, _mm_loadu_si128(p)));
    }
    scalar::solidCells(dst + i, coverage + i, n - i, colour);
}

void solidRun(QRgb* dst, int n, QRgb colour, std::uint8_t coverage) {
    const QRgb src = scale(colour, coverage);
    int i = 0;
    if (qAlpha(src) == 255) {
        const __m128i v = _mm_set1_epi32(static_cast<int>(src));
        for (; i + 4 <= n; i += 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
        }
    } else {
        const __m128i zero = _mm_setzero_si128();
        const __m128i s = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(src)), zero);
        for (; i + 4 <= n; i += 4) {
            auto* p = reinterpret_cast<__m128i*>(dst + i);
            const __m128i d = _mm_loadu_si128(p);
            const __m128i lo = over(s, _mm_unpacklo_epi8(d, zero));
            const __m128i hi = over(s, _mm_unpackhi_epi8(d, zero));
            _mm_storeu_si128(p, _mm_packus_epi16(lo, hi));
        }
    }
    scalar::solidRun(dst + i, n - i, colour, coverage);
}

void shadedCells(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i lo, hi;
        spread(coverage + i, lo, hi);
        auto* p = reinterpret_cast<__m128i*>(dst + i);
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(p, blend4(s, lo, hi, _mm_loadu_si128(p)));
    }
    scalar::shadedCells(dst + i, src + i, coverage + i, n - i);
}

void shadedRun(QRgb* dst, const QRgb* src, int n, std::uint8_t coverage) {
    const __m128i c = _mm_set1_epi16(coverage);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        auto* p = reinterpret_cast<__m128i*>(dst + i);
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        if (coverage == 255 && allOpaque(s)) {
            _mm_storeu_si128(p, s);
        } else {
            _mm_storeu_si128(p, blend4(s, c, c, _mm_loadu_si128(p)));
        }
    }
    scalar::shadedRun(dst + i, src + i, n - i, coverage);
}

// Coverage from four running sums (32-bit lanes) as bytes in the low four.
inline int coverage4(__m128i sums, bool nonZero) {
    const __m128i sign = _mm_srai_epi32(sums, 31);
    const __m128i magnitude = _mm_srli_epi32(_mm_sub_epi32(_mm_xor_si128(sums, sign), sign), 8);
    __m128i c;
    if (nonZero) {
        // Saturating packs stop each at 32767 (the magnitude is below 2^24, so never
        // negative); a whole pixel is 256.
        c = _mm_min_epi16(_mm_packs_epi32(magnitude, magnitude), _mm_set1_epi16(256));
    } else {
        const __m128i folded =
            _mm_packs_epi32(_mm_and_si128(magnitude, _mm_set1_epi32(511)), _mm_setzero_si128());
        c = _mm_min_epi16(folded, _mm_sub_epi16(_mm_set1_epi16(512), folded));
    }
    // In 256ths, scaled to 255 with the remainder dropped, as the scalar routine does.
    c = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(c, _mm_set1_epi16(255)), _mm_set1_epi16(128)),
                       8);
    return _mm_cvtsi128_si32(_mm_packus_epi16(c, c));
}

// The running sums of four cells from carry (in every lane).
inline __m128i prefix4(__m128i v, __m128i carry) {
    v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
    v = _mm_add_epi32(v, _mm_slli_si128(v, 8));
    return _mm_add_epi32(v, carry);
}

std::int32_t coverageRun(std::int32_t* cells, int n, std::int32_t sum, std::uint8_t* coverage,
                         bool nonZero) {
    int i = 0;
    __m128i carry = _mm_set1_epi32(sum);
    for (; i + 4 <= n; i += 4) {
        auto* p = reinterpret_cast<__m128i*>(cells + i);
        const __m128i sums = prefix4(_mm_loadu_si128(p), carry);
        _mm_storeu_si128(p, _mm_setzero_si128());
        carry = _mm_shuffle_epi32(sums, 0xff);
        const int four = coverage4(sums, nonZero);
        std::memcpy(coverage + i, &four, 4);
    }
    return scalar::coverageRun(cells + i, n - i, _mm_cvtsi128_si32(carry), coverage + i, nonZero);
}

}  // namespace sse2

// ---------------------------------------------------------------------------------------------
// AVX2: eight pixels at a time, for processors that have it.

namespace avx2 {

#define ZD_AVX2 __attribute__((target("avx2")))

ZD_AVX2 inline __m256i mul(__m256i x, __m256i a) {
    const __m256i t = _mm256_mullo_epi16(x, a);
    return _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), _mm256_set1_epi16(0x80)), 8);
}

ZD_AVX2 inline __m256i over(__m256i src, __m256i dst) {
    const __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(src, 0xff), 0xff);
    return _mm256_add_epi16(src, mul(dst, _mm256_sub_epi16(_mm256_set1_epi16(255), a)));
}

// Eight coverage values spread over their pixels' channels, in the order the 8-bit to 16-bit
// unpacking leaves pixels: lo holds 0, 1 | 4, 5 and hi 2, 3 | 6, 7.
ZD_AVX2 inline void spread(const std::uint8_t* c, __m256i& lo, __m256i& hi) {
    long long eight;
    std::memcpy(&eight, c, 8);
    const __m256i v = _mm256_mullo_epi32(_mm256_cvtepu8_epi32(_mm_cvtsi64_si128(eight)),
                                         _mm256_set1_epi32(0x00010001));
    lo = _mm256_unpacklo_epi32(v, v);
    hi = _mm256_unpackhi_epi32(v, v);
}

ZD_AVX2 inline __m256i blend8(__m256i src, __m256i covLo, __m256i covHi, __m256i dst) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo =
        over(mul(_mm256_unpacklo_epi8(src, zero), covLo), _mm256_unpacklo_epi8(dst, zero));
    const __m256i hi =
        over(mul(_mm256_unpackhi_epi8(src, zero), covHi), _mm256_unpackhi_epi8(dst, zero));
    return _mm256_packus_epi16(lo, hi);
}

ZD_AVX2 void solidCells(QRgb* dst, const std::uint8_t* coverage, int n, QRgb colour) {
    const __m256i src = _mm256_set1_epi32(static_cast<int>(colour));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i lo, hi;
        spread(coverage + i, lo, hi);
        auto* p = reinterpret_cast<__m256i*>(dst + i);
        _mm256_storeu_si256(p, blend8(src, lo, hi, _mm256_loadu_si256(p)));
    }
    sse2::solidCells(dst + i, coverage + i, n - i, colour);
}

ZD_AVX2 void solidRun(QRgb* dst, int n, QRgb colour, std::uint8_t coverage) {
    const QRgb src = scale(colour, coverage);
    int i = 0;
    if (qAlpha(src) == 255) {
        const __m256i v = _mm256_set1_epi32(static_cast<int>(src));
        for (; i + 8 <= n; i += 8) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
        }
    } else {
        const __m256i zero = _mm256_setzero_si256();
        const __m256i s = _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(src)), zero);
        for (; i + 8 <= n; i += 8) {
            auto* p = reinterpret_cast<__m256i*>(dst + i);
            const __m256i d = _mm256_loadu_si256(p);
            const __m256i lo = over(s, _mm256_unpacklo_epi8(d, zero));
            const __m256i hi = over(s, _mm256_unpackhi_epi8(d, zero));
            _mm256_storeu_si256(p, _mm256_packus_epi16(lo, hi));
        }
    }
    sse2::solidRun(dst + i, n - i, colour, coverage);
}

ZD_AVX2 void shadedCells(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i lo, hi;
        spread(coverage + i, lo, hi);
        auto* p = reinterpret_cast<__m256i*>(dst + i);
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        _mm256_storeu_si256(p, blend8(s, lo, hi, _mm256_loadu_si256(p)));
    }
    sse2::shadedCells(dst + i, src + i, coverage + i, n - i);
}

ZD_AVX2 void shadedRun(QRgb* dst, const QRgb* src, int n, std::uint8_t coverage) {
    const __m256i c = _mm256_set1_epi16(coverage);
    const __m256i opaque = _mm256_set1_epi32(255);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        auto* p = reinterpret_cast<__m256i*>(dst + i);
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const bool solid = coverage == 255 && _mm256_movemask_epi8(_mm256_cmpeq_epi32(
                                                  _mm256_srli_epi32(s, 24), opaque)) == -1;
        _mm256_storeu_si256(p, solid ? s : blend8(s, c, c, _mm256_loadu_si256(p)));
    }
    sse2::shadedRun(dst + i, src + i, n - i, coverage);
}

ZD_AVX2 std::int32_t coverageRun(std::int32_t* cells, int n, std::int32_t sum,
                                 std::uint8_t* coverage, bool nonZero) {
    int i = 0;
    __m256i carry = _mm256_set1_epi32(sum);
    for (; i + 8 <= n; i += 8) {
        auto* p = reinterpret_cast<__m256i*>(cells + i);
        __m256i v = _mm256_loadu_si256(p);
        // Running sums within each half, then the low half's total carried into the high one.
        v = _mm256_add_epi32(v, _mm256_slli_si256(v, 4));
        v = _mm256_add_epi32(v, _mm256_slli_si256(v, 8));
        const __m256i lowTotal = _mm256_permutevar8x32_epi32(v, _mm256_set1_epi32(3));
        v = _mm256_add_epi32(v, _mm256_blend_epi32(_mm256_setzero_si256(), lowTotal, 0xf0));
        const __m256i sums = _mm256_add_epi32(v, carry);
        _mm256_storeu_si256(p, _mm256_setzero_si256());
        carry = _mm256_permutevar8x32_epi32(sums, _mm256_set1_epi32(7));
        const int low = sse2::coverage4(_mm256_castsi256_si128(sums), nonZero);
        const int high = sse2::coverage4(_mm256_extracti128_si256(sums, 1), nonZero);
        std::memcpy(coverage + i, &low, 4);
        std::memcpy(coverage + i + 4, &high, 4);
    }
    return sse2::coverageRun(cells + i, n - i, _mm256_cvtsi256_si32(carry), coverage + i, nonZero);
}

#undef ZD_AVX2

}  // namespace avx2

#endif  // ZD_BLEND_X86

// ---------------------------------------------------------------------------------------------

namespace {

Routines scalarRoutines() {
    return {scalar::solidCells, scalar::solidRun,    scalar::shadedCells,
            scalar::shadedRun,  scalar::coverageRun, "scalar"};
}

Routines choose() {
    return availableRoutines().front();
}

const Routines& routines() {
    static const Routines chosen = choose();
    return chosen;
}

}  // namespace

// Runs shorter than this (most of the cells along edges) go straight to the plain routines.
constexpr int kShortRun = 4;

void solidCells(QRgb* dst, const std::uint8_t* coverage, int n, QRgb colour) {
    if (n < kShortRun) {
        scalar::solidCells(dst, coverage, n, colour);
    } else {
        routines().solidCells(dst, coverage, n, colour);
    }
}

void solidRun(QRgb* dst, int n, QRgb colour, std::uint8_t coverage) {
    if (n < kShortRun) {
        scalar::solidRun(dst, n, colour, coverage);
    } else {
        routines().solidRun(dst, n, colour, coverage);
    }
}

void shadedCells(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n) {
    if (n < kShortRun) {
        scalar::shadedCells(dst, src, coverage, n);
    } else {
        routines().shadedCells(dst, src, coverage, n);
    }
}

void shadedRun(QRgb* dst, const QRgb* src, int n, std::uint8_t coverage) {
    if (n < kShortRun) {
        scalar::shadedRun(dst, src, n, coverage);
    } else {
        routines().shadedRun(dst, src, n, coverage);
    }
}

std::int32_t coverageRun(std::int32_t* cells, int n, std::int32_t sum, std::uint8_t* coverage,
                         bool nonZero) {
    if (n < kShortRun) {
        return scalar::coverageRun(cells, n, sum, coverage, nonZero);
    }
    return routines().coverageRun(cells, n, sum, coverage, nonZero);
}

const char* instructionSet() {
    return routines().name;
}

std::vector<Routines> availableRoutines() {
    std::vector<Routines> out;
#ifdef ZD_BLEND_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        out.push_back({avx2::solidCells, avx2::solidRun, avx2::shadedCells, avx2::shadedRun,
                       avx2::coverageRun, "avx2"});
    }
    out.push_back({sse2::solidCells, sse2::solidRun, sse2::shadedCells, sse2::shadedRun,
                   sse2::coverageRun, "sse2"});
#endif
    out.push_back(scalarRoutines());
    return out;
}

}  // namespace zd::engine::blend
