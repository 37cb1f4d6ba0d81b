#pragma once

#include "../solver/run_state.h"
#include "user_interface.h"

namespace karrow {

inline constexpr const char* InputErrorMessage = "Input data is not proper, change and try again!";

// Reads the fourteen input fields in order into the run's inputs. On the first text that does
// not convert, shows the input error message with a line naming the field, clears InputOk and
// reads no further field.
void ReadInputs(RunState& st, UserInterface& ui, char decimalSeparator);

} // namespace karrow
