#pragma once

// Whether a run's numbers can be trusted: unstable from which level, and
// for which cause, named only from evidence.

#include "model/energy.h"
#include "model/kernel.h"
#include "model/number_text.h"
#include "model/parameters.h"
#include "runs/form_state.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace velarion {

enum class InstabilityCause {
    Courant,      // the time step: a Courant number above 1
    SeedFreeEnd,  // the growth starts at the seed's free end
    Unknown,
};

struct InstabilityVerdict {
    std::int64_t level = 0;  // the first unstable level
    InstabilityCause cause = InstabilityCause::Unknown;
    Parameters parameters;              // the run's
    std::optional<Instability> energy;  // how the energy left level 1's, when it did
};

// The verdict on a run of M + 1 segments from its energy record. Above a
// Courant number of 1 the run is unstable from level 1 whatever its
// energy says: the energy the scheme conserves is then no longer positive,
// so its conservation proves nothing. Otherwise it is unstable where the
// record found the energy leaving level 1's, and the seed's free end is
// named only when the growth sits at the free end: within the last tenth
// of the column (at least the last three segments), where the largest
// departure from the rigid motion is found. Nothing for a stable run.
std::optional<InstabilityVerdict> judgeStability(const Parameters& p, FreeEnd freeEnd, int M,
                                                 const EnergyRecord& energy);

// The same for the run in psi.
std::optional<InstabilityVerdict> instabilityOfRun(const FormState& form);

// "Courant number 2.5 > 1: the scheme is unstable; TDeltaT ≤ 4E-06 s keeps
// it stable", or empty when the Courant number is 1 or less.
QString courantWarning(const Parameters& p, const NumberText& numbers);

// Why the run is called unstable, in one line without a final stop.
QString instabilityReason(const InstabilityVerdict& verdict, const NumberText& numbers);

}  // namespace velarion
