// The run in the window's state as a record.
#include "form_record.h"

#include "energy_series.h"
#include "envelope_table.h"

#include "model/controls.h"
#include "model/kernel.h"
#include "model/number_text.h"
#include "model/parameter_boxes.h"
#include "output/library_versions.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <utility>

namespace velarion {

namespace {

// What psiRows says of the run.
RunRecord recordOfRows(const PsiRows& rows) {
    RunRecord r;
    r.run = rows.run;
    r.freeEnd = rows.freeEnd;
    r.hammer = rows.hammer;
    r.outcome = rows.outcome;
    r.parameters = rows.parameters;
    r.lastSegment = rows.lastSegment;
    r.lastRow = rows.lastRow;
    return r;
}

// The energy and the envelope of the run in psi.
void addEnergyAndEnvelope(const FormState& form, RunRecord& r) {
    const PsiRows& rows = *form.psiRows;
    r.energy = energyOfRun(form);
    if (const Envelope& envelope = envelopeOfRun(form); !envelope.isEmpty()) {
        r.envelope = extremesOf(envelope, rows.parameters);
    }
}

}  // namespace

std::optional<RunRecord> recordOfForm(const FormState& form) {
    if (!form.psiRows) {
        return std::nullopt;
    }
    const PsiRows& rows = *form.psiRows;
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
    RunRecord r = recordOfRows(rows);
    r.positions = std::move(positions);
    addEnergyAndEnvelope(form, r);
    return r;
}

std::optional<RunRecord> recordTakingPsi(FormState& form) {
    if (!form.psiRows) {
        return std::nullopt;
    }
    RunRecord r = recordOfRows(*form.psiRows);
    addEnergyAndEnvelope(form, r);
    r.positions = std::make_shared<const Matrix>(std::exchange(form.psi, Matrix()));
    form.psiRows.reset();
    form.derived = DerivedFromPsi();
    return r;
}

std::optional<RunRecord> rowsViewOfForm(const FormState& form) {
    if (!form.psiRows) {
        return std::nullopt;
    }
    RunRecord r = recordOfRows(*form.psiRows);
    // Owns nothing: psi stays the form's.
    r.positions = std::shared_ptr<const Matrix>(std::shared_ptr<const Matrix>(), &form.psi);
    return r;
}

std::optional<RunRecord> recordViewOfForm(const FormState& form) {
    std::optional<RunRecord> r = rowsViewOfForm(form);
    if (r) {
        addEnergyAndEnvelope(form, *r);
    }
    return r;
}

std::optional<RunRecord> recordOfDecimalRun(const FormState& form, const WindowOps& host,
                                            const NumberText& numbers) {
    const PsiText& texts = form.psiText;
    if (texts.empty()) {
        return std::nullopt;
    }
    RunRecord r;
    r.run = RunKind::Precision;
    r.freeEnd = form.freeEnd;
    r.hammer = form.hammer;
    r.parameters = form.parameters;
    for (const auto& [box, value] :
         {std::pair{ctl::TA, &Parameters::A}, std::pair{ctl::TF, &Parameters::F},
          std::pair{ctl::TB, &Parameters::B}, std::pair{ctl::TL0, &Parameters::L0}}) {
        r.parameters.*value = numbers.toDouble(host.text(box)).value_or(0);
    }
    r.lastSegment = texts.lastColumn();
    int last = -1;
    for (int j = 0; j <= texts.lastRow(); ++j) {
        if (texts.text(j, r.lastSegment).isEmpty()) {
            break;
        }
        last = j;
    }
    r.lastRow = last;
    auto cells = std::make_shared<TextMatrix>();
    cells->rows = last + 1;
    cells->columns = r.lastSegment + 1;
    auto positions = std::make_shared<Matrix>(Matrix::tryCreate(
        static_cast<std::size_t>(last + 1), static_cast<std::size_t>(r.lastSegment) + 1));
    if (last >= 0 && positions->empty()) {
        return std::nullopt;
    }
    const QChar separator = numbers.decimalSeparator();
    for (int j = 0; j <= last; ++j) {
        for (int s = 0; s <= r.lastSegment; ++s) {
            const QString& text = texts.text(j, s);
            positions->row(static_cast<std::size_t>(j))[s] =
                numbers.toDouble(text).value_or(std::nan(""));
            cells->cells.push_back(QString(text).replace(separator, QLatin1Char('.')));
        }
    }
    r.positionTexts = std::move(cells);
    if (last >= 0) {
        r.positions = std::move(positions);
    }
    return r;
}

std::optional<FormState> formOfRecord(const RunRecord& record) {
    if (!record.positions || record.lastRow < 0) {
        return std::nullopt;
    }
    FormState form;
    const auto segments = static_cast<std::size_t>(record.lastSegment) + 1;
    form.psi = Matrix::tryCreate(static_cast<std::size_t>(record.lastRow) + 1, segments);
    if (form.psi.empty()) {
        return std::nullopt;
    }
    for (int j = 0; j <= record.lastRow; ++j) {
        const auto row = static_cast<std::size_t>(j);
        std::copy_n(record.positions->row(row), segments, form.psi.row(row));
    }
    form.parameters = record.parameters;
    form.freeEnd = record.freeEnd;
    form.hammer = record.hammer;
    form.psiRows = PsiRows{record.run,     record.parameters, record.lastSegment, record.lastRow,
                           record.outcome, record.freeEnd,    record.hammer};
    if (record.run == RunKind::Girotondo) {
        form.girotondoEnergy = record.energy;
    }
    return form;
}

QString failureOf(const MessageRequest& message) {
    if (message.icon != MessageIcon::Critical && message.icon != MessageIcon::Exclamation) {
        return {};
    }
    if (message.text == message.title || message.text.isEmpty()) {
        return message.detail;
    }
    return message.detail.isEmpty() ? message.text
                                    : message.text + QLatin1Char(' ') + message.detail;
}

RunProvenance provenanceNow(const QString& program, int threads, const QString& commandLine) {
    return {program,
            velarionVersion(),
            QString::fromLatin1(kernelName()),
            threads,
            QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
            commandLine};
}

std::vector<std::pair<QString, QString>> typedBoxes(const WindowOps& host) {
    std::vector<std::pair<QString, QString>> texts;
    for (const ParameterBox& box : parameterBoxes()) {
        texts.emplace_back(controlName(box.name), host.text(box.name));
    }
    for (const auto box : {ctl::CLogFile, ctl::CLogFileExc}) {
        texts.emplace_back(controlName(box),
                           host.isTicked(box) ? QStringLiteral("1") : QStringLiteral("0"));
    }
    return texts;
}

}  // namespace velarion
