# Shared build helpers: warnings, sanitizers, tests, fuzz targets, benchmarks.

function(tavrin_apply_sanitizers)
  if(TAVRIN_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  elseif(TAVRIN_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
  elseif(NOT TAVRIN_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TAVRIN_SANITIZE must be address, thread or empty")
  endif()
  # In fuzz builds every library carries coverage, so that a harness
  # explores the parser it calls, not only its own lines. The libFuzzer
  # driver itself is linked into the *_fuzz binaries alone (tavrin_fuzz);
  # everything else, the replay programs included, links the sanitizer's
  # runtime, which takes the coverage callbacks.
  if(TAVRIN_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_compile_options(-fsanitize=fuzzer-no-link)
    add_link_options(-fsanitize=fuzzer-no-link)
  endif()
endfunction()

# Warnings for our own targets (not for third-party code).
function(tavrin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

find_package(GTest REQUIRED)
include(GoogleTest)

# tavrin_test(NAME SOURCES a.cpp b.cpp LIBS x y LABELS unit [TIMEOUT s])
# One GoogleTest executable; each TEST becomes one CTest test with the labels.
function(tavrin_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  tavrin_warnings(${name})
  gtest_discover_tests(${name}
    PROPERTIES TIMEOUT ${T_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
  # The discovery's PROPERTIES flatten a list (two labels ate the TIMEOUT),
  # so the labels go on the discovered tests from a file read after its own.
  set(labels_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
  file(WRITE "${labels_file}"
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${T_LABELS}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${labels_file}")
endfunction()

# tavrin_fuzz(NAME SOURCES harness.cpp LIBS x CORPUS dir [MAX_LEN bytes])
# The harness defines LLVMFuzzerTestOneInput. Every build gets a replay
# program that runs the harness over each file of the corpus, as a CTest
# test labelled "fuzz"; with TAVRIN_FUZZ=ON and clang, a libFuzzer binary too.
# MAX_LEN makes that binary's default -max_len (used when none is given) so
# large inputs such as deeply nested XML stay within the fuzzer's reach.
function(tavrin_fuzz name)
  cmake_parse_arguments(F "" "CORPUS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  add_executable(${name}_replay ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tests/fuzz_replay_main.cpp)
  target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
  add_test(NAME ${name}_corpus COMMAND ${name}_replay ${F_CORPUS})
  set_tests_properties(${name}_corpus PROPERTIES LABELS "fuzz;unit" TIMEOUT 300)
  if(TAVRIN_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_executable(${name}_fuzz ${F_SOURCES})
    target_compile_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name}_fuzz PRIVATE ${F_LIBS})
    if(F_MAX_LEN)
      target_sources(${name}_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/tests/fuzz_max_len.cpp)
      target_compile_definitions(${name}_fuzz PRIVATE TAVRIN_FUZZ_MAX_LEN=${F_MAX_LEN})
    endif()
  endif()
endfunction()

# tavrin_bench(NAME SOURCES a.cpp LIBS x): a Google Benchmark program.
# Benchmarks are built with the project but never run by the test suite.
function(tavrin_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  # Shared bench code is included as "support/...".
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  tavrin_warnings(${name})
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt.
function(tavrin_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
