#include "extended.h"
#include "fault.h"

#include <cfenv>
#include <fpu_control.h>
#include <string>

namespace karrow {

namespace {
    constexpr int FaultFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
}

void PrepareFloatingPoint()
{
    fpu_control_t word;
    _FPU_GETCW(word);
    word = (word & ~(_FPU_EXTENDED | _FPU_DOUBLE | _FPU_SINGLE)) | _FPU_EXTENDED;
    word = (word & ~(_FPU_RC_NEAREST | _FPU_RC_DOWN | _FPU_RC_UP | _FPU_RC_ZERO)) | _FPU_RC_NEAREST;
    _FPU_SETCW(word);
    std::fesetround(FE_TONEAREST);
    std::feclearexcept(FE_ALL_EXCEPT);
}

void ClearFloatingPointFaults()
{
    std::feclearexcept(FaultFlags);
}

void CheckFloatingPoint(const char* stage)
{
    const int raised = std::fetestexcept(FaultFlags);
    if (raised == 0)
        return;
    // The flags do not tell which fault came first; name every one that was raised.
    std::string what;
    const auto add = [&what](const char* fault) {
        what += (what.empty() ? "" : " and ") + std::string(fault);
    };
    if (raised & FE_DIVBYZERO)
        add("a floating-point division by zero (or the logarithm of zero)");
    if (raised & FE_OVERFLOW)
        add("a floating-point overflow (a value too large for a double)");
    if (raised & FE_INVALID)
        add("an invalid floating-point operation (such as the logarithm or root of a negative "
            "number, or 0/0)");
    ClearFloatingPointFaults();
    throw ArithmeticFault("The calculation stopped in the " + std::string(stage) + ": " + what
        + " occurred. Check the input values.");
}

FloatingPointFlagsKeeper::FloatingPointFlagsKeeper()
    : saved_(std::fetestexcept(FE_ALL_EXCEPT))
{
}

FloatingPointFlagsKeeper::~FloatingPointFlagsKeeper()
{
    // Mostly nothing new was raised: reading the flags is cheap, raising inexact again is not
    // (the flow balance keeps its flags in every step).
    if (std::fetestexcept(FE_ALL_EXCEPT) == saved_)
        return;
    std::feclearexcept(FE_ALL_EXCEPT);
    std::feraiseexcept(saved_);
}

} // namespace karrow
