#pragma once

#include <QComboBox>

namespace karrow {

// The drive selector (object name DriveComboBox1). Mount points and device names can be far
// longer than the narrow box, and a popup as wide as its longest entry would run past the
// window and off the screen: the popup ends at the window's right edge (never narrower than
// the box, never off the screen), entries too long for it are cut in the middle, and each
// entry's full text is its tool tip, as is the chosen entry's of the closed box.
class DriveBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveBox(QWidget* parent = nullptr);

    void showPopup() override;
};

} // namespace karrow
