#pragma once

class QString;
class QWidget;

namespace karrow {

// The window's message boxes. Every one is titled with the main window's caption, modal over
// `parent`'s window, and returns when it is closed; what sets them apart is their object name
// (which users' scripts and the tests find them by), icon and buttons.
enum class MessageBoxKind {
    // An error that no step of the program handles (ErrorBox, OK); the window stays usable.
    Error,
    // A message of a step that handles its own problem, or news the user must not miss
    // (MessageBox, OK): a refused input, a file that cannot be read, a report folder that changed.
    Message,
    // Whether a file that exists may be replaced (ReplaceQuestion, Yes and No).
    ReplaceQuestion,
};

// Shows `text` in a box of `kind`; true when it was answered with Yes (or closed with OK).
bool ShowMessageBox(QWidget* parent, MessageBoxKind kind, const QString& text);

} // namespace karrow
