// The energy of a finished run and its CSV file.
#include "energy_series.h"

#include "output/csv_writer.h"

#include <cmath>

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
        computed.add(energyBetween(form.psi.row(static_cast<std::size_t>(J - 1)),
                                   form.psi.row(static_cast<std::size_t>(J)), rows.lastSegment,
                                   rows.parameters));
    }
    return computed;
}

std::optional<Instability> instabilityOfRun(const FormState& form) {
    EnergyRecord computed;
    return energyOfRun(form, computed).instability();
}

QString instabilityReason(const Instability& instability, FreeEnd freeEnd, const QLocale& locale) {
    const auto number = [&locale](double value) { return locale.toString(value, 'g', 6); };
    QString reason =
        std::isfinite(instability.energy)
            ? QStringLiteral("the energy %1 from %2 to %3 J/m2")
                  .arg(instability.energy > instability.reference ? QStringLiteral("grew")
                                                                  : QStringLiteral("fell"),
                       number(instability.reference), number(instability.energy))
            : QStringLiteral("the energy, %1 J/m2 at level 1, is no longer a finite number")
                  .arg(number(instability.reference));
    if (freeEnd == FreeEnd::Seed) {
        reason += QStringLiteral(
            "; the seed's free end, which pushes the last segment away from its neighbour, is "
            "the likely cause");
    }
    return reason;
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
