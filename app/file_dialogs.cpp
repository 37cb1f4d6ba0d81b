#include "file_dialogs.h"

#include "message_box.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace karrow {

namespace {

    // "SVG drawing (*.svg *.svgz)" → ".svg", ".svgz"
    QStringList Suffixes(const QString& filter)
    {
        static const QRegularExpression pattern(QStringLiteral(R"(\*(\.[^\s)]+))"));
        QStringList suffixes;
        for (const QRegularExpressionMatch& match : pattern.globalMatch(filter))
            suffixes.append(match.captured(1));
        return suffixes;
    }

} // namespace

QString FollowingTheFilter(const QString& path, const QString& chosen, const QStringList& filters)
{
    if (path.isEmpty())
        return path;
    for (const QString& filter : filters)
        for (const QString& suffix : Suffixes(filter))
            if (path.endsWith(suffix, Qt::CaseInsensitive))
                return path;
    const QStringList wanted = Suffixes(chosen);
    return wanted.isEmpty() ? path : path + wanted.front();
}

QString ChooseFileToWrite(
    QWidget* parent, const QString& title, const QString& suggested, const QStringList& filters)
{
    QFileDialog dialog(parent, title);
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString typed = dialog.selectedFiles().front();
    const QString path = FollowingTheFilter(typed, dialog.selectedNameFilter(), filters);
    // The dialog asked about replacing the name as typed, not about the one with the suffix.
    if (path != typed && QFileInfo::exists(path)) {
        if (!ShowMessageBox(parent, MessageBoxKind::ReplaceQuestion,
                QStringLiteral("%1 already exists. Replace it?").arg(path)))
            return QString();
    }
    return path;
}

QString ChooseFileToRead(QWidget* parent, const QString& title, const QStringList& filters)
{
    QFileDialog dialog(parent, title);
    dialog.setObjectName(QStringLiteral("OpenFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().front();
}

} // namespace karrow
