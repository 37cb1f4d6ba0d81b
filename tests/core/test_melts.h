#pragma once

// A melt the tests share: Cross-WLF of the injection-moulding databases' kind, a PP-like flow
// curve for about 200 to 240 C, with no pressure term.

#include "solver/melt.h"

namespace karrow::test {

inline Melt CrossWlfMelt()
{
    Melt m;
    m.Model = ViscosityModel::CrossWlf;
    m.FlowIndex = 0.3;
    m.CriticalStress = 30000;
    m.D1 = 2e12;
    m.D2 = 100;
    m.A1 = 26;
    m.A2 = 51.6;
    m.Density = 760;
    m.HeatCapacity = 2600;
    return m;
}

} // namespace karrow::test
