# Host benchmark: the library's procedures built as the DLL builds them, linked
# with a platform that does nothing, counted by callgrind (scripts/bench).
# Meaningful in the `bench` preset (no sanitizers); the host preset builds it
# too, for the smoke run and the check that the direct calls stay the
# library's calls.

# The DLL's code-generation flags (cmake/windows.cmake), -g for attribution.
set(QUILLREC_BENCH_LIBRARY_FLAGS
  -O2 -g -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
  -fno-stack-protector -fno-threadsafe-statics -fno-use-cxa-atexit -fno-tree-loop-distribute-patterns)

# The shipped image carries its own memcpy and memset (the compiler's calls for
# record copies and zeroed locals land there); the benchmark counts them too.
# Not under the sanitizers, which keep their own.
set(bench_library_sources ${QUILLREC_SOURCES})
if(NOT QUILLREC_SANITIZE)
  list(APPEND bench_library_sources ${CMAKE_SOURCE_DIR}/src/platform/freestanding.cpp)
endif()
add_library(quillrec_bench_core STATIC ${bench_library_sources})
target_include_directories(quillrec_bench_core PUBLIC ${QUILLREC_INCLUDES})
target_compile_options(quillrec_bench_core PRIVATE ${QUILLREC_BENCH_LIBRARY_FLAGS})
quillrec_warnings(quillrec_bench_core)
# One unit, as the DLL is compiled (cmake/one_unit.cmake); the harness and the
# no-op platform stay outside it, so nothing of theirs is inlined into the
# library's figures. The sanitized host build keeps one object per file.
if(NOT QUILLREC_SANITIZE)
  include(${CMAKE_SOURCE_DIR}/cmake/one_unit.cmake)
  quillrec_one_unit(quillrec_bench_core)
endif()

set(bench_dir ${CMAKE_SOURCE_DIR}/tools/bench)
add_executable(quillrec_host_bench ${bench_dir}/host_bench.cpp ${bench_dir}/bench_requests.cpp
                                   ${bench_dir}/noop_platform.cpp)
target_include_directories(quillrec_host_bench PRIVATE ${CMAKE_SOURCE_DIR}/tools/common)
target_link_libraries(quillrec_host_bench PRIVATE quillrec_bench_core)
target_compile_options(quillrec_host_bench PRIVATE -O2 -g)
quillrec_warnings(quillrec_host_bench)

add_test(NAME host_bench_smoke COMMAND quillrec_host_bench --smoke)
set_tests_properties(host_bench_smoke PROPERTIES TIMEOUT 10)

# The direct calls must stay the library's calls: checked against the test
# double with the unit tests.
target_sources(quillrec_unit_tests PRIVATE ${bench_dir}/bench_sequence_test.cpp ${bench_dir}/bench_requests.cpp)
target_include_directories(quillrec_unit_tests PRIVATE ${bench_dir} ${CMAKE_SOURCE_DIR}/tools/common)
