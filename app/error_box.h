#pragma once

class QString;
class QWidget;

namespace karrow {

// The box for an error that no step of the program handles: titled "Karrow", one OK button,
// modal over `parent`'s window. Returns when it is closed; the window stays usable.
void ShowErrorBox(QWidget* parent, const QString& text);

} // namespace karrow
