# Host additions: the driver simulator's job parser is portable C++, built
# here too so that its unit tests run with the sanitizers.
quillrec_job_parser_library(quillrec_job_parser)
target_link_libraries(quillrec_unit_tests PRIVATE quillrec_job_parser)
# the reference test compares samples/README.md with what the grammar prints
target_compile_definitions(quillrec_unit_tests PRIVATE QUILLREC_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
