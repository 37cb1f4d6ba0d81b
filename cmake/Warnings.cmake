# Compile options of the project's own code, as INTERFACE targets that each target links.
# karrow_options holds what the arithmetic depends on and is public (tests, benchmarks and
# front ends must evaluate exactly as the core does); karrow_warnings is private to each target.
add_library(karrow_options INTERFACE)
target_compile_options(karrow_options INTERFACE -ffp-contract=off -fno-fast-math)

add_library(karrow_warnings INTERFACE)
target_compile_options(karrow_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow)

# Off by default so that a user's or a packager's build, perhaps with a newer compiler that
# warns about more, never fails on a warning; scripts/test turns it on.
if(KARROW_WARNINGS_AS_ERRORS)
  target_compile_options(karrow_warnings INTERFACE -Werror)
endif()

# GCC 12 at -O3 (Release) reports memcpy overlaps inside std::string's inlined insert and
# assign that cannot happen (its range analysis loses the string's size bounds), so Release
# builds with warnings as errors would fail on correct code. Only GCC 12, where this false
# report is known, loses the warning; every other compiler keeps it.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(karrow_warnings INTERFACE -Wno-restrict)
endif()
