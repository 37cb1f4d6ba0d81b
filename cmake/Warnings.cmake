# Compile options of the project's own code, as INTERFACE targets that each target links.
# karrow_options holds what the arithmetic depends on and is public (tests, benchmarks and
# front ends must evaluate exactly as the core does); karrow_warnings is private to each target.
add_library(karrow_options INTERFACE)
target_compile_options(karrow_options INTERFACE -ffp-contract=off -fno-fast-math)

add_library(karrow_warnings INTERFACE)
target_compile_options(karrow_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Werror)
