# Wine benchmark: the DLL's requests next to the same GDI calls made directly.
# scripts/bench runs it; CTest runs a few rounds of it as a smoke test (no
# timing is checked).
set(bench_dir ${CMAKE_SOURCE_DIR}/tools/bench)
add_executable(quillrec_gdi_bench ${bench_dir}/gdi_bench.cpp ${bench_dir}/bench_requests.cpp)
target_include_directories(quillrec_gdi_bench PRIVATE ${bench_dir})
target_link_libraries(quillrec_gdi_bench PRIVATE quillrec_driving)
target_compile_options(quillrec_gdi_bench PRIVATE -O2)
target_link_options(quillrec_gdi_bench PRIVATE -static)
quillrec_warnings(quillrec_gdi_bench)
add_dependencies(quillrec_gdi_bench QUILLREC)

add_test(NAME gdi_bench_smoke COMMAND ${QUILLREC_WINE_RUN} ${QUILLREC_WINE_ARCH} $<TARGET_FILE:quillrec_gdi_bench> --quick)
set_tests_properties(gdi_bench_smoke PROPERTIES TIMEOUT 60)
