# AddressSanitizer + UndefinedBehaviorSanitizer for every target of the build, stopping at the
# first finding so that a test run fails on it.
#
# The fuzz build (KARROW_FUZZ, clang only) instruments the same way and adds libFuzzer's
# coverage hooks to the core (fuzzer-no-link); the fuzz targets themselves link the fuzzer's
# main with -fsanitize=fuzzer (fuzz/CMakeLists.txt).
if(KARROW_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KARROW_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
endif()

if(KARROW_SANITIZE OR KARROW_FUZZ)
  set(karrow_sanitizers address,undefined)
  add_compile_options(-fsanitize=${karrow_sanitizers} -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${karrow_sanitizers} -fno-sanitize-recover=all)
  # Every per-increment array access is checked as well; the normal build proves the indices at
  # the start of each stage only.
  add_compile_definitions(KARROW_CHECK_INDICES)
endif()

if(KARROW_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
