// The update kernel in AVX-512 and AVX2 intrinsics. Every cell is the same
// sequence of IEEE operations as cells::interior, with a separate multiply
// and add (never a fused multiply-add); only the order in which cells are
// visited and the instructions that compute them change.
#include "kernel_x86.h"

#if VELARION_KERNEL_X86

#include "kernel_cells.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#define VELARION_AVX512 __attribute__((target("avx512f,avx512dq")))
#define VELARION_AVX2 __attribute__((target("avx2")))

namespace velarion::x86 {

namespace {

// Cells from p to the next multiple of `bytes` in memory.
int cellsToBoundary(const double* p, std::uintptr_t bytes) {
    const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(p) % bytes;
    return offset == 0 ? 0 : static_cast<int>((bytes - offset) / sizeof(double));
}

bool sameOffset(const double* a, const double* b, std::uintptr_t bytes) {
    return reinterpret_cast<std::uintptr_t>(a) % bytes ==
           reinterpret_cast<std::uintptr_t>(b) % bytes;
}

// Interior cells from..to-1, one at a time: the heads and tails of the
// vector loops.
std::uint64_t scalarCells(const double* C, const double* O, double* T, int from, int to,
                          double k2) {
    std::uint64_t bad = 0;
    for (int s = from; s < to; ++s) {
        T[s] = cells::interior(C, O, s, k2);
        bad |= cells::nonFinite(T[s]);
    }
    return bad;
}

// The first interior cell after the scalar head that brings T + s onto a
// multiple of `bytes` (or M when the row ends first).
int alignedStart(const double* T, int M, std::uintptr_t bytes) {
    return std::min(M, 1 + cellsToBoundary(T + 1, bytes));
}

// ---- AVX-512: eight cells per vector ------------------------------------

// cells::interior on eight cells: k2 * ((C(s+1) - 2C(s)) + C(s-1)) + (2C(s) - O(s)).
VELARION_AVX512 inline __m512d interior8(__m512d left, __m512d mid, __m512d right, __m512d old,
                                         __m512d k2) {
    const __m512d twice = _mm512_add_pd(mid, mid);
    const __m512d strain = _mm512_add_pd(_mm512_sub_pd(right, twice), left);
    return _mm512_add_pd(_mm512_mul_pd(k2, strain), _mm512_sub_pd(twice, old));
}

// All eight lanes. (The unmasked valignq intrinsic of GCC 12 trips its own
// uninitialised-value warning; with every lane selected it is the same
// instruction.)
constexpr __mmask8 kAllLanes = 0xff;

// {a[7], b[0..6]}: the cells one to the left of b.
VELARION_AVX512 inline __m512d shiftedLeft(__m512d a, __m512d b) {
    return _mm512_castsi512_pd(
        _mm512_maskz_alignr_epi64(kAllLanes, _mm512_castpd_si512(b), _mm512_castpd_si512(a), 7));
}

// {b[1..7], c[0]}: the cells one to the right of b.
VELARION_AVX512 inline __m512d shiftedRight(__m512d b, __m512d c) {
    return _mm512_castsi512_pd(
        _mm512_maskz_alignr_epi64(kAllLanes, _mm512_castpd_si512(c), _mm512_castpd_si512(b), 1));
}

// Lanes holding an infinity or a NaN (quiet or signalling).
VELARION_AVX512 inline __mmask8 nonFinite8(__m512d v) {
    constexpr int kQNaN = 0x01, kPlusInf = 0x08, kMinusInf = 0x10, kSNaN = 0x80;
    return _mm512_fpclass_pd_mask(v, kQNaN | kPlusInf | kMinusInf | kSNaN);
}

}  // namespace

VELARION_AVX512
bool updateRowAvx512(const double* C, const double* O, double* T, int M, const KernelFactors& f) {
    constexpr std::uintptr_t kLine = 64;
    std::uint64_t bad = cells::nonFinite(T[0] = cells::first(C, O, f));
    // Scalar cells until the stores start on a cache line: a 64-byte store
    // that straddles two lines costs twice.
    int s = alignedStart(T, M, kLine);
    bad |= scalarCells(C, O, T, 1, s, f.k2);
    const __m512d k2 = _mm512_set1_pd(f.k2);
    __mmask8 badLanes = 0;
    if (sameOffset(C, T, kLine) && s + 15 <= M) {
        // C lies like T: each line of C is loaded once, aligned, and the
        // neighbours are shifted in from the vectors on either side. Only
        // lane 7 of `left` is used.
        __m512d left = _mm512_set1_pd(C[s - 1]);
        __m512d mid = _mm512_load_pd(C + s);
        for (; s + 15 <= M; s += 8) {
            const __m512d right = _mm512_load_pd(C + s + 8);
            const __m512d v = interior8(shiftedLeft(left, mid), mid, shiftedRight(mid, right),
                                        _mm512_loadu_pd(O + s), k2);
            _mm512_store_pd(T + s, v);
            badLanes |= nonFinite8(v);
            left = mid;
            mid = right;
        }
    }
    for (; s + 8 <= M; s += 8) {
        const __m512d v = interior8(_mm512_loadu_pd(C + s - 1), _mm512_loadu_pd(C + s),
                                    _mm512_loadu_pd(C + s + 1), _mm512_loadu_pd(O + s), k2);
        _mm512_storeu_pd(T + s, v);
        badLanes |= nonFinite8(v);
    }
    bad |= scalarCells(C, O, T, s, M, f.k2);
    bad |= cells::nonFinite(T[M] = cells::last(C, O, M, f));
    return bad == 0 && badLanes == 0;
}

namespace {

// ---- AVX2: four cells per vector ----------------------------------------

VELARION_AVX2 inline __m256d interior4(__m256d left, __m256d mid, __m256d right, __m256d old,
                                       __m256d k2) {
    const __m256d twice = _mm256_add_pd(mid, mid);
    const __m256d strain = _mm256_add_pd(_mm256_sub_pd(right, twice), left);
    return _mm256_add_pd(_mm256_mul_pd(k2, strain), _mm256_sub_pd(twice, old));
}

// All-ones lanes where the exponent bits are all set (infinity or NaN).
VELARION_AVX2 inline __m256i nonFinite4(__m256d v) {
    const __m256i exponent = _mm256_set1_epi64x(0x7ff0000000000000LL);
    return _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_castpd_si256(v), exponent), exponent);
}

}  // namespace

VELARION_AVX2
bool updateRowAvx2(const double* C, const double* O, double* T, int M, const KernelFactors& f) {
    // 32-byte stores on a 32-byte boundary never straddle a cache line.
    constexpr std::uintptr_t kVector = 32;
    std::uint64_t bad = cells::nonFinite(T[0] = cells::first(C, O, f));
    int s = alignedStart(T, M, kVector);
    bad |= scalarCells(C, O, T, 1, s, f.k2);
    const __m256d k2 = _mm256_set1_pd(f.k2);
    __m256i badLanes = _mm256_setzero_si256();
    for (; s + 4 <= M; s += 4) {
        const __m256d v = interior4(_mm256_loadu_pd(C + s - 1), _mm256_loadu_pd(C + s),
                                    _mm256_loadu_pd(C + s + 1), _mm256_loadu_pd(O + s), k2);
        _mm256_storeu_pd(T + s, v);
        badLanes = _mm256_or_si256(badLanes, nonFinite4(v));
    }
    bad |= scalarCells(C, O, T, s, M, f.k2);
    bad |= cells::nonFinite(T[M] = cells::last(C, O, M, f));
    return bad == 0 && _mm256_testz_si256(badLanes, badLanes) != 0;
}

}  // namespace velarion::x86

#endif
