#pragma once

#include "model/energy.h"
#include "model/envelope.h"
#include "model/kernel.h"
#include "model/matrix.h"
#include "model/parameters.h"
#include "model/psi_text.h"
#include "run_control.h"

#include <cstdint>
#include <optional>

namespace velarion {

// What the rows of psi hold, for the views that read them after a run: the
// run that stored them, the parameters it read (N as read from the box, before
// the Girotondo run raises it), its last segment and its last stored row. A
// run clears it when it replaces psi and sets it as it stores whole rows.
struct PsiRows {
    RunKind run = RunKind::Double;
    Parameters parameters;
    int lastSegment = 0;
    int lastRow = 0;
    std::optional<RunOutcome> outcome;  // empty while the run is under way
    FreeEnd freeEnd = FreeEnd::Seed;    // the free end the run computed with
    WaterHammer hammer;                 // its first end and friction
};

// What the readers of a double run derive from its rows of psi: computed
// the first time one asks and kept while psi holds the same rows, so that
// however many outputs, checks and charts read the energy and the envelope
// of a run, psi is walked once for each. The row each reaches tells
// whether it is current; a run clears both when it stores new rows.
struct DerivedFromPsi {
    std::optional<EnergyRecord> energy;
    int energyThroughRow = -1;
    std::optional<Envelope> envelope;
    int envelopeThroughRow = -1;
};

// Everything a run leaves in the window: it lasts as long as the window.
struct FormState {
    std::int32_t IndiceMatrice1 = 1000;
    std::int32_t IndiceMatrice2 = 10000;
    // The free end the next run computes with: Model → "Restoring free end"
    // in the window, --free-end in velarion-batch. Each run reads it at its
    // start.
    FreeEnd freeEnd = FreeEnd::Seed;
    // The first end and the friction the next run computes with: the Model
    // menu in the window, --first-end and --friction in velarion-batch.
    WaterHammer hammer;
    // The threads the next double or Girotondo run may share its levels
    // between: --threads in velarion-batch; 0 leaves the choice to
    // VELARION_THREADS, else one thread.
    int threads = 0;
    Parameters parameters;
    Matrix psi;
    // The texts of the arbitrary-precision run.
    PsiText psiText;
    std::optional<PsiRows> psiRows;  // empty: psi holds no rows of a run
    // What only the Girotondo run can give, since psi keeps its snapshots
    // alone: the energy of every level it computed, and the envelope of
    // those levels when it was asked to keep one (empty otherwise). The
    // double run's follow from psi.
    EnergyRecord girotondoEnergy;
    Envelope girotondoEnvelope;
    // A cache, so readers that hold the form const fill it.
    mutable DerivedFromPsi derived;
};

// Records how the run that stored psi's rows ended; rows left by an earlier
// run (this one was refused before it touched psi) keep their own outcome.
inline RunOutcome recordOutcome(FormState& form, RunOutcome outcome) {
    if (form.psiRows && !form.psiRows->outcome) {
        form.psiRows->outcome = outcome;
    }
    return outcome;
}

}  // namespace velarion
