#include "window_look.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QStringList>
#include <QWidget>

namespace karrow {

namespace {

    // Narrower than this, a text is better cut than read.
    constexpr int MinimumStretch = 50;

} // namespace

QFont KarrowFont(int pixelSize)
{
    // The face the window was designed with comes first. fontconfig has no alias for it, so
    // the closest proportional Gothic faces that a Linux desktop ships are named after it.
    static const QStringList families {
        QStringLiteral(u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"),
        QStringLiteral("VL PGothic"),
        QStringLiteral("IPAPGothic"),
        QStringLiteral("Noto Sans CJK JP"),
    };
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void CondenseToFit(QLabel* label)
{
    const int room = label->contentsRect().width();
    int textWidth = QFontMetrics(label->font()).horizontalAdvance(label->text());
    if (textWidth <= room)
        return;
    // Hinting does not scale the advance exactly with the stretch, so a first guess from the
    // ratio can still be a pixel too wide; step down from it until the text fits.
    QFont condensed = label->font();
    for (int stretch = 100 * room / textWidth; stretch >= MinimumStretch && textWidth > room;
         --stretch) {
        condensed.setStretch(stretch);
        textWidth = QFontMetrics(condensed).horizontalAdvance(label->text());
    }
    label->setFont(condensed);
}

void UseButtonFaceBackground(QWidget* window)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

} // namespace karrow
