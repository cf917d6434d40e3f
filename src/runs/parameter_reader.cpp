#include "parameter_reader.h"

#include "model/kernel.h"
#include "model/parameter_boxes.h"
#include "model/run_failure.h"

#include <QStringList>

#include <cmath>
#include <initializer_list>

namespace velarion {

namespace {
// The model's pi has 15 significant digits, not the double nearest to pi:
// the results depend on it to the last bit.
constexpr double kPi = 3.14159265358979;
constexpr int kMaxRows = 10001;
}  // namespace

QString describeBoxHolding(const WindowOps& ops, std::string_view box) {
    return QStringLiteral("the box %1 holds %2").arg(describeBox(box), quotedText(ops.text(box)));
}

void ParameterReader::failNotNumber(std::string_view box, const QString& text) const {
    throw RunFailure(QStringLiteral("The box %1 holds %2, %3.")
                         .arg(describeBox(box), quotedText(text), numbers_.refusalOf(text)));
}

void ParameterReader::failRange(std::string_view box, const QString& text,
                                const char* range) const {
    throw RunFailure(QStringLiteral("The box %1 holds %2, which is outside the range %3.")
                         .arg(describeBox(box), quotedText(text), QString::fromLatin1(range)));
}

double ParameterReader::GiveMeDouble(std::string_view box) const {
    const QString text = ops_.text(box);
    const auto value = numbers_.toDouble(text);
    if (!value) {
        failNotNumber(box, text);
    }
    if (!std::isfinite(*value)) {
        failRange(box, text, "of finite numbers");
    }
    return *value;
}

std::int32_t ParameterReader::toInt32(std::string_view box) const {
    const QString text = ops_.text(box);
    if (!numbers_.toDouble(text)) {
        failNotNumber(box, text);
    }
    const auto value = numbers_.toInt32(text);
    if (!value) {
        failRange(box, text, "-2147483648 to 2147483647");
    }
    return *value;
}

std::int16_t ParameterReader::toInt16(std::string_view box) const {
    const double value = GiveMeDouble(box);
    const auto rounded = roundToInt16(value);
    if (!rounded) {
        failRange(box, ops_.text(box), "-32768 to 32767");
    }
    return *rounded;
}

std::optional<std::int32_t> ParameterReader::peekInt32(std::string_view box) const {
    return numbers_.toInt32(ops_.text(box));
}

std::optional<std::int16_t> ParameterReader::peekInt16(std::string_view box) const {
    const auto value = numbers_.toDouble(ops_.text(box));
    return value ? roundToInt16(*value) : std::nullopt;
}

std::optional<PeekedBounds> ParameterReader::peekBounds(const char* matrix) const {
    const auto rows = peekInt32(ctl::TINDICE_MATRICE1);
    const auto columns = peekInt32(ctl::TINDICE_MATRICE2);
    if (!rows || !columns) {
        return std::nullopt;
    }
    const QString name = QString::fromLatin1(matrix);
    if (*columns < 1 || *columns > 32766) {
        throw RunFailure(QStringLiteral("The second index of %1 must lie from 1 to 32766: %2.")
                             .arg(name, describeBoxHolding(ops_, ctl::TINDICE_MATRICE2)));
    }
    if (*rows < 1) {
        throw RunFailure(QStringLiteral("The first index of %1 must be at least 1: %2.")
                             .arg(name, describeBoxHolding(ops_, ctl::TINDICE_MATRICE1)));
    }
    return PeekedBounds{*rows, *columns, peekInt16(ctl::Tnitertemp)};
}

void ParameterReader::refuseLevelsBeyond(const PeekedBounds& bounds, int lastRow,
                                         const char* matrix) const {
    if (!bounds.levels || *bounds.levels <= lastRow) {
        return;
    }
    throw RunFailure(QStringLiteral("nitertemp is %1, above the last row of %2 (%3): %4, and %5.")
                         .arg(*bounds.levels)
                         .arg(QString::fromLatin1(matrix))
                         .arg(lastRow)
                         .arg(describeBoxHolding(ops_, ctl::Tnitertemp),
                              describeBoxHolding(ops_, ctl::TINDICE_MATRICE1)));
}

void ParameterReader::readIndexBounds(FormState& form) const {
    form.IndiceMatrice1 = toInt32(ctl::TINDICE_MATRICE1);
    form.IndiceMatrice2 = toInt32(ctl::TINDICE_MATRICE2);
}

void ParameterReader::show(std::string_view box, double value, const char* name) const {
    if (!std::isfinite(value)) {
        throw RunFailure(QStringLiteral("%1 is not a finite number (division by zero, overflow "
                                        "or an invalid operation).")
                             .arg(QString::fromUtf8(name)));
    }
    ops_.setText(box, numbers_.general(value));
}

void ParameterReader::showFixed(std::string_view box, double value, const char* name) const {
    if (!std::isfinite(value)) {
        show(box, value, name);
    }
    ops_.setText(box, numbers_.fixed(value, 4));
}

// The order of the reads and of the operations is the model's: each box is
// converted when it is read, and a failure leaves the earlier steps done.
void ParameterReader::readPhysical(Parameters& p, bool girotondo) const {
    p.Rho = GiveMeDouble(ctl::TRho);
    p.VFase = GiveMeDouble(ctl::TVFase);
    p.V0 = GiveMeDouble(ctl::TV0);
    p.DeltaT = GiveMeDouble(ctl::TDeltaT);
    p.nitertemp = toInt16(ctl::Tnitertemp);
    if (girotondo) {
        p.N = toInt16(ctl::TN);
    }

    p.D = GiveMeDouble(ctl::TD);
    p.A = p.D * kPi * GiveMeDouble(ctl::TD) / 4;
    showFixed(ctl::TA, p.A, "A (area)");

    // The model works with 10000 times the pressure typed.
    p.P = GiveMeDouble(ctl::TP) * 10000;
    p.F = p.P * p.A;
    showFixed(ctl::TF, p.F, "F (counter force)");

    const double levels = GiveMeDouble(ctl::Tnitertemp);
    if (girotondo) {
        const double n = GiveMeDouble(ctl::TN);
        p.tot = levels * GiveMeDouble(ctl::TDeltaT) * n;
    } else {
        p.tot = levels * GiveMeDouble(ctl::TDeltaT);
    }
    show(ctl::Ttot, p.tot, "tot");

    p.B = p.VFase * p.VFase * p.Rho;
    showFixed(ctl::TB, p.B, "B (compressibility)");

    // The column is always cut into 10000 pieces, whatever the number of
    // segments the second index asks for.
    p.L0 = GiveMeDouble(ctl::Tltot) / 10000;
    showFixed(ctl::TL0, p.L0, "L0 (segment spacing)");
}

std::optional<Parameters> ParameterReader::peekTimeStep() const {
    const auto VFase = numbers_.toDouble(ops_.text(ctl::TVFase));
    const auto DeltaT = numbers_.toDouble(ops_.text(ctl::TDeltaT));
    const auto ltot = numbers_.toDouble(ops_.text(ctl::Tltot));
    if (!VFase || !DeltaT || !ltot) {
        return std::nullopt;
    }
    Parameters p;
    p.VFase = *VFase;
    p.DeltaT = *DeltaT;
    p.L0 = *ltot / 10000;
    return p;
}

void ParameterReader::refuseImpossibleUpdate(const Parameters& p) const {
    const auto fail = [this](const char* why, std::initializer_list<std::string_view> boxes) {
        QStringList named;
        for (const auto box : boxes) {
            named.append(describeBoxHolding(ops_, box));
        }
        throw RunFailure(QStringLiteral("The first level cannot be computed: %1 (%2).")
                             .arg(QString::fromLatin1(why), named.join(QStringLiteral(", "))));
    };
    const KernelFactors f = KernelFactors::from(p.DeltaT, p.L0, p.Rho, p.B, p.P);
    if (p.L0 == 0) {
        fail("L0 is 0, and the update divides by it", {ctl::Tltot});
    }
    if (!std::isfinite(std::pow(p.DeltaT / p.L0, 2.0))) {
        fail("(deltat / L0) squared is beyond the double range", {ctl::TDeltaT, ctl::Tltot});
    }
    if (p.Rho == 0) {
        fail("Rho is 0, and the update divides by it", {ctl::TRho});
    }
    if (!std::isfinite(f.k1) || !std::isfinite(f.k2)) {
        fail(
            "an update factor (deltat / L0) squared times 1 / Rho or B / Rho is beyond the "
            "double range",
            {ctl::TDeltaT, ctl::Tltot, ctl::TRho, ctl::TVFase});
    }
    if (!std::isfinite(p.P * p.L0)) {
        fail("the force term P x L0 is beyond the double range", {ctl::TP, ctl::Tltot});
    }
}

void ParameterReader::refuseImpossibleHammer(const Parameters& p, const WaterHammer& hammer) const {
    if (hammer.hasValve() && p.P != 0) {
        throw RunFailure(QStringLiteral("A valve holds segment 0, so no counter pressure can "
                                        "act on it: P must be 0 with a closed or closing valve "
                                        "(%1).")
                             .arg(describeBoxHolding(ops_, ctl::TP)));
    }
    if (hammer.firstEnd == FirstEnd::Valve) {
        if (!(hammer.closingTime > 0) || !std::isfinite(hammer.closingTime)) {
            throw RunFailure(QStringLiteral("The valve's closing time must be a positive number "
                                            "of seconds, not %1.")
                                 .arg(numbers_.brief(hammer.closingTime)));
        }
        if (!std::isfinite(p.DeltaT * p.DeltaT * p.V0 / hammer.closingTime)) {
            throw RunFailure(QStringLiteral("The valve's step, deltat squared times V0 over the "
                                            "closing time, is beyond the double range (%1, %2).")
                                 .arg(describeBoxHolding(ops_, ctl::TDeltaT),
                                      describeBoxHolding(ops_, ctl::TV0)));
        }
    }
    if (!(hammer.friction >= 0) || !std::isfinite(hammer.friction)) {
        throw RunFailure(QStringLiteral("The friction factor f must be 0 or more, not %1.")
                             .arg(numbers_.brief(hammer.friction)));
    }
    if (hammer.hasFriction()) {
        const double D = GiveMeDouble(ctl::TD);
        const double kf = hammer.friction / (2 * D);
        if (!(D > 0) || !std::isfinite(kf)) {
            throw RunFailure(QStringLiteral("Friction needs the pipe's diameter as a positive "
                                            "number whose f / (2 D) is finite (%1).")
                                 .arg(describeBoxHolding(ops_, ctl::TD)));
        }
    }
}

std::optional<int> cappedLastRow(std::int32_t IndiceMatrice1) {
    if (IndiceMatrice1 > 50000) {
        return std::nullopt;
    }
    return IndiceMatrice1 < kMaxRows ? IndiceMatrice1 : kMaxRows - 1;
}

}  // namespace velarion
