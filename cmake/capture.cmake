# The capture build of QUILLREC.dll: a second image with the same exports,
# ordinals and image rules as the shipped one, which forwards every call to
# the real DLL beside it (renamed QUILLRAW.DLL) and writes what it forwarded
# as a job file. It needs only KERNEL32: files, the loader, the environment.
set(QUILLREC_CAPTURE_DIR ${CMAKE_BINARY_DIR}/capture)
file(GLOB capture_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/capture/*.cpp)
add_library(QUILLREC_capture SHARED ${capture_sources} ${CMAKE_SOURCE_DIR}/src/requestmodel/read_sizes.cpp
                                    ${CMAKE_SOURCE_DIR}/src/platform/bytes.cpp
                                    ${CMAKE_SOURCE_DIR}/src/platform/freestanding.cpp
                                    ${CMAKE_SOURCE_DIR}/src/capture/capture.def)
set_target_properties(QUILLREC_capture PROPERTIES PREFIX "" OUTPUT_NAME QUILLREC SUFFIX ".dll"
  RUNTIME_OUTPUT_DIRECTORY ${QUILLREC_CAPTURE_DIR} LIBRARY_OUTPUT_DIRECTORY ${QUILLREC_CAPTURE_DIR}
  ARCHIVE_OUTPUT_DIRECTORY ${QUILLREC_CAPTURE_DIR})
target_include_directories(QUILLREC_capture PRIVATE ${QUILLREC_INCLUDES})
quillrec_warnings(QUILLREC_capture)
# The shipped image's rules; it is built file by file, not as one unit.
# Its own base (the one the linker derived before it was fixed), away from
# the real DLL's, which it loads into the same process.
quillrec_freestanding(QUILLREC_capture 0x69540000)
quillrec_version_resource(QUILLREC_capture
  "QUILLREC capture build: writes each call as a job file and forwards it to QUILLRAW.DLL"
  "capture build")
target_link_libraries(QUILLREC_capture PRIVATE kernel32 gcc)
quillrec_unstripped_twin(QUILLREC_capture ${CMAKE_SOURCE_DIR}/src/capture/capture.def
                         ${CMAKE_BINARY_DIR}/unstripped/capture)

# The installation a user makes, made by the build so the tests use it: the
# real DLL under its capture-time name beside the capture DLL.
add_custom_command(TARGET QUILLREC_capture POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:QUILLREC> ${QUILLREC_CAPTURE_DIR}/QUILLRAW.DLL)
add_dependencies(QUILLREC_capture QUILLREC)

# Every sample captured and replayed, spool files compared record by record;
# an unwritable capture folder and a missing real DLL. One driver process per
# step, since each Wine process start is the slow part.
add_test(NAME capture_round_trip
         COMMAND ${CMAKE_SOURCE_DIR}/tests/capture/round_trip.sh ${QUILLREC_WINE_ARCH} $<TARGET_FILE:quillrec_driver>
                 ${QUILLREC_CAPTURE_DIR} $<TARGET_FILE:QUILLREC> ${CMAKE_SOURCE_DIR}/samples
                 ${CMAKE_BINARY_DIR}/capture_round_trip
                 # the soak's mix only where Wine runs natively
                 $<$<STREQUAL:${QUILLREC_WINE_ARCH},win64>:$<TARGET_FILE:quillrec_soak>>)
set_tests_properties(capture_round_trip PROPERTIES TIMEOUT 1500)

# One request per read rule with its records ending at a no-access page, through
# the real DLL and through the capture DLL: neither reads past what the rule allows.
add_executable(quillrec_read_guard ${CMAKE_SOURCE_DIR}/tests/capture/read_guard.cpp)
target_include_directories(quillrec_read_guard PRIVATE ${QUILLREC_INCLUDES})
target_link_options(quillrec_read_guard PRIVATE -static)
quillrec_warnings(quillrec_read_guard)
add_test(NAME capture_read_guard
         COMMAND ${CMAKE_SOURCE_DIR}/tests/capture/read_guard.sh ${QUILLREC_WINE_ARCH} $<TARGET_FILE:quillrec_read_guard>
                 $<TARGET_FILE:QUILLREC> ${QUILLREC_CAPTURE_DIR} $<TARGET_FILE:quillrec_driver>
                 ${CMAKE_BINARY_DIR}/capture_read_guard)

# The capture DLL follows the shipped image's rules, with its own imports.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  quillrec_image_check(capture_image_check QUILLREC_capture capture)
endif()
