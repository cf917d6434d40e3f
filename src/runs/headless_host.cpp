// The boxes of a host without a window, in memory.
#include "headless_host.h"

#include "model/parameter_boxes.h"

#include <chrono>

namespace velarion {

HeadlessHost::HeadlessHost(const QLocale& locale) {
    for (const auto& box : parameterBoxes()) {
        texts_.insert(controlName(box.name), initialTextOf(box, locale));
    }
    texts_.insert(controlName(ctl::TPrecision), QString::fromLatin1(kPrecisionDigitsText));
    for (const auto name :
         {ctl::TA, ctl::TF, ctl::Ttot, ctl::TB, ctl::TL0, ctl::TJ, ctl::TK, ctl::TLog}) {
        texts_.insert(controlName(name), QString());
    }
    ticks_.insert(controlName(ctl::CLogFile), true);
    ticks_.insert(controlName(ctl::CLogFileExc), false);
    ticks_.insert(controlName(ctl::CExl), false);
}

std::vector<QString> HeadlessHost::parameterBoxNames() {
    std::vector<QString> names;
    for (const auto& box : parameterBoxes()) {
        names.push_back(controlName(box.name));
    }
    return names;
}

QString HeadlessHost::text(std::string_view box) const {
    return texts_.value(controlName(box));
}

void HeadlessHost::setText(std::string_view box, const QString& text) {
    texts_[controlName(box)] = text;
}

bool HeadlessHost::isTicked(std::string_view checkBox) const {
    return ticks_.value(controlName(checkBox));
}

void HeadlessHost::tick(std::string_view checkBox, bool ticked) {
    ticks_[controlName(checkBox)] = ticked;
}

MessageAnswer HeadlessHost::messageBox(const MessageRequest& request) {
    messages_.push_back(request);
    const bool question = request.buttons == MessageButtons::YesNo;
    if (question) {
        return accepted_.contains(request.text) ? MessageAnswer::Yes : MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

std::int64_t HeadlessHost::tickCountMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace velarion
