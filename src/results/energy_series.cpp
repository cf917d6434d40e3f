// The energy of a finished run and its CSV file.
#include "energy_series.h"

#include "output/csv_writer.h"

namespace velarion {

const EnergyRecord& energyOfRun(const FormState& form, EnergyRecord& computed) {
    computed = EnergyRecord();
    if (!form.psiRows) {
        return computed;
    }
    const PsiRows& rows = *form.psiRows;
    if (rows.run == RunKind::Girotondo) {
        return form.girotondoEnergy;
    }
    for (int J = 1; J <= rows.lastRow; ++J) {
        const double* before = form.psi.row(static_cast<std::size_t>(J - 1));
        const double* now = form.psi.row(static_cast<std::size_t>(J));
        computed.add(energyBetween(before, now, rows.lastSegment, rows.parameters));
        computed.placeGrowth(before, now, rows.lastSegment, rows.parameters);
    }
    return computed;
}

bool writeEnergyCsv(const FormState& form, const EnergyRecord& energy, const QString& path,
                    QString& error) {
    if (!form.psiRows) {
        error = QStringLiteral("No run has left rows in psi yet.");
        return false;
    }
    CsvWriter csv(path);
    if (!csv.open()) {
        error = csv.errorText();
        return false;
    }
    csv.writeRecord(QStringList{"level", "time", "kinetic", "strain", "work", "energy"});
    const double DeltaT = form.psiRows->parameters.DeltaT;
    std::int64_t level = 0;
    for (const LevelEnergy& e : energy.kept()) {
        ++level;
        const double record[] = {static_cast<double>(level),
                                 static_cast<double>(level) * DeltaT,
                                 e.kinetic,
                                 e.strain,
                                 e.work,
                                 e.total()};
        csv.writeRecord(record);
    }
    if (!csv.commit()) {
        error = csv.errorText();
        return false;
    }
    return true;
}

}  // namespace velarion
