# The layer's libFuzzer targets, each built two ways from its one source:
#   <name>         with HUEVANE_FUZZERS (clang): the fuzzer itself (in fuzzers/), over the
#                  layer sources it names, compiled with libFuzzer's coverage
#                  and the address and undefined-behaviour sanitizers;
#   <name>_replay  always: a test feeding every kept input of
#                  tests/fuzz/corpus/<name> and tests/fuzz/regressions/<name>
#                  through the same entry, so the normal build runs them
#                  without clang.
# scripts/fuzz.sh configures, builds and runs the fuzzers.
#
#   huevane_fuzzer(<name> SOURCE <file> LAYER_SOURCES <paths under win32/>...)
include_guard(GLOBAL)
if(HUEVANE_FUZZERS AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "HUEVANE_FUZZERS needs clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
endif()

function(huevane_fuzzer name)
  cmake_parse_arguments(PARSE_ARGV 1 FUZZ "" "SOURCE" "LAYER_SOURCES")
  set(inputs ${PROJECT_SOURCE_DIR}/tests/fuzz)

  add_executable(${name}_replay ${FUZZ_SOURCE} ${inputs}/replay.cpp)
  target_link_libraries(${name}_replay PRIVATE win32layer win32internal GTest::gtest_main)
  target_compile_definitions(${name}_replay PRIVATE
    HUEVANE_FUZZ_CORPUS="${inputs}/corpus/${name}"
    HUEVANE_FUZZ_REGRESSIONS="${inputs}/regressions/${name}")
  gtest_discover_tests(${name}_replay TEST_PREFIX "${name}.")

  if(HUEVANE_FUZZERS)
    list(TRANSFORM FUZZ_LAYER_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/win32/)
    add_executable(${name} ${FUZZ_SOURCE} ${FUZZ_LAYER_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/win32 ${PROJECT_SOURCE_DIR}/win32/include)
    # Without -fno-sanitize-recover a sanitizer report would only be printed
    # and the run would go on as if nothing were found.
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
                           -fno-omit-frame-pointer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  endif()
endfunction()
