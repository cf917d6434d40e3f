// The envelope of a finished run and its CSV file.
#include "envelope_table.h"

#include "output/csv_writer.h"

namespace velarion {

namespace {

bool writeRows(const Envelope& envelope, const Parameters& p, const QString& path, QString& error) {
    CsvWriter csv(path);
    if (!csv.open()) {
        error = csv.errorText();
        return false;
    }
    csv.writeRecord(
        QStringList{"segment", "min_displacement", "max_displacement", "min_stress", "max_stress"});
    const int M = envelope.lastSegment();
    for (int s = 0; s <= M; ++s) {
        QStringList fields{QString::number(s),
                           QString::fromLatin1(csvNumber(envelope.minDisplacement(s))),
                           QString::fromLatin1(csvNumber(envelope.maxDisplacement(s)))};
        if (s < M) {
            fields << QString::fromLatin1(csvNumber(envelope.minStress(s, p)))
                   << QString::fromLatin1(csvNumber(envelope.maxStress(s, p)));
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

}  // namespace

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

bool writeEnvelopeCsv(const FormState& form, const QString& path, QString& error) {
    if (!form.psiRows) {
        error = QStringLiteral("No run has left rows in psi yet.");
        return false;
    }
    const Parameters& p = form.psiRows->parameters;
    if (form.psiRows->run == RunKind::Girotondo) {
        if (form.girotondoEnvelope.isEmpty()) {
            error = QStringLiteral("The Girotondo run kept no envelope.");
            return false;
        }
        return writeRows(form.girotondoEnvelope, p, path, error);
    }
    const Envelope envelope = envelopeFromPsi(form);
    if (envelope.isEmpty()) {
        error = QStringLiteral("There is not enough memory for the envelope.");
        return false;
    }
    return writeRows(envelope, p, path, error);
}

}  // namespace velarion
