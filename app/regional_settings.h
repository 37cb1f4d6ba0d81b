#pragma once

namespace karrow {

// The decimal separator of the user's regional settings, read once at start-up: a full stop
// when the settings give none or give one that is not a single ASCII character (the core reads
// and writes numbers byte by byte).
char RegionalDecimalSeparator();

} // namespace karrow
