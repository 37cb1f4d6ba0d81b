// libFuzzer entry point of the whole-run check (whole_run_check.cpp).

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return karrow::fuzz::AbortOnFinding([&] { karrow::fuzz::CheckWholeRun(data, size); });
}
