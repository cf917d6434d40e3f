// The energy of a finished run and its CSV file.
#include "energy_series.h"

#include "output/csv_writer.h"

#include <atomic>

namespace velarion {

namespace {

std::atomic<std::uint64_t> passesOverPsi{0};

EnergyRecord energyFromPsi(const FormState& form) {
    ++passesOverPsi;
    const PsiRows& rows = *form.psiRows;
    EnergyRecord computed;
    EnergyFlows flows(rows.parameters, rows.freeEnd, rows.hammer);
    for (int J = 1; J <= rows.lastRow; ++J) {
        const double* before = form.psi.row(static_cast<std::size_t>(J - 1));
        const double* now = form.psi.row(static_cast<std::size_t>(J));
        if (J >= 2) {
            flows.add(form.psi.row(static_cast<std::size_t>(J - 2)), before, now, rows.lastSegment);
        }
        LevelEnergy energy = energyBetween(before, now, rows.lastSegment, rows.parameters);
        flows.fill(energy);
        computed.add(energy);
        computed.placeGrowth(before, now, rows.lastSegment, rows.parameters);
    }
    return computed;
}

}  // namespace

const EnergyRecord& energyOfRun(const FormState& form) {
    static const EnergyRecord none;
    if (!form.psiRows) {
        return none;
    }
    const PsiRows& rows = *form.psiRows;
    if (rows.run == RunKind::Girotondo) {
        return form.girotondoEnergy;
    }
    DerivedFromPsi& derived = form.derived;
    if (!derived.energy || derived.energyThroughRow != rows.lastRow) {
        derived.energy = energyFromPsi(form);
        derived.energyThroughRow = rows.lastRow;
    }
    return *derived.energy;
}

std::uint64_t energyPassesOverPsi() {
    return passesOverPsi;
}

bool writeEnergyCsv(const RunRecord& record, const QString& path, QString& error,
                    std::int64_t every) {
    if (record.run == RunKind::Precision) {
        error = QStringLiteral("The precision run computes no energy.");
        return false;
    }
    CsvWriter csv(path);
    if (!csv.open()) {
        error = csv.errorText();
        return false;
    }
    // Friction's loss and the valve's work only when the pipe has them, so
    // that the seed's model keeps its columns.
    const bool flows = !record.hammer.isSeeds();
    QStringList header{"level", "time", "kinetic", "strain", "work", "energy"};
    if (flows) {
        header << "dissipated"
               << "valve_work";
    }
    csv.writeRecord(header);
    const double DeltaT = record.parameters.DeltaT;
    const auto kept = record.energy.kept();
    const auto levels = static_cast<std::int64_t>(kept.size());
    for (std::int64_t level = every; level <= levels; level += every) {
        const LevelEnergy& e = kept[static_cast<std::size_t>(level - 1)];
        const double fields[] = {static_cast<double>(level),
                                 static_cast<double>(level) * DeltaT,
                                 e.kinetic,
                                 e.strain,
                                 e.work,
                                 e.total(),
                                 e.dissipated,
                                 e.valveWork};
        csv.writeRecord(std::span<const double>(fields, flows ? 8 : 6));
    }
    if (!csv.commit()) {
        error = csv.errorText();
        return false;
    }
    return true;
}

}  // namespace velarion
