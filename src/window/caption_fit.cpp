#include "caption_fit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>

namespace velarion::window {

QString captionOf(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    return {};
}

int captionRoom(const QWidget* w) {
    const QStyle* style = w->style();
    if (qobject_cast<const QCheckBox*>(w)) {
        return w->width() - style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) -
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
    }
    if (qobject_cast<const QAbstractButton*>(w)) {
        return w->width() - 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w) / 3;
    }
    return w->width();
}

int captionNeeds(const QWidget* w) {
    return QFontMetrics(w->font()).horizontalAdvance(captionOf(w));
}

void narrowIfCut(QWidget* w) {
    if (captionOf(w).isEmpty() || captionNeeds(w) <= captionRoom(w))
        return;
    QFont narrow(QStringLiteral("Liberation Sans Narrow"));
    narrow.setPointSizeF(w->font().pointSizeF());
    w->setFont(narrow);
}

}  // namespace velarion::window
