# Shared build rules: one static library per layer, one GoogleTest binary per
# test folder, one libFuzzer binary per fuzz target.

# -Wshadow and -Wconversion keep a renamed parameter from hiding a local and
# a narrowing from passing unseen. clang's -Wconversion also takes in the
# sign conversions, which gcc keeps apart and the tree does not follow.
set(TABRIX_WARNINGS -Wall -Wextra -Wshadow -Wconversion)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  list(APPEND TABRIX_WARNINGS -Wno-sign-conversion)
endif()

# A target of the project that a library, test, fuzzer or benchmark depends
# on must be defined before it: the layers join the build in the order of
# TABRIX_LAYERS, so a missing one is a missing folder or a dependency on a
# higher layer. Either stops the configure step with the names.
function(tabrix_require_targets name)
  foreach(dep IN LISTS ARGN)
    if(dep MATCHES "^tabrix" AND NOT TARGET ${dep})
      message(FATAL_ERROR "${name} depends on ${dep}, which is not defined: its folder is missing, or it is "
                          "a higher layer than ${name} (the order is TABRIX_LAYERS in CMakeLists.txt)")
    endif()
  endforeach()
endfunction()

# tabrix_library(NAME SOURCES... [DEPS libs...])
function(tabrix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  tabrix_require_targets(${name} ${ARG_DEPS})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                                            $<INSTALL_INTERFACE:include/tabrix>)
  set_property(GLOBAL APPEND PROPERTY TABRIX_LIBRARIES ${name})
  target_compile_options(${name} PRIVATE ${TABRIX_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# tabrix_test(NAME SOURCES... [DEPS libs...] [LABELS labels...]
#             [PROPERTIES name value...]): PROPERTIES are CTest properties of
# every discovered test (FIXTURES_REQUIRED, ENVIRONMENT, ...).
function(tabrix_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS;PROPERTIES" ${ARGN})
  tabrix_require_targets(${name} ${ARG_DEPS})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TABRIX_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    TABRIX_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    TABRIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}" ${ARG_PROPERTIES})
endfunction()

# tabrix_fuzzer(NAME RUNS N SOURCES... [DEPS libs...]): a libFuzzer binary
# build-fuzz/fuzz/fuzz_NAME; seeds in fuzz/corpus/NAME (scripts/fuzz runs it).
function(tabrix_fuzzer name)
  # RUNS is read by scripts/fuzz: how many inputs a checking run tries.
  cmake_parse_arguments(ARG "" "RUNS" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_RUNS MATCHES "^[0-9]+$")
    message(FATAL_ERROR "tabrix_fuzzer(${name}): RUNS <number of inputs> is required")
  endif()
  tabrix_require_targets(fuzz_${name} ${ARG_DEPS})
  add_executable(fuzz_${name} ${ARG_SOURCES})
  target_include_directories(fuzz_${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(fuzz_${name} PRIVATE ${ARG_DEPS})
  target_compile_options(fuzz_${name} PRIVATE ${TABRIX_WARNINGS} -fsanitize=fuzzer)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
endfunction()

# Fuzzers and benchmarks land in one folder each, whatever folder defines them.
set(TABRIX_FUZZ_OUTPUT ${PROJECT_BINARY_DIR}/fuzz)
set(TABRIX_BENCH_OUTPUT ${PROJECT_BINARY_DIR}/bench)

# tabrix_bench(NAME SOURCES... [DEPS libs...]): a Google Benchmark binary
# build/bench/bench_NAME (built with the project, never run by the tests).
function(tabrix_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  tabrix_require_targets(bench_${name} ${ARG_DEPS})
  add_executable(bench_${name} ${ARG_SOURCES})
  target_compile_options(bench_${name} PRIVATE ${TABRIX_WARNINGS})
  target_include_directories(bench_${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
  set_target_properties(bench_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TABRIX_BENCH_OUTPUT})
endfunction()

# Each subfolder of fuzz/ and bench/ with a CMakeLists.txt joins the build.
function(tabrix_add_subfolders dir)
  file(GLOB children LIST_DIRECTORIES true ${dir}/*)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
