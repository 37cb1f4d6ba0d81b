#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace karrow {

// Where a second window goes beside the main one, both as frame rectangles (title bar and
// border included) in screen coordinates.
struct PlaceBeside {
    QRect Window; // the second window
    QPoint MainTopLeft; // the main window's, moved only when that lets the two stand side by side
};

// `wanted` is bounded by the available area (a screen less its panels). The window goes to
// the right of `main` or else to its left, at its full width where it fits, narrowed down to
// `narrowest` where it does not; should neither side have that much room, the main window moves
// to the area's left edge if that makes room, and otherwise the window covers what it must.
PlaceBeside PlaceBesideMain(const QRect& main, QSize wanted, int narrowest, const QRect& available);

// `frame` moved and, where it must be, shrunk into `available`.
QRect FitInside(const QRect& frame, const QRect& available);

} // namespace karrow
