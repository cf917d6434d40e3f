#pragma once

#include <QString>
#include <QWidget>

namespace velarion::window {

// The caption of a label, button or check box (empty for other controls).
QString captionOf(const QWidget* w);
// The width, in pixels, that the control leaves for its caption.
int captionRoom(const QWidget* w);
// The width its caption needs in its current font.
int captionNeeds(const QWidget* w);

// The window's fonts stand in for Windows fonts, and a few captions come
// out wider than the rectangles drawn for them. Such a control is given the
// narrow cut of its font at the same size, so the caption is read whole.
void narrowIfCut(QWidget* w);

}  // namespace velarion::window
