#pragma once

#include "fields.h"

#include <string>

namespace karrow {

// All the run driver needs from a front end: the window, the command line and the tests each
// implement it, so they all run the very same sequence.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    // The text of a field as typed: the fourteen inputs and the "Save File Name".
    virtual std::string FieldText(Field field) const = 0;
    // Shows a message modally (an OK box in the window, stderr on the command line); returns when
    // the user has closed it.
    virtual void ShowMessage(const std::string& text) = 0;
    // Shows "Calculation is successfully finished !" modally; returns when it is closed.
    virtual void ShowFinishDialog() = 0;
    // Lists the files of the chosen folder afresh (and makes it the current directory again).
    virtual void RereadFileList() = 0;
    // The report now holds its sections 1..`section` (1 input data, 2 modified condition, 3 flow
    // table). Nothing may be shown modally here; the front ends need nothing of it, the tests use
    // it to change the file between the sections as another program might.
    virtual void SectionWritten(int /*section*/) { }
};

} // namespace karrow
