#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QWidget;

namespace karrow {

// The window's face: a proportional Japanese Gothic font given by its character height in
// pixels, the colours of the texts, and the button-face background.
QFont KarrowFont(int pixelSize);

inline const QColor LabelBlue { 0, 0, 255 };
inline const QColor NoteGreen { 0, 128, 0 };
inline const QColor CaptionRed { 255, 0, 0 };

// Sets the colour of the text a label or a group frame's caption is drawn with.
void SetTextColour(QWidget* widget, const QColor& colour);

// Condenses a one-line label's font horizontally until its text fits the label's width. The
// window was laid out for a narrower face than the Gothic faces a Linux desktop has; condensing
// keeps a fixed-size text whole where it would otherwise be cut.
void CondenseToFit(QLabel* label);

// Gives a window the button-face colour of its palette as background.
void UseButtonFaceBackground(QWidget* window);

} // namespace karrow
