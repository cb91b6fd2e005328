# Fuzz build: the library's procedures and the GDI test double built with
# clang, libFuzzer, AddressSanitizer and UBSan, linked into fuzz targets under
# tests/fuzz/. A short run of each target is a test; longer runs:
#   scripts/fuzz-long [seconds]
set(QUILLREC_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
# The double, the request maker and the harnesses are checked by the
# sanitizers but not instrumented for coverage: their comparisons would only
# steer the fuzzer into the double's own branches and cost most of its time.
set(QUILLREC_FUZZ_HELPER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_library(quillrec_fuzz_core STATIC ${QUILLREC_SOURCES})
target_include_directories(quillrec_fuzz_core PUBLIC ${QUILLREC_INCLUDES})
target_compile_options(quillrec_fuzz_core PRIVATE ${QUILLREC_FUZZ_FLAGS})
quillrec_warnings(quillrec_fuzz_core)

file(GLOB double_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/double/*.cpp)
set(maker request_maker request_bytes request_trace format_text)
list(TRANSFORM maker PREPEND ${CMAKE_SOURCE_DIR}/tools/common/)
list(TRANSFORM maker APPEND .cpp)
add_library(gdi_double_fuzz STATIC ${double_sources} ${maker} ${CMAKE_SOURCE_DIR}/src/requestmodel/read_sizes.cpp)
target_include_directories(gdi_double_fuzz PUBLIC ${QUILLREC_INCLUDES} ${CMAKE_SOURCE_DIR}/tests/double
                                                  ${CMAKE_SOURCE_DIR}/tools/common)
target_compile_options(gdi_double_fuzz PRIVATE ${QUILLREC_FUZZ_HELPER_FLAGS})
quillrec_warnings(gdi_double_fuzz)

# The library allocates nothing but GlobalAlloc blocks, which the double's
# ledger checks; LeakSanitizer would only see the double's model, kept from one
# input to the next, and rerun every input to look for it (-detect_leaks=0).
#
# One fuzz target: its sources, its seed corpus folder under tests/fuzz/corpus,
# and the arguments of its short run. New inputs of the short run go to a
# scratch folder in the build tree, never into the source tree.
function(quillrec_fuzz_target name corpus)
  cmake_parse_arguments(FUZZ "" "" "SOURCES;LIBRARIES;SHORT_RUN" ${ARGN})
  add_executable(${name} ${FUZZ_SOURCES})
  target_compile_options(${name} PRIVATE ${QUILLREC_FUZZ_HELPER_FLAGS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${FUZZ_LIBRARIES})
  quillrec_warnings(${name})
  set(scratch ${CMAKE_BINARY_DIR}/fuzz-scratch/${corpus})
  file(MAKE_DIRECTORY ${scratch})
  add_test(NAME ${name}_short
           COMMAND ${name} ${FUZZ_SHORT_RUN} -artifact_prefix=${scratch}-finding- ${scratch} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${corpus})
  set_tests_properties(${name}_short PROPERTIES TIMEOUT 600)
endfunction()

quillrec_fuzz_target(quillrec_request_fuzzer requests
  SOURCES ${CMAKE_SOURCE_DIR}/tests/fuzz/request_fuzzer.cpp
  LIBRARIES quillrec_fuzz_core gdi_double_fuzz
  SHORT_RUN -runs=3000 -seed=1 -max_len=4096 -timeout=10 -rss_limit_mb=4096 -detect_leaks=0)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
endif()
