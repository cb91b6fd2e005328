# Fuzz targets for tools whose parsers read hand-written input.
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/driver/job_parser.cpp)
  quillrec_job_parser_library(job_parser_fuzz)
  target_compile_options(job_parser_fuzz PRIVATE ${QUILLREC_FUZZ_FLAGS})
  quillrec_fuzz_target(job_parser_fuzzer jobs
    SOURCES ${CMAKE_SOURCE_DIR}/tests/fuzz/job_parser_fuzzer.cpp
    LIBRARIES job_parser_fuzz
    SHORT_RUN -runs=200000 -seed=1 -max_len=8192 -timeout=5 -rss_limit_mb=2048 -detect_leaks=0
              -dict=${CMAKE_SOURCE_DIR}/tests/fuzz/job.dict)
endif()

# The capture DLL's writer against the job parser: what one writes, the other
# reads back value for value.
if(EXISTS ${CMAKE_SOURCE_DIR}/src/capture/requests.cpp)
  # the capture image but its entry routine and loader, which the fuzzer's
  # real DLL stands in for; a window of 4 KiB on 1 KiB steps, so that it slides
  # often; point lists past 48 points to the point file, so that many do
  set(capture ${CMAKE_SOURCE_DIR}/src/capture)
  add_library(capture_writer_fuzz STATIC ${capture}/requests.cpp ${capture}/results.cpp ${capture}/settings.cpp
                                         ${capture}/bitmaps.cpp ${capture}/job_fields.cpp ${capture}/capture_file.cpp
                                         ${capture}/exports.cpp ${capture}/point_file.cpp
                                         ${capture}/mapped_file.cpp)
  target_include_directories(capture_writer_fuzz PUBLIC ${QUILLREC_INCLUDES})
  target_compile_definitions(capture_writer_fuzz PRIVATE CAPTURE_GRANULARITY_BYTES=1024u CAPTURE_WINDOW_BYTES=4096u
                                                         CAPTURE_RAW_POINTS=48u)
  target_compile_options(capture_writer_fuzz PRIVATE ${QUILLREC_FUZZ_FLAGS})
  quillrec_warnings(capture_writer_fuzz)
  quillrec_fuzz_target(capture_fuzzer capture
    SOURCES ${CMAKE_SOURCE_DIR}/tests/fuzz/capture_fuzzer.cpp ${CMAKE_SOURCE_DIR}/tests/fuzz/capture_system.cpp
    LIBRARIES capture_writer_fuzz job_parser_fuzz quillrec_fuzz_core gdi_double_fuzz
    SHORT_RUN -runs=5000 -seed=1 -max_len=4096 -timeout=10 -rss_limit_mb=2048 -detect_leaks=0)
endif()

# The library against the one description of what each export reads: the
# request fuzzer's inputs, every record ending at a no-access page.
quillrec_fuzz_target(read_sizes_fuzzer requests
  SOURCES ${CMAKE_SOURCE_DIR}/tests/fuzz/read_sizes_fuzzer.cpp
  LIBRARIES quillrec_fuzz_core gdi_double_fuzz
  SHORT_RUN -runs=600 -seed=1 -max_len=4096 -timeout=10 -rss_limit_mb=4096 -detect_leaks=0)
