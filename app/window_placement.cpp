#include "window_placement.h"

#include <algorithm>

namespace karrow {

QRect FitInside(const QRect& frame, const QRect& available)
{
    QRect fitted(frame.topLeft(), frame.size().boundedTo(available.size()));
    if (fitted.right() > available.right())
        fitted.moveRight(available.right());
    if (fitted.bottom() > available.bottom())
        fitted.moveBottom(available.bottom());
    if (fitted.left() < available.left())
        fitted.moveLeft(available.left());
    if (fitted.top() < available.top())
        fitted.moveTop(available.top());
    return fitted;
}

PlaceBeside PlaceBesideMain(const QRect& main, QSize wanted, int narrowest, const QRect& available)
{
    const QSize size = wanted.boundedTo(available.size());
    const int rightRoom = available.right() - main.right();
    const int leftRoom = main.left() - available.left();
    PlaceBeside place { QRect(QPoint(main.right() + 1, main.top()), size), main.topLeft() };
    if (rightRoom >= size.width()) {
        // Beside it on the right, the usual side for what follows.
    } else if (leftRoom >= size.width()) {
        place.Window.moveRight(main.left() - 1);
    } else if (std::max(rightRoom, leftRoom) >= narrowest) {
        if (rightRoom >= leftRoom)
            place.Window.setWidth(rightRoom);
        else
            place.Window = QRect(available.left(), main.top(), leftRoom, size.height());
    } else if (main.width() + narrowest <= available.width()) {
        place.MainTopLeft.setX(available.left());
        place.Window = QRect(available.left() + main.width(), main.top(),
            std::min(size.width(), available.width() - main.width()), size.height());
    } else {
        // No screen for both: the window is whole at least, and over as little of the main
        // window's left part, where its fields are, as it can be.
        place.Window.moveRight(available.right());
    }
    place.Window = FitInside(place.Window, available);
    return place;
}

} // namespace karrow
