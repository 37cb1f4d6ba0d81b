// Tests call solver stages directly, without the run driver that prepares the floating-point
// unit for each run: start every test the same way, so that flags raised by an earlier test
// (a parse of "1e309", say) cannot fail a later one.

#include "solver/extended.h"

#include <gtest/gtest.h>

namespace {

class FloatingPointReset : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { karrow::PrepareFloatingPoint(); }
};

const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new FloatingPointReset);
    return true;
}();

} // namespace
