# Host build: the library's procedures as a static library, tested natively
# against the GDI test double, with AddressSanitizer and UBSan by default.
option(QUILLREC_FUZZ "Build the libFuzzer targets (clang) instead of the unit tests" OFF)

# The driver simulator's job parser is portable C++: the unit tests and the
# fuzzer build it on the host too.
function(quillrec_job_parser_library name)
  set(driver ${CMAKE_SOURCE_DIR}/tools/driver)
  set(parser job_parser job_tokens job_values point_generators job_files job_fields job_bitmaps job_finish job_order
      image_file job_reference)
  list(TRANSFORM parser PREPEND ${driver}/)
  list(TRANSFORM parser APPEND .cpp)
  add_library(${name} STATIC ${parser})
  target_include_directories(${name} PUBLIC ${driver} ${CMAKE_SOURCE_DIR}/tools/common ${QUILLREC_INCLUDES})
  quillrec_warnings(${name})
endfunction()

if(QUILLREC_FUZZ)
  include(${CMAKE_SOURCE_DIR}/cmake/fuzz.cmake)
  return()
endif()

find_package(GTest REQUIRED)
include(GoogleTest)

option(QUILLREC_SANITIZE "Build host code with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
if(QUILLREC_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(quillrec_core STATIC ${QUILLREC_SOURCES})
target_include_directories(quillrec_core PUBLIC ${QUILLREC_INCLUDES})
quillrec_warnings(quillrec_core)

file(GLOB double_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/double/*.cpp)
add_library(gdi_double STATIC ${double_sources})
target_include_directories(gdi_double PUBLIC ${QUILLREC_INCLUDES} ${CMAKE_SOURCE_DIR}/tests/double)
quillrec_warnings(gdi_double)

file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(quillrec_unit_tests ${unit_sources})
target_link_libraries(quillrec_unit_tests PRIVATE quillrec_core gdi_double GTest::gmock GTest::gtest GTest::gtest_main)
quillrec_warnings(quillrec_unit_tests)
gtest_discover_tests(quillrec_unit_tests DISCOVERY_MODE PRE_TEST)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/host.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/host.cmake)
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/bench/host.cmake)
  include(${CMAKE_SOURCE_DIR}/tools/bench/host.cmake)
endif()
