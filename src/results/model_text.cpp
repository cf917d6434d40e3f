// The model's ends and friction in words.
#include "model_text.h"

namespace velarion {

namespace {

QString firstEndWords(const WaterHammer& hammer, const NumberText& numbers) {
    switch (hammer.firstEnd) {
        case FirstEnd::Closed:
            return QStringLiteral("Valve shut at t = 0 at segment 0");
        case FirstEnd::Valve:
            return QStringLiteral("Valve closing in %1 s at segment 0")
                .arg(numbers.brief(hammer.closingTime));
        case FirstEnd::CounterPressure:
            break;
    }
    return QStringLiteral("Counter pressure at segment 0");
}

QString lastEndWords(FreeEnd freeEnd) {
    switch (freeEnd) {
        case FreeEnd::Restoring:
            return QStringLiteral("reservoir (restoring free end) at segment M");
        case FreeEnd::Closed:
            return QStringLiteral("dead end (closed) at segment M");
        case FreeEnd::Seed:
            break;
    }
    return QStringLiteral("the seed's free end at segment M");
}

}  // namespace

QString modelSentence(FreeEnd freeEnd, const WaterHammer& hammer, const NumberText& numbers) {
    const QString friction =
        hammer.hasFriction() ? QStringLiteral("friction f = %1").arg(numbers.brief(hammer.friction))
                             : QStringLiteral("no friction");
    return QStringLiteral("%1, %2, %3.")
        .arg(firstEndWords(hammer, numbers), lastEndWords(freeEnd), friction);
}

}  // namespace velarion
