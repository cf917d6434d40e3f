#include "placement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <array>

namespace velarion::window {

namespace {

// Between two windows side by side.
constexpr int kGap = 8;

QSize within(QSize wanted, QSize room) {
    return wanted.boundedTo(room);
}

// `start` moved so that `length` from it lies within low..high where it can.
int clampInto(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high - length + 1));
}

// The room right, left, below and above `main`, in that order.
struct Room {
    QRect area;
    bool beside;  // right or left: the window starts level with `main`
};

std::array<Room, 4> roomsAround(const QRect& main, const QRect& available) {
    return {
        {{QRect(QPoint(main.right() + 1 + kGap, available.top()), available.bottomRight()), true},
         {QRect(available.topLeft(), QPoint(main.left() - 1 - kGap, available.bottom())), true},
         {QRect(QPoint(available.left(), main.bottom() + 1 + kGap), available.bottomRight()),
          false},
         {QRect(available.topLeft(), QPoint(available.right(), main.top() - 1 - kGap)), false}}};
}

// Over the lower part of the screen: below the buttons when that leaves the
// least height, else at the bottom of the screen left of the buttons, or
// right of them, where the width allows.
QRect overTheLowerPart(const QRect& main, const QRect& keepClear, QSize wanted, QSize least,
                       const QRect& available) {
    const int belowButtons = keepClear.bottom() + 1 + kGap;
    if (available.bottom() - belowButtons + 1 >= least.height()) {
        const QSize size =
            within(wanted, QSize(available.width(), available.bottom() - belowButtons + 1));
        return QRect(
            QPoint(clampInto(main.left(), size.width(), available.left(), available.right()),
                   belowButtons),
            size);
    }
    QSize size = within(wanted, available.size());
    const int leftRoom = keepClear.left() - kGap - available.left();
    const int rightRoom = available.right() - keepClear.right() - kGap;
    int x = clampInto(main.left(), size.width(), available.left(), available.right());
    if (leftRoom >= least.width()) {
        size.setWidth(std::min(size.width(), leftRoom));
        x = clampInto(main.left(), size.width(), available.left(), keepClear.left() - kGap - 1);
    } else if (rightRoom >= least.width()) {
        size.setWidth(std::min(size.width(), rightRoom));
        x = keepClear.right() + 1 + kGap;
    }
    return QRect(QPoint(x, available.bottom() - size.height() + 1), size);
}

}  // namespace

QRect placeBeside(const QRect& main, const QRect& keepClear, QSize wanted, QSize least,
                  const QRect& available) {
    for (const Room& room : roomsAround(main, available)) {
        if (room.area.width() < least.width() || room.area.height() < least.height()) {
            continue;
        }
        const QSize size = within(wanted, room.area.size());
        const bool leftOfMain = room.beside && room.area.right() < main.left();
        const bool aboveMain = !room.beside && room.area.bottom() < main.top();
        const int x =
            room.beside ? (leftOfMain ? room.area.right() - size.width() + 1 : room.area.left())
                        : clampInto(main.left(), size.width(), room.area.left(), room.area.right());
        const int y =
            room.beside ? clampInto(main.top(), size.height(), room.area.top(), room.area.bottom())
                        : (aboveMain ? room.area.bottom() - size.height() + 1 : room.area.top());
        return QRect(QPoint(x, y), size);
    }
    return overTheLowerPart(main, keepClear, wanted, least, available);
}

void fitOnScreen(QWidget& window, QSize wanted) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        window.resize(wanted);
        return;
    }
    const QRect available = screen->availableGeometry();
    // Room for the frame the window manager adds: as around the window that
    // opens this one, while this one has none yet.
    const QWidget* framed = window.isVisible() || window.parentWidget() == nullptr
                                ? &window
                                : window.parentWidget()->window();
    const QSize frame = framed->frameGeometry().size() - framed->geometry().size();
    const QSize size = within(wanted, available.size() - frame).expandedTo(window.minimumSize());
    window.resize(size);
    QRect placed(QPoint(0, 0), size + frame);
    placed.moveCenter(available.center());
    window.move(clampInto(placed.left(), placed.width(), available.left(), available.right()),
                clampInto(placed.top(), placed.height(), available.top(), available.bottom()));
}

}  // namespace velarion::window
