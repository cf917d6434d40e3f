// The update kernel in AVX-512 and AVX2 intrinsics. Every cell is the same
// sequence of IEEE operations as cells::interior, with a separate multiply
// and add (never a fused multiply-add); only the order in which cells are
// visited and the instructions that compute them change.
//
// The energy terms need more subtractions than the update itself, and a
// processor has as many units that multiply as units that add. So the
// subtractions of the energy terms run as a fused multiply-subtract by 1:
// a * 1 is exact, so fmsub(a, 1, b) rounds a - b once, to the same bits as
// a plain subtraction, on the multiplying units (energy_bench measures
// the fused update against the bare one).
#include "kernel_x86.h"

#if VELARION_KERNEL_X86

#include "kernel_cells.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#define VELARION_AVX512 __attribute__((target("avx512f,avx512dq,fma")))
#define VELARION_AVX2 __attribute__((target("avx2,fma")))

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

// The energy sums of segment s's block.
EnergySums& blockOf(EnergySums* blocks, int s) {
    return blocks[s / kEnergyBlock];
}

// Interior cells from..to-1, one at a time: the heads and tails of the
// vector loops. With `blocks`, their energy terms as well.
std::uint64_t scalarCells(const double* C, const double* O, double* T, int from, int to,
                          const KernelFactors& f, EnergySums* blocks) {
    std::uint64_t bad = 0;
    for (int s = from; s < to; ++s) {
        T[s] = cells::interiorOf(C, O, s, f);
        bad |= cells::nonFinite(T[s]);
        if (blocks != nullptr) {
            cells::addEnergyTerms(C, O, s, f.L0, blockOf(blocks, s));
        }
    }
    return bad;
}

// Segment 0, with its energy terms when asked for.
std::uint64_t firstCell(const double* C, const double* O, double* T, const KernelFactors& f,
                        EnergySums* blocks) {
    if (blocks != nullptr) {
        cells::addEnergyTerms(C, O, 0, f.L0, blocks[0]);
    }
    return cells::nonFinite(T[0] = cells::first(C, O, f));
}

// Segment M, with its energy term when asked for.
std::uint64_t lastCell(const double* C, const double* O, double* T, int M, const KernelFactors& f,
                       EnergySums* blocks) {
    if (blocks != nullptr) {
        cells::addLastEnergyTerm(C, O, M, blockOf(blocks, M));
    }
    return cells::nonFinite(T[M] = cells::last(C, O, M, f));
}

// The entries of a sum that the lanes of a vector starting at segment s
// add into: lane j holds segment s + j, entry (s + j) % 8. The vector loops
// step by 8 cells, so the mapping holds for the whole loop.
struct LaneMap {
    int first;  // s % 8 of the loop's first vector
    // In a row that starts on a cache line, as the runs' rows do, the
    // vectors start on a multiple of 8 and lane j is entry j.
    void gather(const double* entries, double* lanes, int count) const {
        if (first == 0) {
            std::copy_n(entries, count, lanes);
            return;
        }
        for (int j = 0; j < count; ++j) {
            lanes[j] = entries[(first + j) % EnergySums::kLanes];
        }
    }
    void scatter(const double* lanes, double* entries, int count) const {
        if (first == 0) {
            std::copy_n(lanes, count, entries);
            return;
        }
        for (int j = 0; j < count; ++j) {
            entries[(first + j) % EnergySums::kLanes] = lanes[j];
        }
    }
};

// The first interior cell from `from` on that brings T + s onto a multiple
// of `bytes` (or `end` when the range ends first).
int alignedStart(const double* T, int from, int end, std::uintptr_t bytes) {
    return std::min(end, from + cellsToBoundary(T + from, bytes));
}

// Segment 0 and the interior cells from..end-1 of the range [from, to) of
// a row of M + 1 cells: the interior part ends before segment M.
int interiorStart(int from) {
    return std::max(from, 1);
}
int interiorEnd(int to, int M) {
    return std::min(to, M);
}

// Whether segments from..to-1 lie in more than one block of the sums.
bool spansBlocks(int from, int to) {
    return from / kEnergyBlock != (to - 1) / kEnergyBlock;
}

// Runs `update` on the part of from..to-1 in each block of the sums in
// turn, and tells whether every part was finite.
template <class Update>
bool blockByBlock(int from, int to, Update update) {
    bool finite = true;
    while (from < to) {
        const int next = std::min((from / kEnergyBlock + 1) * kEnergyBlock, to);
        finite &= update(from, next);
        from = next;
    }
    return finite;
}

// ---- AVX-512: eight cells per vector ------------------------------------

// cells::interior on eight cells: k2 * ((C(s+1) - 2C(s)) + C(s-1)) + (2C(s) - O(s)).
VELARION_AVX512 inline __m512d interior8(__m512d left, __m512d mid, __m512d right, __m512d old,
                                         __m512d k2) {
    const __m512d twice = _mm512_add_pd(mid, mid);
    const __m512d strain = _mm512_add_pd(_mm512_sub_pd(right, twice), left);
    return _mm512_add_pd(_mm512_mul_pd(k2, strain), _mm512_sub_pd(twice, old));
}

// cells::friction on eight cells: kf * (d * |d|), d = C(s) - O(s).
VELARION_AVX512 inline __m512d friction8(__m512d mid, __m512d old, __m512d kf) {
    const __m512d d = _mm512_sub_pd(mid, old);
    return _mm512_mul_pd(kf, _mm512_mul_pd(d, _mm512_abs_pd(d)));
}

// The interior cells, less their friction when the pipe has some.
template <bool kFriction>
VELARION_AVX512 inline __m512d cells8(__m512d left, __m512d mid, __m512d right, __m512d old,
                                      __m512d k2, __m512d kf) {
    const __m512d v = interior8(left, mid, right, old, k2);
    if constexpr (kFriction) {
        return _mm512_sub_pd(v, friction8(mid, old, kf));
    }
    return v;
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

// The running energy sums of the vector loop, eight lanes wide, carried on
// from the scalar cells before it and handed back to the ones after it.
struct Sums8 {
    __m512d moved, stretched;
};

VELARION_AVX512 inline Sums8 loadSums8(const EnergySums& sums, LaneMap map) {
    alignas(64) double moved[8], stretched[8];
    map.gather(sums.moved, moved, 8);
    map.gather(sums.stretched, stretched, 8);
    return {_mm512_load_pd(moved), _mm512_load_pd(stretched)};
}

VELARION_AVX512 inline void storeSums8(const Sums8& lanes, EnergySums& sums, LaneMap map) {
    alignas(64) double moved[8], stretched[8];
    _mm512_store_pd(moved, lanes.moved);
    _mm512_store_pd(stretched, lanes.stretched);
    map.scatter(moved, sums.moved, 8);
    map.scatter(stretched, sums.stretched, 8);
}

// a - b, the same bits as _mm512_sub_pd, on the multiplying units.
VELARION_AVX512 inline __m512d difference8(__m512d a, __m512d b) {
    return _mm512_fmsub_pd(a, _mm512_set1_pd(1.0), b);
}

// cells::addEnergyTerms on eight cells: cur and curNext are C(s..s+7) and
// C(s+1..s+8), O likewise.
VELARION_AVX512 inline void addEnergy8(Sums8& sums, __m512d cur, __m512d curNext, __m512d old,
                                       const double* oldNext, __m512d L0) {
    const __m512d v = difference8(cur, old);
    const __m512d e = difference8(difference8(curNext, cur), L0);
    const __m512d eBefore = difference8(difference8(_mm512_loadu_pd(oldNext), old), L0);
    sums.moved = _mm512_add_pd(sums.moved, _mm512_mul_pd(v, v));
    sums.stretched = _mm512_add_pd(sums.stretched, _mm512_mul_pd(e, eBefore));
}

// Cells from..to-1 of the row (0 <= from < to <= M + 1). With `blocks`,
// their terms carry on the sums of their blocks.
template <bool kEnergy, bool kFriction>
VELARION_AVX512 bool updateAvx512(const double* C, const double* O, double* T, int M, int from,
                                  int to, const KernelFactors& f, EnergySums* blocks) {
    constexpr std::uintptr_t kLine = 64;
    const int end = interiorEnd(to, M);
    // Scalar cells until the stores start on a cache line: a 64-byte store
    // that straddles two lines costs twice.
    int s = alignedStart(T, interiorStart(from), end, kLine);
    if constexpr (kEnergy) {
        // A row whose vectors do not start on a multiple of 8 takes its
        // blocks one call each.
        if (s % EnergySums::kLanes != 0 && spansBlocks(from, to)) {
            return blockByBlock(from, to, [&](int a, int b) {
                return updateAvx512<true, kFriction>(C, O, T, M, a, b, f, blocks);
            });
        }
    }
    std::uint64_t bad = from == 0 ? firstCell(C, O, T, f, blocks) : 0;
    bad |= scalarCells(C, O, T, interiorStart(from), s, f, blocks);
    const __m512d k2 = _mm512_set1_pd(f.k2);
    const __m512d kf = _mm512_set1_pd(f.kf);
    const __m512d L0 = _mm512_set1_pd(f.L0);
    const LaneMap map{s % EnergySums::kLanes};
    // The lanes of the block of the sums that the vector loop is in, handed
    // back when it leaves the block: the vectors start on a multiple of 8
    // (or the range lies in one block), so none straddles two blocks.
    Sums8 sums{};
    int block = s / kEnergyBlock;
    int blockEnd = map.first == 0 ? (block + 1) * kEnergyBlock : M + 1;
    if constexpr (kEnergy) {
        sums = loadSums8(blocks[block], map);
    }
    // Each vector loop runs to the end of the block it is in, then hands its
    // lanes over and goes on in the next block.
    const auto stopAt = [&](int limit) { return kEnergy ? std::min(limit, blockEnd) : limit; };
    const auto nextBlock = [&]() VELARION_AVX512 {
        storeSums8(sums, blocks[block], map);
        ++block;
        blockEnd += kEnergyBlock;
        sums = loadSums8(blocks[block], map);
    };
    __mmask8 badLanes = 0;
    // The aligned loop loads C up to s + 15, which must lie in the row.
    if (sameOffset(C, T, kLine) && s + 8 <= end && s + 15 <= M) {
        // C lies like T: each line of C is loaded once, aligned, and the
        // neighbours are shifted in from the vectors on either side. Only
        // lane 7 of `left` is used.
        __m512d left = _mm512_set1_pd(C[s - 1]);
        __m512d mid = _mm512_load_pd(C + s);
        for (;;) {
            const int stop = stopAt(end);
            for (; s + 8 <= stop && s + 15 <= M; s += 8) {
                const __m512d right = _mm512_load_pd(C + s + 8);
                const __m512d old = _mm512_loadu_pd(O + s);
                const __m512d next = shiftedRight(mid, right);
                const __m512d v = cells8<kFriction>(shiftedLeft(left, mid), mid, next, old, k2, kf);
                _mm512_store_pd(T + s, v);
                badLanes |= nonFinite8(v);
                if constexpr (kEnergy) {
                    addEnergy8(sums, mid, next, old, O + s + 1, L0);
                }
                left = mid;
                mid = right;
            }
            if (!kEnergy || s != blockEnd || s + 8 > end || s + 15 > M) {
                break;
            }
            nextBlock();
        }
    }
    for (;;) {
        const int stop = stopAt(end);
        for (; s + 8 <= stop; s += 8) {
            const __m512d mid = _mm512_loadu_pd(C + s);
            const __m512d next = _mm512_loadu_pd(C + s + 1);
            const __m512d old = _mm512_loadu_pd(O + s);
            const __m512d v = cells8<kFriction>(_mm512_loadu_pd(C + s - 1), mid, next, old, k2, kf);
            _mm512_storeu_pd(T + s, v);
            badLanes |= nonFinite8(v);
            if constexpr (kEnergy) {
                addEnergy8(sums, mid, next, old, O + s + 1, L0);
            }
        }
        if (!kEnergy || s != blockEnd || s + 8 > end) {
            break;
        }
        nextBlock();
    }
    if constexpr (kEnergy) {
        storeSums8(sums, blocks[block], map);
    }
    bad |= scalarCells(C, O, T, s, end, f, blocks);
    if (to == M + 1) {
        bad |= lastCell(C, O, T, M, f, blocks);
    }
    return bad == 0 && badLanes == 0;
}

// The loop with friction only for a pipe that has some.
template <bool kEnergy>
VELARION_AVX512 bool updateAvx512(const double* C, const double* O, double* T, int M, int from,
                                  int to, const KernelFactors& f, EnergySums* blocks) {
    return f.hasFriction() ? updateAvx512<kEnergy, true>(C, O, T, M, from, to, f, blocks)
                           : updateAvx512<kEnergy, false>(C, O, T, M, from, to, f, blocks);
}

}  // namespace

VELARION_AVX512
bool updateRowAvx512(const double* C, const double* O, double* T, int M, const KernelFactors& f) {
    return updateAvx512<false>(C, O, T, M, 0, M + 1, f, nullptr);
}

VELARION_AVX512
bool updateRangeAvx512(const double* C, const double* O, double* T, int M, int from, int to,
                       const KernelFactors& f) {
    return updateAvx512<false>(C, O, T, M, from, to, f, nullptr);
}

VELARION_AVX512
bool updateRangeWithEnergyAvx512(const double* C, const double* O, double* T, int M, int from,
                                 int to, const KernelFactors& f, EnergySums* blocks) {
    return updateAvx512<true>(C, O, T, M, from, to, f, blocks);
}

namespace {

// ---- AVX2: four cells per vector ----------------------------------------

VELARION_AVX2 inline __m256d interior4(__m256d left, __m256d mid, __m256d right, __m256d old,
                                       __m256d k2) {
    const __m256d twice = _mm256_add_pd(mid, mid);
    const __m256d strain = _mm256_add_pd(_mm256_sub_pd(right, twice), left);
    return _mm256_add_pd(_mm256_mul_pd(k2, strain), _mm256_sub_pd(twice, old));
}

// cells::friction on four cells.
VELARION_AVX2 inline __m256d friction4(__m256d mid, __m256d old, __m256d kf) {
    const __m256d d = _mm256_sub_pd(mid, old);
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), d);
    return _mm256_mul_pd(kf, _mm256_mul_pd(d, magnitude));
}

// All-ones lanes where the exponent bits are all set (infinity or NaN).
VELARION_AVX2 inline __m256i nonFinite4(__m256d v) {
    const __m256i exponent = _mm256_set1_epi64x(0x7ff0000000000000LL);
    return _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_castpd_si256(v), exponent), exponent);
}

// The running energy sums of the vector loop: four lanes wide, so two of
// each, for the vectors at s % 8 = first and at first + 4.
struct Sums4 {
    __m256d moved[2], stretched[2];
};

VELARION_AVX2 inline Sums4 loadSums4(const EnergySums& sums, LaneMap map) {
    alignas(32) double moved[8], stretched[8];
    map.gather(sums.moved, moved, 8);
    map.gather(sums.stretched, stretched, 8);
    return {{_mm256_load_pd(moved), _mm256_load_pd(moved + 4)},
            {_mm256_load_pd(stretched), _mm256_load_pd(stretched + 4)}};
}

VELARION_AVX2 inline void storeSums4(const Sums4& lanes, EnergySums& sums, LaneMap map) {
    alignas(32) double moved[8], stretched[8];
    for (int half = 0; half < 2; ++half) {
        _mm256_store_pd(moved + 4 * half, lanes.moved[half]);
        _mm256_store_pd(stretched + 4 * half, lanes.stretched[half]);
    }
    map.scatter(moved, sums.moved, 8);
    map.scatter(stretched, sums.stretched, 8);
}

// a - b, the same bits as _mm256_sub_pd, on the multiplying units.
VELARION_AVX2 inline __m256d difference4(__m256d a, __m256d b) {
    return _mm256_fmsub_pd(a, _mm256_set1_pd(1.0), b);
}

// The factors of the four-cell loop.
struct Factors4 {
    __m256d k2, kf, L0;
};

// Four cells from s, with their energy terms into half `half` of the sums
// when asked for; returns the lanes that are not finite.
template <bool kEnergy, bool kFriction>
VELARION_AVX2 inline __m256i cells4(const double* C, const double* O, double* T, int s,
                                    const Factors4& f, Sums4& sums, int half) {
    const __m256d mid = _mm256_loadu_pd(C + s);
    const __m256d next = _mm256_loadu_pd(C + s + 1);
    const __m256d old = _mm256_loadu_pd(O + s);
    __m256d v = interior4(_mm256_loadu_pd(C + s - 1), mid, next, old, f.k2);
    if constexpr (kFriction) {
        v = _mm256_sub_pd(v, friction4(mid, old, f.kf));
    }
    _mm256_storeu_pd(T + s, v);
    if constexpr (kEnergy) {
        const __m256d moved = difference4(mid, old);
        const __m256d e = difference4(difference4(next, mid), f.L0);
        const __m256d eBefore = difference4(difference4(_mm256_loadu_pd(O + s + 1), old), f.L0);
        sums.moved[half] = _mm256_add_pd(sums.moved[half], _mm256_mul_pd(moved, moved));
        sums.stretched[half] = _mm256_add_pd(sums.stretched[half], _mm256_mul_pd(e, eBefore));
    }
    return nonFinite4(v);
}

// Cells from..to-1, as updateAvx512.
// The sums of a range in one block, carried on in the vector loop; a range
// over several blocks goes block by block.
template <bool kEnergy, bool kFriction>
VELARION_AVX2 bool updateAvx2(const double* C, const double* O, double* T, int M, int from, int to,
                              const KernelFactors& f, EnergySums* blocks) {
    if constexpr (kEnergy) {
        if (spansBlocks(from, to)) {
            return blockByBlock(from, to, [&](int a, int b) {
                return updateAvx2<true, kFriction>(C, O, T, M, a, b, f, blocks);
            });
        }
    }
    // 32-byte stores on a 32-byte boundary never straddle a cache line.
    constexpr std::uintptr_t kVector = 32;
    std::uint64_t bad = from == 0 ? firstCell(C, O, T, f, blocks) : 0;
    const int end = interiorEnd(to, M);
    int s = alignedStart(T, interiorStart(from), end, kVector);
    bad |= scalarCells(C, O, T, interiorStart(from), s, f, blocks);
    const Factors4 factors{_mm256_set1_pd(f.k2), _mm256_set1_pd(f.kf), _mm256_set1_pd(f.L0)};
    const LaneMap map{s % EnergySums::kLanes};
    Sums4 sums{};
    if constexpr (kEnergy) {
        sums = loadSums4(blockOf(blocks, from), map);
    }
    __m256i badLanes = _mm256_setzero_si256();
    // Two vectors a step, so that each half of the sums meets the same
    // entries every time.
    for (; s + 8 <= end; s += 8) {
        badLanes =
            _mm256_or_si256(badLanes, cells4<kEnergy, kFriction>(C, O, T, s, factors, sums, 0));
        badLanes =
            _mm256_or_si256(badLanes, cells4<kEnergy, kFriction>(C, O, T, s + 4, factors, sums, 1));
    }
    if (s + 4 <= end) {
        badLanes =
            _mm256_or_si256(badLanes, cells4<kEnergy, kFriction>(C, O, T, s, factors, sums, 0));
        s += 4;
    }
    if constexpr (kEnergy) {
        storeSums4(sums, blockOf(blocks, from), map);
    }
    bad |= scalarCells(C, O, T, s, end, f, blocks);
    if (to == M + 1) {
        bad |= lastCell(C, O, T, M, f, blocks);
    }
    return bad == 0 && _mm256_testz_si256(badLanes, badLanes) != 0;
}

template <bool kEnergy>
VELARION_AVX2 bool updateAvx2(const double* C, const double* O, double* T, int M, int from, int to,
                              const KernelFactors& f, EnergySums* blocks) {
    return f.hasFriction() ? updateAvx2<kEnergy, true>(C, O, T, M, from, to, f, blocks)
                           : updateAvx2<kEnergy, false>(C, O, T, M, from, to, f, blocks);
}

}  // namespace

VELARION_AVX2
bool updateRowAvx2(const double* C, const double* O, double* T, int M, const KernelFactors& f) {
    return updateAvx2<false>(C, O, T, M, 0, M + 1, f, nullptr);
}

VELARION_AVX2
bool updateRangeAvx2(const double* C, const double* O, double* T, int M, int from, int to,
                     const KernelFactors& f) {
    return updateAvx2<false>(C, O, T, M, from, to, f, nullptr);
}

VELARION_AVX2
bool updateRangeWithEnergyAvx2(const double* C, const double* O, double* T, int M, int from, int to,
                               const KernelFactors& f, EnergySums* blocks) {
    return updateAvx2<true>(C, O, T, M, from, to, f, blocks);
}

}  // namespace velarion::x86

#endif
