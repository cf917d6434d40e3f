// The boxes a run reads, read before it.
#include "batch_reading.h"

#include "model/controls.h"
#include "model/precision_number.h"
#include "model/run_failure.h"
#include "runs/parameter_reader.h"

#include <string_view>

namespace velarion {

namespace {

// The run's message as one line of velarion-batch's: lower case, no stop.
QString asMessageLine(QString message) {
    if (message.endsWith(QLatin1Char('.'))) {
        message.chop(1);
    }
    if (!message.isEmpty()) {
        message[0] = message[0].toLower();
    }
    return message;
}

void readEach(WindowOps& host, const NumberText& numbers, RunKind run) {
    const ParameterReader reader(host, numbers);
    reader.toInt32(ctl::TINDICE_MATRICE1);
    reader.toInt32(ctl::TINDICE_MATRICE2);
    reader.toInt16(ctl::Tnitertemp);
    if (run == RunKind::Girotondo) {
        reader.toInt16(ctl::TN);
    }
    for (const std::string_view box : {ctl::TRho, ctl::TVFase, ctl::TV0, ctl::TDeltaT, ctl::TP}) {
        reader.GiveMeDouble(box);
    }
    if (run != RunKind::Precision) {
        reader.GiveMeDouble(ctl::TD);
        reader.GiveMeDouble(ctl::Tltot);
        return;
    }
    // The decimal run takes these two texts as typed, in decimal numbers.
    DecimalPrecision decimal(numbers.locale());
    for (const std::string_view box : {ctl::TD, ctl::Tltot}) {
        decimal.Add(BoxText{host.text(box), box}, 0.0);
    }
}

// What the run refuses of the water hammer with these boxes: a valve with a
// counter pressure, friction in a pipe without a diameter. The boxes read.
void checkHammer(WindowOps& host, const NumberText& numbers, const WaterHammer& hammer) {
    const ParameterReader reader(host, numbers);
    Parameters p;
    p.V0 = reader.GiveMeDouble(ctl::TV0);
    p.DeltaT = reader.GiveMeDouble(ctl::TDeltaT);
    p.P = reader.GiveMeDouble(ctl::TP) * 10000;
    reader.refuseImpossibleHammer(p, hammer);
}

}  // namespace

bool checkBoxesRead(WindowOps& host, const NumberText& numbers, RunKind run,
                    const WaterHammer& hammer, QString& error) {
    try {
        readEach(host, numbers, run);
        checkHammer(host, numbers, hammer);
        return true;
    } catch (const RunFailure& failure) {
        error = asMessageLine(failure.message());
    } catch (const PrecisionError& failure) {
        error = asMessageLine(failure.message());
    }
    return false;
}

}  // namespace velarion
