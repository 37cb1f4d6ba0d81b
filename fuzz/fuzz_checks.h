#pragma once

// The checks of the fuzz targets, one per target, shared by the libFuzzer entry points (clang
// fuzz build) and by the test that replays the committed corpora in every build. A check throws
// Finding for an input whose outcome is wrong; anything else it throws is a finding too.

#include "run/run_driver.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

namespace karrow::fuzz {

struct Finding : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Byte 0 chooses the field kind and the decimal separator; the rest is a field's text.
void CheckInputGrammar(const std::uint8_t* data, std::size_t size);

// How a checked run ended: not run (an input too short to be one), the driver's end state, or
// an arithmetic fault (run, without an end state).
struct CheckedRun {
    bool Ran = false;
    std::optional<RunEnd> End;
};

// A whole run of the driver from field texts, then its record written to the output files.
CheckedRun CheckWholeRun(const std::uint8_t* data, std::size_t size);

// For a libFuzzer entry point: runs `check`, and on a finding prints it and aborts, which is
// how libFuzzer learns of it.
int AbortOnFinding(const std::function<void()>& check);

} // namespace karrow::fuzz
