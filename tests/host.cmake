# Host additions: the driver simulator's job parser is portable C++, built
# here too so that its unit tests run with the sanitizers.
add_library(quillrec_job_parser STATIC ${CMAKE_SOURCE_DIR}/tools/driver/job_parser.cpp
                                      ${CMAKE_SOURCE_DIR}/tools/driver/image_file.cpp
                                      ${CMAKE_SOURCE_DIR}/tools/driver/job_reference.cpp)
target_include_directories(quillrec_job_parser PUBLIC ${CMAKE_SOURCE_DIR}/tools/driver ${CMAKE_SOURCE_DIR}/tools/common
                                                      ${QUILLREC_INCLUDES})
quillrec_warnings(quillrec_job_parser)
target_link_libraries(quillrec_unit_tests PRIVATE quillrec_job_parser)
# the reference test compares samples/README.md with what the grammar prints
target_compile_definitions(quillrec_unit_tests PRIVATE QUILLREC_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
