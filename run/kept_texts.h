#pragma once

// The texts that users of Karrow know word for word, from the messages, the main window and the
// finish dialog. They are kept exactly as they have always been, typos included ("congerge",
// "Finsh"): do not correct them. Any explanation Karrow adds goes on a line of its own after them.
// Every front end takes them from here; only the tests spell them out, to catch a "correction".

namespace karrow {

// Messages of a run.
inline constexpr const char* InputErrorMessage = "Input data is not proper, change and try again!";
inline constexpr const char* CannotOpenMessage = "File can not open!";
inline constexpr const char* CannotWriteResultsMessage = "Can not write results to file";
inline constexpr const char* NonConvergenceMessage =
    "This case does not congerge, power law parameter <n> may be too small.";

// The finish dialog: its title, its message and the fixed date below it (not the date of a run).
inline constexpr const char* FinishDialogTitle = "Finsh";
inline constexpr const char* FinishedMessage = "Calculation is successfully finished !";
inline constexpr const char* FinishDialogDate = "2008.8.6";

// The main window: its caption (which the message boxes carry too), the frame of the input
// fields, the note on the asterisks of the channel depths and the close button ("&" marks Alt+C).
// The field labels, "Save File Name" among them, are the field table's.
inline constexpr const char* WindowCaption = "Karrow";
inline constexpr const char* InputConditionCaption = "Input Condition";
inline constexpr const char* ChannelDepthNote =
    "* Channel depth is the distance from channel bottom to body surface.";
inline constexpr const char* CloseButtonText = "Close(&C)";

} // namespace karrow
