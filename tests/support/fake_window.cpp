#include "fake_window.h"

#include "model/parameter_boxes.h"

namespace velarion::testing {

FakeWindow::FakeWindow(const QLocale& locale) {
    for (const auto& box : parameterBoxes()) {
        boxes[controlName(box.name)] = initialTextOf(box, locale);
    }
    ticks_[controlName(ctl::CLogFile)] = true;
    ticks_[controlName(ctl::CLogFileExc)] = false;
    enabled_[controlName(ctl::CStop)] = false;
}

QString FakeWindow::text(std::string_view box) const {
    return boxes.value(controlName(box));
}

void FakeWindow::setText(std::string_view box, const QString& text) {
    if (onSetText) {
        onSetText(box, text);
    }
    boxes[controlName(box)] = text;
}

bool FakeWindow::isTicked(std::string_view checkBox) const {
    return ticks_.value(controlName(checkBox));
}

void FakeWindow::setEnabled(std::string_view control, bool enabled) {
    enabled_[controlName(control)] = enabled;
    switches.append((enabled ? QStringLiteral("+") : QStringLiteral("-")) + controlName(control));
}

void FakeWindow::setStatus(const QString& caption) {
    statuses.append(caption);
}

void FakeWindow::processEvents() {
    ++pumps;
    if (onPump) {
        onPump(pumps);
    }
}

MessageAnswer FakeWindow::messageBox(const MessageRequest& request) {
    messages.push_back(request);
    return request.buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
}

std::optional<QString> FakeWindow::inputBox(const QString& prompt, const QString& title) {
    inputPrompts.append(prompt + u'|' + title);
    if (inputAnswers.isEmpty()) {
        return std::nullopt;
    }
    const QString typed = inputAnswers.takeFirst();
    if (typed.isNull()) {
        return std::nullopt;  // a null text stands for Cancel
    }
    return typed;
}

void FakeWindow::beep(int frequencyHz, int durationMs) {
    beeps.emplace_back(frequencyHz, durationMs);
}

}  // namespace velarion::testing
