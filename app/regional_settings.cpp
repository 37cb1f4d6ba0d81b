#include "regional_settings.h"

#include <QLocale>
#include <QString>

namespace karrow {

char RegionalDecimalSeparator()
{
    const QString separator = QLocale::system().decimalPoint();
    if (separator.size() != 1 || separator.at(0).unicode() < 0x21
        || separator.at(0).unicode() > 0x7E)
        return '.';
    return static_cast<char>(separator.at(0).unicode());
}

} // namespace karrow
