# Helpers shared by every folder: one library per folder, one test executable per folder.

set(VELMORA_WARNINGS -Wall -Wextra -Werror -Wno-missing-field-initializers)
# Pixel kernels must give the same results everywhere: no contraction into fused multiply-add.
set(VELMORA_FP_FLAGS -ffp-contract=off)

# velmora_library(<name> [QT] SOURCES ... LIBS ...)
function(velmora_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PUBLIC_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${VELMORA_WARNINGS} ${VELMORA_FP_FLAGS})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_LIBS})
endfunction()

# velmora_tests(<folder> LIBS ... [LABELS ...])
# Builds tests/<folder>/*.cpp into <folder>_tests and registers every case with CTest.
function(velmora_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS;SOURCES" ${ARGN})
  string(REPLACE "/" "_" target "${folder}_tests")
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${target} ${sources} ${ARG_SOURCES})
  target_compile_options(${target} PRIVATE ${VELMORA_WARNINGS} ${VELMORA_FP_FLAGS})
  target_compile_definitions(${target} PRIVATE
    VELMORA_TESTDATA_DIR="${VELMORA_TESTDATA_DIR}"
    VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELMORA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  if(ARG_LABELS STREQUAL "unit")
    set_property(GLOBAL APPEND PROPERTY VELMORA_UNIT_TEST_TARGETS ${target})
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# velmora_benchmark(<name> SOURCES ... LIBS ...)
function(velmora_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VELMORA_WARNINGS} ${VELMORA_FP_FLAGS})
  target_compile_definitions(${name} PRIVATE VELMORA_TESTDATA_DIR="${VELMORA_TESTDATA_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
