# Windows-side tools: the driver simulator, which reads job files and drives
# QUILLREC.dll by ordinal as the printer driver's thunk does.
file(GLOB driver_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/driver/*.cpp)
add_executable(quillrec_driver ${driver_sources})
target_include_directories(quillrec_driver PRIVATE ${CMAKE_SOURCE_DIR}/tools/driver)
target_link_libraries(quillrec_driver PRIVATE quillrec_driving)
# No link time in it: the release archive carries it and is the same for the same commit.
target_link_options(quillrec_driver PRIVATE -static -Wl,--no-insert-timestamp)
target_compile_definitions(quillrec_driver PRIVATE QUILLREC_VERSION="${PROJECT_VERSION}")
# Point generators (star:, arc:, wave:) round sines to whole units: on i686
# the x87's wider intermediates would round an occasional point otherwise
# than x86-64 does, and the same job would make different requests. Only
# the DLL has to run on an i486; the simulator computes in SSE2 doubles.
if(QUILLREC_WINE_ARCH STREQUAL "win32")
  target_compile_options(quillrec_driver PRIVATE -msse2 -mfpmath=sse)
endif()
quillrec_warnings(quillrec_driver)
add_dependencies(quillrec_driver QUILLREC)

# Every sample through the driver under Wine: the outputs exist, GDI reads
# each spool file back, emf2svg-conv accepts it, every transfer and text
# records its drawing, listings, compare and warnings say what they should,
# and a job that fails keeps only the pages finished before it.
add_test(NAME driver_samples
         COMMAND ${CMAKE_SOURCE_DIR}/tests/driver/check_samples.sh ${QUILLREC_WINE_ARCH}
                 $<TARGET_FILE:quillrec_driver> ${CMAKE_SOURCE_DIR}/samples ${CMAKE_BINARY_DIR}/driver_samples)
set_tests_properties(driver_samples PROPERTIES TIMEOUT 1500)

# Soak on real GDI: a long run of mixed requests through the exports, spool
# files closed and opened anew as a spooler would. The test runs a short one;
# the long one is `scripts/wine-run win64 build/win64/quillrec_soak.exe 1000000`.
add_executable(quillrec_soak ${CMAKE_SOURCE_DIR}/tools/soak/quillrec_soak.cpp)
target_link_libraries(quillrec_soak PRIVATE quillrec_driving)
target_link_options(quillrec_soak PRIVATE -static)
quillrec_warnings(quillrec_soak)
add_dependencies(quillrec_soak QUILLREC)
# 32-bit Wine runs through qemu here, far too slowly for a soak in the tests.
if(QUILLREC_WINE_ARCH STREQUAL "win64")
  add_test(NAME soak_short COMMAND ${QUILLREC_WINE_RUN} win64 $<TARGET_FILE:quillrec_soak> 20000 5000)
  set_tests_properties(soak_short PROPERTIES TIMEOUT 900)
endif()

# The workbench printer's installer, run by scripts/wine-run while it
# prepares a prefix.
add_executable(quillrec_printer ${CMAKE_SOURCE_DIR}/tools/printer/quillrec_printer.cpp)
target_include_directories(quillrec_printer PRIVATE ${CMAKE_SOURCE_DIR}/tools/common)
target_link_libraries(quillrec_printer PRIVATE winspool)
target_link_options(quillrec_printer PRIVATE -static)
quillrec_warnings(quillrec_printer)
add_dependencies(quillrec_driver quillrec_printer)

# The 16-bit programs: NE executables assembled whole by nasm (there is no
# 16-bit linker here), run where 32-bit Wine does. The replayer sits beside
# the 32-bit simulator, which starts it for --via16; the example is the
# README's worked example of a 16-bit caller.
if(QUILLREC_WINE_ARCH STREQUAL "win32")
  find_program(QUILLREC_NASM nasm REQUIRED)
  set(thunk16 ${CMAKE_SOURCE_DIR}/tools/thunk16)
  file(GLOB thunk16_includes CONFIGURE_DEPENDS ${thunk16}/*.inc)
  foreach(program replay16 example16)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${program}.exe
                       COMMAND ${QUILLREC_NASM} -f bin -Werror -I ${thunk16}/ -o ${CMAKE_BINARY_DIR}/${program}.exe
                               ${thunk16}/${program}.asm
                       DEPENDS ${thunk16}/${program}.asm ${thunk16_includes}
                       COMMENT "Assembling the 16-bit program ${program}.exe")
    add_custom_target(${program} ALL DEPENDS ${CMAKE_BINARY_DIR}/${program}.exe)
  endforeach()
  add_dependencies(quillrec_driver replay16)

  # Every sample, a bitmap past 64 KiB and a capture, called from 16-bit code:
  # the same results and pages as the 32-bit path; a wrong mask fails loudly.
  add_test(NAME driver_via16
           COMMAND ${CMAKE_SOURCE_DIR}/tests/driver/via16.sh $<TARGET_FILE:quillrec_driver>
                   ${CMAKE_BINARY_DIR}/capture ${CMAKE_SOURCE_DIR}/samples ${CMAKE_BINARY_DIR}/driver_via16)
  set_tests_properties(driver_via16 PROPERTIES TIMEOUT 600)
endif()
