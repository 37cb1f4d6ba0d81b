#pragma once

// The texts that users of Karrow know word for word, from the messages and the finish dialog.
// They are kept exactly as they have always been, typos included ("congerge", "Finsh"): do not
// correct them. Any explanation Karrow adds goes on a line of its own after them.

namespace karrow {

inline constexpr const char* InputErrorMessage = "Input data is not proper, change and try again!";
inline constexpr const char* CannotOpenMessage = "File can not open!";
inline constexpr const char* CannotWriteResultsMessage = "Can not write results to file";
inline constexpr const char* NonConvergenceMessage =
    "This case does not congerge, power law parameter <n> may be too small.";
inline constexpr const char* FinishedMessage = "Calculation is successfully finished !";
inline constexpr const char* FinishDialogTitle = "Finsh";

} // namespace karrow
