# Helpers that keep every subsystem's CMakeLists.txt to a few lines.
# Sources are globbed per folder so a new file needs no build edit.

# vela_add_library(<name> [DEPS <targets...>])
#   One static library from the *.cpp files of the calling folder. Headers are
#   included relative to src/ ("OSLayer/XnOS.h").
function(vela_add_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# vela_unity_build(<target>)
#   Compiles the target's sources eight at a time as one unit. Only test
#   programs use it; the libraries stay one unit per file.
function(vela_unity_build target)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
endfunction()

# Options of the test programs' own code. In sanitizer builds it is compiled
# at -O1: the checks are the same, the code under test (the libraries) keeps
# -O2, and GCC's -O2 over large test bodies with sanitizer instrumentation
# is what CI's longest build spends most of its time on.
set(VELA_TEST_COMPILE_OPTIONS)
if(VELA_SANITIZE)
  set(VELA_TEST_COMPILE_OPTIONS -O1)
endif()

# vela_test_precompiled_header(<target>)
#   Gives <target> the precompiled GoogleTest header that every test program
#   shares. It is built once, by a small program of its own compiled with the
#   test programs' options, so that the one header fits them all (their
#   per-target definitions such as data paths do not reach GoogleTest).
function(vela_test_precompiled_header target)
  if(NOT TARGET VelaTestPrecompiledHeader)
    set(source ${CMAKE_BINARY_DIR}/VelaTestPrecompiledHeader.cpp)
    file(WRITE ${source} "// Owns the test programs' precompiled header.\nint main() { return 0; }\n")
    add_executable(VelaTestPrecompiledHeader ${source})
    target_link_libraries(VelaTestPrecompiledHeader PRIVATE GTest::gtest)
    target_compile_options(VelaTestPrecompiledHeader PRIVATE ${VELA_TEST_COMPILE_OPTIONS})
    target_precompile_headers(VelaTestPrecompiledHeader PRIVATE <gtest/gtest.h>)
  endif()
  target_precompile_headers(${target} REUSE_FROM VelaTestPrecompiledHeader)
endfunction()

# vela_add_test(<name> [DEPS <targets...>] [LABELS <labels...>])
#   One GoogleTest executable from the *.cpp files of the calling folder; each
#   test runs in its own process (process-wide state such as the logger stays
#   per test) with TMPDIR pointing into the build tree. Test programs are
#   unity builds (their sources compiled a few at a time as one unit), which
#   keeps CI's builds short: names local to a test file must not clash with
#   another test file's of the same folder. GoogleTest's header comes
#   precompiled (vela_test_precompiled_header).
function(vela_add_test name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  vela_unity_build(${name})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} VelaTestSupport GTest::gtest)
  target_compile_options(${name} PRIVATE ${VELA_TEST_COMPILE_OPTIONS})
  vela_test_precompiled_header(${name})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-tmp)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      LABELS "${ARG_LABELS}"
      ENVIRONMENT "TMPDIR=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()

# vela_add_benchmark(<name> [DEPS <targets...>])
#   One Google Benchmark executable from the *.cpp files of the calling folder,
#   registered as a short smoke run under the label "bench".
function(vela_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
  add_test(NAME ${name} COMMAND ${name} --benchmark_min_time=0.001)
  set_tests_properties(${name} PROPERTIES LABELS bench)
endfunction()

# Subfolders of the calling folder that exist and hold a CMakeLists.txt, in
# the given order; lets the tree grow one subsystem at a time.
macro(vela_add_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endmacro()

# vela_add_fuzzer(<name> SOURCES <files...> [DEPS <targets...>]
#                 [DEFINITIONS <defs...>] [RETURNING_STOPS] [REPLAY_IN_CI])
#   One libFuzzer harness, <name>Fuzzer, in the fuzz build (VELA_BUILD_FUZZERS,
#   clang). Its seed corpus is fuzz/corpus/<name>/, which must exist.
#   RETURNING_STOPS links the stand-ins for FatalError and its kin that throw
#   vela_fuzz::Stopped instead of ending the process (for readers that stop
#   on purpose). REPLAY_IN_CI makes scripts/fuzz --ci only replay the committed
#   corpus instead of fuzzing (for harnesses whose open findings are not
#   mended yet). scripts/fuzz runs every harness listed in
#   <build>/fuzz/fuzzers.txt.
#   In a test build with VELA_REPLAY_FUZZ_CORPORA (the sanitizer build of CI)
#   the same sources become <name>FuzzReplay instead, registered as the unit
#   test FuzzReplay.<name> that feeds every file of the corpus to the harness
#   once.
function(vela_add_fuzzer name)
  cmake_parse_arguments(ARG "RETURNING_STOPS;REPLAY_IN_CI" "" "SOURCES;DEPS;DEFINITIONS" ${ARGN})
  set(corpus ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
  if(NOT IS_DIRECTORY ${corpus})
    message(FATAL_ERROR "vela_add_fuzzer(${name}): no seed corpus in ${corpus}")
  endif()
  if(VELA_BUILD_FUZZERS)
    set(target ${name}Fuzzer)
    add_executable(${target} ${ARG_SOURCES})
  else()
    set(target ${name}FuzzReplay)
    add_executable(${target} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/support/ReplayMain.cpp)
  endif()
  if(ARG_RETURNING_STOPS)
    target_link_libraries(${target} PRIVATE VelaFuzzReturningStops)
  endif()
  target_link_libraries(${target} PRIVATE VelaFuzzSupport ${ARG_DEPS})
  target_compile_definitions(${target} PRIVATE ${ARG_DEFINITIONS})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  add_dependencies(fuzzers ${target})
  if(NOT VELA_BUILD_FUZZERS)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-tmp)
    add_test(NAME FuzzReplay.${name} COMMAND ${target} ${corpus})
    set_tests_properties(FuzzReplay.${name} PROPERTIES
      LABELS "unit;fuzz"
      ENVIRONMENT "TMPDIR=${CMAKE_BINARY_DIR}/test-tmp")
    return()
  endif()
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  if(ARG_REPLAY_IN_CI)
    set(ci replay)
  else()
    set(ci fuzz)
  endif()
  file(APPEND ${VELA_FUZZER_LIST} "${name} ${CMAKE_BINARY_DIR}/fuzz/${target} ${corpus} ${ci}\n")
endfunction()
