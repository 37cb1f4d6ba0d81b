# cmake -DCHECK=<CheckFloors.cmake> -DSCRATCH=<folder> -P floors_test.cmake
#
# The include check of the core's floors on small trees: it passes includes that point down or
# stay on a floor, and refuses, naming file and include, one that points up in either spelling
# ("../run/x.h" or "run/x.h") or into a front end.
cmake_minimum_required(VERSION 3.25)

function(make_tree name)
  set(root ${SCRATCH}/${name})
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/solver/geometry.h "#pragma once\n#include <vector>\n")
  file(WRITE ${root}/solver/geometry.cpp "#include \"geometry.h\"\n")
  file(WRITE ${root}/report/figures.h "#pragma once\n#include \"../solver/geometry.h\"\n")
  file(WRITE ${root}/run/driver.h "#pragma once\n#include \"../report/figures.h\"\n")
  file(WRITE ${root}/run/driver.cpp
    "#include \"driver.h\"\n#include \"solver/geometry.h\"\n// #include \"../cli/main.h\"\n")
  file(WRITE ${root}/cli/main.h "#pragma once\n")
  set(root ${root} PARENT_SCOPE)
endfunction()

function(check root expect_pass expected_message)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${root} -P ${CHECK}
    RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_QUIET)
  if(expect_pass AND NOT result EQUAL 0)
    message(FATAL_ERROR "${root}: refused a sound tree:\n${errors}")
  endif()
  if(NOT expect_pass)
    if(result EQUAL 0)
      message(FATAL_ERROR "${root}: passed an include that points up")
    endif()
    string(FIND "${errors}" "${expected_message}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${root}: the refusal does not say \"${expected_message}\":\n${errors}")
    endif()
  endif()
endfunction()

make_tree(sound)
check(${root} TRUE "")

make_tree(report-reads-run)
file(APPEND ${root}/report/figures.h "#include \"../run/driver.h\"\n")
check(${root} FALSE "report/figures.h includes \"../run/driver.h\" (run/ is above report/)")

make_tree(solver-reads-report-from-the-top)
file(APPEND ${root}/solver/geometry.cpp "#  include \"report/figures.h\"\n")
check(${root} FALSE "solver/geometry.cpp includes \"report/figures.h\"")

make_tree(run-reads-the-command-line)
file(APPEND ${root}/run/driver.cpp "#include \"../cli/main.h\"\n")
check(${root} FALSE "run/driver.cpp includes \"../cli/main.h\" (cli/ is above run/)")
