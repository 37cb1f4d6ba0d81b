#include "drive_box.h"

#include <QAbstractItemView>
#include <QScreen>
#include <algorithm>

namespace karrow {

DriveBox::DriveBox(QWidget* parent)
    : QComboBox(parent)
{
    view()->setTextElideMode(Qt::ElideMiddle);
    // The closed box is narrower still than its popup: the chosen entry in full on hover.
    connect(this, &QComboBox::currentIndexChanged, this,
        [this](int index) { setToolTip(index < 0 ? QString() : itemText(index)); });
}

void DriveBox::showPopup()
{
    QComboBox::showPopup();
    QWidget* popup = view()->window();
    if (popup == window())
        return;
    const QRect screenArea = screen()->availableGeometry();
    const int left = mapToGlobal(QPoint(0, 0)).x();
    const int right = std::min(window()->geometry().right(), screenArea.right());

    QRect place = popup->geometry();
    place.setWidth(std::max(width(), std::min(place.width(), right - left + 1)));
    place.moveLeft(left);
    if (place.right() > screenArea.right())
        place.moveRight(screenArea.right());
    if (place.left() < screenArea.left())
        place.moveLeft(screenArea.left());
    popup->setGeometry(place);
}

} // namespace karrow
