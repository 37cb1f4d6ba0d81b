// The long campaign of the correctly rounded extended functions against MPFR:
//
//   karrow_rounding_campaign FUNCTION COUNT [SEED]
//
// FUNCTION is ln, exp, atan, sin or cos; the arguments are the streams of the core tests (which
// use seeds 1000 to 1003) from SEED on. Prints the tally; exits with 1 when a result was
// misrounded or the fast path exceeded its error bound. Run several seeds side by side to use
// more cores.

#include "rounding_check.h"
#include "solver/extended.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: karrow_rounding_campaign ln|exp|atan|sin|cos COUNT [SEED]\n");
        return 2;
    }
    const std::string name = argv[1];
    const long long count = std::atoll(argv[2]);
    const std::uint64_t seed = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 1;
    karrow::PrepareFloatingPoint();
    const auto start = std::chrono::steady_clock::now();
    const karrow::test::RoundingTally tally = karrow::test::CheckRounding(name, seed, count);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %lld arguments (seed %llu) in %.0f s: %lld misrounded, %lld beyond the fast "
                "path's bound, %lld within the bound of a rounding boundary\n",
        name.c_str(), tally.Arguments, static_cast<unsigned long long>(seed), seconds,
        tally.Misrounded, tally.FastPathMisses, tally.NearBoundary);
    if (tally.Misrounded > 0)
        std::printf("first misrounded: %s\n", tally.FirstMisrounded.c_str());
    if (tally.FastPathMisses > 0)
        std::printf("first beyond the bound: %s\n", tally.FirstFastPathMiss.c_str());
    return tally.Misrounded == 0 && tally.FastPathMisses == 0 ? 0 : 1;
}
