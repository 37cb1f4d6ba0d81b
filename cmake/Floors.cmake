# The core's floors point one way: solver/ includes nothing of report/ or run/, report/ nothing
# of run/, and none of them anything of the front ends or the tests. The link dependencies say
# so for symbols; CheckFloors.cmake says so for includes (a header of a higher floor needs no
# symbol to tie two floors together), and every build of a floor runs it first.
set(KARROW_FLOORS solver report run)

file(GLOB KARROW_FLOOR_FILES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/solver/*.h ${PROJECT_SOURCE_DIR}/solver/*.cpp
  ${PROJECT_SOURCE_DIR}/report/*.h ${PROJECT_SOURCE_DIR}/report/*.cpp
  ${PROJECT_SOURCE_DIR}/run/*.h ${PROJECT_SOURCE_DIR}/run/*.cpp)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/floors.checked
  COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/CheckFloors.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/floors.checked
  DEPENDS ${KARROW_FLOOR_FILES} ${PROJECT_SOURCE_DIR}/cmake/CheckFloors.cmake
  COMMENT "Checking that the core's floors include only their own and lower floors"
  VERBATIM)
add_custom_target(karrow_floors DEPENDS ${CMAKE_BINARY_DIR}/floors.checked)

# One floor of the core: a static library in the build's top folder (scripts/test reads its
# object code there), public to the floors above it through `below`.
function(karrow_floor name)
  cmake_parse_arguments(PARSE_ARGV 1 floor "" "" "BELOW;SOURCES")
  add_library(${name} STATIC ${floor_SOURCES})
  set_target_properties(${name} PROPERTIES ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC karrow_options ${floor_BELOW} PRIVATE karrow_warnings)
  add_dependencies(${name} karrow_floors)
endfunction()
