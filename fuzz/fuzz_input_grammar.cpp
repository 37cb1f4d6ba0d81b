// libFuzzer entry point of the input grammar's check (input_grammar_check.cpp).

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return karrow::fuzz::AbortOnFinding([&] { karrow::fuzz::CheckInputGrammar(data, size); });
}
