#pragma once

// The command line's conditions of a run with a real melt: its temperature, the thermal mode,
// the die wall and the throughput (run/melt_run.h checks them). The melt itself comes from
// --melt FILE or --material NAME.

#include "run/melt_run.h"

#include <CLI/CLI.hpp>

namespace karrow {

// --melt-temperature, --thermal, --wall-temperature, --heat-transfer-coefficient, --throughput.
void AddMeltOptions(CLI::App& app, MeltRunSettings& settings);

} // namespace karrow
