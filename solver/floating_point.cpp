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
    std::string what;
    if (raised & FE_INVALID)
        what = "an invalid floating-point operation (such as the logarithm or root of a "
               "negative number, or 0/0)";
    else if (raised & FE_DIVBYZERO)
        what = "a floating-point division by zero (or the logarithm of zero)";
    else
        what = "a floating-point overflow (a value too large for a double)";
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
    std::feclearexcept(FE_ALL_EXCEPT);
    std::feraiseexcept(saved_);
}

} // namespace karrow
