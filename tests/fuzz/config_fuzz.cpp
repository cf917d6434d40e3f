// libFuzzer target: arbitrary bytes as a configuration file, and the same
// bytes as box texts for the number conversions and the parameter reader.
#include "config/config_commands.h"
#include "model/number_text.h"
#include "model/run_failure.h"
#include "runs/parameter_reader.h"
#include "support/fake_window.h"

#include <QBuffer>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace velarion;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

const NumberText& numbers(std::size_t i) {
    static const NumberText all[] = {NumberText(QLocale(QLocale::Italian, QLocale::Italy)),
                                     NumberText(QLocale(QLocale::English, QLocale::UnitedStates)),
                                     NumberText(QLocale::c())};
    return all[i % 3];
}

// The conversions agree with each other and their results print.
void convert(const NumberText& n, const QString& text) {
    const auto value = n.toDouble(text);
    const auto int32 = n.toInt32(text);
    check(!int32 || (value && std::fabs(*value - *int32) <= 0.5));
    if (value) {
        const auto int16 = roundToInt16(*value);
        check(!int16 || std::fabs(*value - *int16) <= 0.5);
        check(!n.general(*value).isEmpty());
        check(!n.fixed(*value, 4).isEmpty());
    }
}

// Saving what was loaded and loading it again gives the same texts.
void roundTrip(const ConfigTexts& texts) {
    QByteArray bytes;
    QString reason;
    if (!encodeConfig(texts, bytes, reason)) {
        check(!reason.isEmpty());
        return;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ConfigTexts again;
    check(readConfig(buffer, again, reason));
    check(again == texts);
}

void readParameters(const ConfigTexts& texts, const NumberText& n, bool girotondo) {
    testing::FakeWindow boxes;
    setBoxTexts(boxes, texts);
    const ParameterReader reader(boxes, n);
    FormState form;
    try {
        reader.readIndexBounds(form);
        reader.readPhysical(form.parameters, girotondo);
    } catch (const RunFailure& failure) {
        check(!failure.message().isEmpty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ConfigTexts texts;
    QString reason;
    if (readConfig(buffer, texts, reason)) {
        roundTrip(texts);
        readParameters(texts, numbers(size), size % 2 == 0);
    } else {
        check(!reason.isEmpty());
    }
    const QString text = QString::fromUtf8(bytes);
    for (std::size_t i = 0; i < 3; ++i) {
        convert(numbers(i), text);
    }
    return 0;
}
