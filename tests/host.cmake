# Host additions: the driver simulator's job parser is portable C++, built
# here too so that its unit tests run with the sanitizers.
add_library(quillrec_job_parser STATIC ${CMAKE_SOURCE_DIR}/tools/driver/job_parser.cpp)
target_include_directories(quillrec_job_parser PUBLIC ${CMAKE_SOURCE_DIR}/tools/driver)
quillrec_warnings(quillrec_job_parser)
target_link_libraries(quillrec_unit_tests PRIVATE quillrec_job_parser)
