// The extremes of a run's levels, per segment and per piece.
#include "envelope.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velarion {

namespace {

double stressOf(double piece, const Parameters& p) {
    return -p.B * (piece - p.L0) / p.L0;
}

constexpr int kLanes = 8;
using Lanes = double __attribute__((vector_size(sizeof(double) * kLanes)));

// Takes kCount levels into the extremes of segments from..to-1 of 0..M
// (the pieces of those below M), eight segments at a time.
template <int kCount>
[[gnu::always_inline]] inline void takeLevels(const double* const* given, int from, int to, int M,
                                              Extremes x) {
    // Copied, so that the stores below cannot be taken to change them.
    const double* levels[kCount];
    std::copy_n(given, kCount, levels);
    int s = from;
    const int vectorEnd = std::min(to, M);
    // Lane by lane as std::min and std::max select. Plain locals and memcpy,
    // so no vector crosses a function boundary.
    Lanes low, high, lowPiece, highPiece, position, next;
    for (; s + kLanes <= vectorEnd; s += kLanes) {
        std::memcpy(&low, x.low + s, sizeof low);
        std::memcpy(&high, x.high + s, sizeof high);
        std::memcpy(&lowPiece, x.lowPiece + s, sizeof lowPiece);
        std::memcpy(&highPiece, x.highPiece + s, sizeof highPiece);
        for (int i = 0; i < kCount; ++i) {
            std::memcpy(&position, levels[i] + s, sizeof position);
            std::memcpy(&next, levels[i] + s + 1, sizeof next);
            const Lanes piece = next - position;
            low = position < low ? position : low;
            high = high < position ? position : high;
            lowPiece = piece < lowPiece ? piece : lowPiece;
            highPiece = highPiece < piece ? piece : highPiece;
        }
        std::memcpy(x.low + s, &low, sizeof low);
        std::memcpy(x.high + s, &high, sizeof high);
        std::memcpy(x.lowPiece + s, &lowPiece, sizeof lowPiece);
        std::memcpy(x.highPiece + s, &highPiece, sizeof highPiece);
    }
    for (; s < to; ++s) {
        for (int i = 0; i < kCount; ++i) {
            const double at = levels[i][s];
            x.low[s] = std::min(x.low[s], at);
            x.high[s] = std::max(x.high[s], at);
            if (s < M) {
                const double piece = levels[i][s + 1] - at;
                x.lowPiece[s] = std::min(x.lowPiece[s], piece);
                x.highPiece[s] = std::max(x.highPiece[s], piece);
            }
        }
    }
}

// Built for each instruction set; the widest one the processor has is
// chosen when the program starts.
__attribute__((target_clones("avx512f", "avx2", "default"))) void takeOneLevel(const double* level,
                                                                               int M, Extremes x) {
    takeLevels<1>(&level, 0, M + 1, M, x);
}

__attribute__((target_clones("avx512f", "avx2", "default"))) void takeThreeLevels(
    const double* const* levels, int from, int to, int M, Extremes x) {
    takeLevels<3>(levels, from, to, M, x);
}

}  // namespace

bool Envelope::start(const double* rest, int M) {
    const auto segments = static_cast<std::size_t>(M) + 1;
    rows_ = Matrix::tryCreate(kRows, segments);
    if (rows_.empty()) {
        return false;
    }
    for (const Row row : {kRest, kLow, kHigh}) {
        std::copy_n(rest, segments, rows_.row(row));
    }
    double* piece = rows_.row(kLowPiece);
    for (std::size_t s = 0; s + 1 < segments; ++s) {
        piece[s] = rest[s + 1] - rest[s];
    }
    std::copy_n(piece, segments - 1, rows_.row(kHighPiece));
    return true;
}

bool Envelope::startAs(const Envelope& other) {
    rows_ = Matrix::tryCreate(kRows, other.rows_.columns());
    if (rows_.empty()) {
        return false;
    }
    for (int row = 0; row < kRows; ++row) {
        std::copy_n(other.rows_.row(row), rows_.columns(), rows_.row(row));
    }
    return true;
}

void Envelope::assignRange(const Envelope& other, int from, int to) {
    for (const Row row : {kLow, kHigh, kLowPiece, kHighPiece}) {
        std::copy(other.rows_.row(row) + from, other.rows_.row(row) + to, rows_.row(row) + from);
    }
}

Extremes Envelope::extremes() {
    return {rows_.row(kLow), rows_.row(kHigh), rows_.row(kLowPiece), rows_.row(kHighPiece)};
}

void Envelope::add(const double* level) {
    takeOneLevel(level, lastSegment(), extremes());
}

void Envelope::add3(const double* a, const double* b, const double* c) {
    const double* levels[] = {a, b, c};
    takeThreeLevels(levels, 0, lastSegment() + 1, lastSegment(), extremes());
}

void Envelope::add3(const double* a, const double* b, const double* c, int from, int to) {
    const double* levels[] = {a, b, c};
    takeThreeLevels(levels, from, to, lastSegment(), extremes());
}

// The stress falls as the piece grows when B / L0 is positive, and rises
// when a negative density or length makes it negative: its extremes lie at
// the two extreme pieces either way.
double Envelope::minStress(int s, const Parameters& p) const {
    return std::min(stressOf(rows_(kLowPiece, s), p), stressOf(rows_(kHighPiece, s), p));
}

double Envelope::maxStress(int s, const Parameters& p) const {
    return std::max(stressOf(rows_(kLowPiece, s), p), stressOf(rows_(kHighPiece, s), p));
}

EnvelopeExtremes extremesOf(const Envelope& envelope, const Parameters& p) {
    EnvelopeExtremes x;
    const int M = envelope.lastSegment();
    for (int s = 0; s <= M; ++s) {
        x.minDisplacement.push_back(envelope.minDisplacement(s));
        x.maxDisplacement.push_back(envelope.maxDisplacement(s));
        const bool hasPiece = s < M;
        x.minStress.push_back(hasPiece ? envelope.minStress(s, p) : std::nan(""));
        x.maxStress.push_back(hasPiece ? envelope.maxStress(s, p) : std::nan(""));
    }
    return x;
}

}  // namespace velarion
