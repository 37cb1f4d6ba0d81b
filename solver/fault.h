#pragma once

#include <stdexcept>
#include <string>

namespace karrow {

// An error that no step of a run handles: it ends the run where it happens, leaves the report
// as far as it was written, and is shown by the front end. Expected failures (a bad field, a
// report that cannot be opened, no convergence) never throw; the run driver ends the run with
// their own end state (RunEnd, run/run_driver.h).
class Fault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Invalid operation, division by zero (integer division too) or overflow inside the solver.
class ArithmeticFault : public Fault {
public:
    using Fault::Fault;
};

// A write or close of the report that failed after the file was opened.
class IoFault : public Fault {
public:
    using Fault::Fault;
};

// An index outside a run's arrays: a defect of the program, never a property of the input.
class IndexFault : public Fault {
public:
    using Fault::Fault;
};

} // namespace karrow
