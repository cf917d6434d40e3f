// The envelope of a finished run and its CSV file.
#include "envelope_table.h"

#include "output/csv_writer.h"

namespace velarion {

Envelope envelopeFromPsi(const FormState& form) {
    Envelope envelope;
    if (!form.psiRows || form.psiRows->run != RunKind::Double ||
        !envelope.start(form.psi.row(0), form.psiRows->lastSegment)) {
        return envelope;
    }
    for (int j = 1; j <= form.psiRows->lastRow; ++j) {
        envelope.add(form.psi.row(static_cast<std::size_t>(j)));
    }
    return envelope;
}

const Envelope& envelopeOfRun(const FormState& form) {
    static const Envelope none;
    if (!form.psiRows) {
        return none;
    }
    if (form.psiRows->run == RunKind::Girotondo) {
        return form.girotondoEnvelope;
    }
    DerivedFromPsi& derived = form.derived;
    if (!derived.envelope || derived.envelopeThroughRow != form.psiRows->lastRow) {
        derived.envelope = envelopeFromPsi(form);
        derived.envelopeThroughRow = form.psiRows->lastRow;
    }
    return *derived.envelope;
}

namespace {

// Why a record holds no envelope.
QString missingEnvelope(RunKind run) {
    switch (run) {
        case RunKind::Girotondo:
            return QStringLiteral("The Girotondo run kept no envelope.");
        case RunKind::Precision:
            return QStringLiteral("The precision run keeps no envelope.");
        case RunKind::Double:
            break;
    }
    return QStringLiteral("There is not enough memory for the envelope.");
}

}  // namespace

bool writeEnvelopeCsv(const RunRecord& record, const QString& path, QString& error) {
    if (!record.envelope) {
        error = missingEnvelope(record.run);
        return false;
    }
    const EnvelopeExtremes& x = *record.envelope;
    CsvWriter csv(path);
    if (!csv.open()) {
        error = csv.errorText();
        return false;
    }
    csv.writeRecord(
        QStringList{"segment", "min_displacement", "max_displacement", "min_stress", "max_stress"});
    const int M = record.lastSegment;
    for (int s = 0; s <= M; ++s) {
        const auto i = static_cast<std::size_t>(s);
        QStringList fields{QString::number(s), QString::fromLatin1(csvNumber(x.minDisplacement[i])),
                           QString::fromLatin1(csvNumber(x.maxDisplacement[i]))};
        if (s < M) {
            fields << QString::fromLatin1(csvNumber(x.minStress[i]))
                   << QString::fromLatin1(csvNumber(x.maxStress[i]));
        } else {
            fields << QString() << QString();
        }
        csv.writeRecord(fields);
    }
    if (!csv.commit()) {
        error = csv.errorText();
        return false;
    }
    return true;
}

}  // namespace velarion
