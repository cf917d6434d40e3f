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
    calls.append(controlName(box) + u'=' + text);
}

void FakeWindow::setProgressWidth(float twips) {
    widths.push_back(twips);
    calls.append(QStringLiteral("width %1").arg(twips));
}

void FakeWindow::repaint(std::string_view control) {
    repaints.append(controlName(control));
    calls.append(QStringLiteral("repaint ") + controlName(control));
}

void FakeWindow::setBusyCursor(bool busy) {
    busyCursor.push_back(busy);
    calls.append(QStringLiteral("busy %1").arg(busy));
}

bool FakeWindow::isTicked(std::string_view checkBox) const {
    return ticks_.value(controlName(checkBox));
}

void FakeWindow::setEnabled(std::string_view control, bool enabled) {
    enabled_[controlName(control)] = enabled;
    switches.append((enabled ? QStringLiteral("+") : QStringLiteral("-")) + controlName(control));
    calls.append(switches.back());
}

void FakeWindow::setStatus(const QString& caption) {
    statuses.append(caption);
    calls.append(QStringLiteral("status ") + caption);
}

void FakeWindow::processEvents() {
    ++pumps;
    calls.append(QStringLiteral("pump"));
    if (onPump) {
        onPump(pumps);
    }
}

MessageAnswer FakeWindow::messageBox(const MessageRequest& request) {
    messages.push_back(request);
    calls.append(QStringLiteral("message ") + request.text + u'|' + request.detail);
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
    calls.append(QStringLiteral("beep %1 %2").arg(frequencyHz).arg(durationMs));
}

}  // namespace velarion::testing
