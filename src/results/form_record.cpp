// The run in the window's state as a record.
#include "form_record.h"

#include "energy_series.h"
#include "envelope_table.h"

#include <algorithm>

namespace velarion {

std::optional<RunRecord> recordOfForm(const FormState& form) {
    if (!form.psiRows) {
        return std::nullopt;
    }
    const PsiRows& rows = *form.psiRows;
    RunRecord r;
    r.run = rows.run;
    r.freeEnd = rows.freeEnd;
    r.hammer = rows.hammer;
    r.outcome = rows.outcome;
    r.parameters = rows.parameters;
    r.lastSegment = rows.lastSegment;
    r.lastRow = rows.lastRow;
    const auto segments = static_cast<std::size_t>(rows.lastSegment) + 1;
    auto positions = std::make_shared<Matrix>(
        Matrix::tryCreate(static_cast<std::size_t>(rows.lastRow) + 1, segments));
    if (positions->empty()) {
        return std::nullopt;
    }
    for (int j = 0; j <= rows.lastRow; ++j) {
        const auto row = static_cast<std::size_t>(j);
        std::copy_n(form.psi.row(row), segments, positions->row(row));
    }
    r.positions = std::move(positions);
    EnergyRecord computed;
    r.energy = energyOfRun(form, computed);
    if (rows.run == RunKind::Girotondo) {
        if (!form.girotondoEnvelope.isEmpty()) {
            r.envelope = extremesOf(form.girotondoEnvelope, rows.parameters);
        }
    } else if (const Envelope envelope = envelopeFromPsi(form); !envelope.isEmpty()) {
        r.envelope = extremesOf(envelope, rows.parameters);
    }
    return r;
}

}  // namespace velarion
