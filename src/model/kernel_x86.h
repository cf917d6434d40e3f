#pragma once

// The hand-vectorised variants of updateRow for x86-64 processors with
// AVX-512 (F and DQ) or AVX2. Each is compiled for its own instruction set
// only, so the rest of the program still runs on any x86-64.

#include "kernel.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define VELARION_KERNEL_X86 1
#else
#define VELARION_KERNEL_X86 0
#endif

#if VELARION_KERNEL_X86
namespace velarion::x86 {

bool updateRowAvx512(const double* current, const double* previous, double* target, int M,
                     const KernelFactors& f);
bool updateRowAvx2(const double* current, const double* previous, double* target, int M,
                   const KernelFactors& f);
bool updateRangeAvx512(const double* current, const double* previous, double* target, int M,
                       int from, int to, const KernelFactors& f);
bool updateRangeAvx2(const double* current, const double* previous, double* target, int M, int from,
                     int to, const KernelFactors& f);
bool updateRangeWithEnergyAvx512(const double* current, const double* previous, double* target,
                                 int M, int from, int to, const KernelFactors& f,
                                 EnergySums* blocks);
bool updateRangeWithEnergyAvx2(const double* current, const double* previous, double* target, int M,
                               int from, int to, const KernelFactors& f, EnergySums* blocks);

}  // namespace velarion::x86
#endif
