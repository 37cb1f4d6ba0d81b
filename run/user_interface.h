#pragma once

#include "../solver/message_sink.h"

#include <string>

namespace karrow {

// All the run driver needs from a front end: the window, the command line and the tests each
// implement it, so they all run the very same sequence.
class UserInterface : public MessageSink {
public:
    // Text of field 1..15: Edit1..Edit14 are the inputs, Edit15 the "Save File Name".
    virtual std::string FieldText(int field) const = 0;
    // Shows "Calculation is successfully finished !" modally; returns when it is closed.
    virtual void ShowFinishDialog() = 0;
    // Lists the files of the chosen folder afresh (and makes it the current directory again).
    virtual void RereadFileList() = 0;
};

} // namespace karrow
