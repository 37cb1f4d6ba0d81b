#pragma once

class QString;
class QWidget;

namespace karrow {

// The window's two boxes, both titled "Karrow" with one OK button, modal over `parent`'s window,
// returning when closed.

// An error that no step of the program handles (object name ErrorBox); the window stays usable.
void ShowErrorBox(QWidget* parent, const QString& text);

// A message of a step that handles its own problem, or news the user must not miss (object
// name MessageBox): a refused input, a file that cannot be read, a report folder that changed.
void ShowMessageBox(QWidget* parent, const QString& text);

} // namespace karrow
