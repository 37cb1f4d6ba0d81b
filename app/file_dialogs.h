#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace karrow {

// `path` as the chosen name filter of a save dialog wants it. A name that already ends in the
// suffix of one of the dialog's `filters` keeps it (the user typed what they meant); any other
// gets the chosen filter's suffix, so that "chart" with "SVG drawing (*.svg)" chosen is written
// as chart.svg, and as a drawing.
QString FollowingTheFilter(const QString& path, const QString& chosen, const QStringList& filters);

// Asks where to write a file, starting from `suggested` (a name in the current folder); the
// path as FollowingTheFilter makes it, or empty when the user cancels. The dialog's object name
// is SaveFileDialog; should the added suffix name a file that exists, a question
// (ReplaceQuestion) asks before it is replaced.
QString ChooseFileToWrite(
    QWidget* parent, const QString& title, const QString& suggested, const QStringList& filters);

// Asks which file to read; its path, or empty when the user cancels. The dialog's object name is
// OpenFileDialog.
QString ChooseFileToRead(QWidget* parent, const QString& title, const QStringList& filters);

} // namespace karrow
