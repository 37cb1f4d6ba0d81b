#include "fuzz_checks.h"

#include <cstdio>
#include <cstdlib>

namespace karrow::fuzz {

int AbortOnFinding(const std::function<void()>& check)
{
    try {
        check();
    } catch (const std::exception& finding) {
        std::fprintf(stderr, "%s\n", finding.what());
        std::abort();
    }
    return 0;
}

} // namespace karrow::fuzz
