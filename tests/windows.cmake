# Windows-side tests: real-GDI tests that load QUILLREC.dll under Wine, and on
# the i686 build the checks of the shipped image.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(QUILLREC_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run)

# The Wine prefix and its server, made ready before the first test that runs
# under Wine. As a test of its own, a prefix that cannot be made is one failure
# that CTest counts, and the tests that need it are reported as not run.
add_test(NAME wine_prefix COMMAND ${QUILLREC_WINE_RUN} ${QUILLREC_WINE_ARCH} --prepare)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 1500)

# Every other test of a Windows build runs under Wine but the image checks
# (label "image"). The fixture is attached once the whole tree is read, so
# that tests registered by files included later need it too.
function(quillrec_require_wine)
  get_property(tests DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY TESTS)
  foreach(test IN LISTS tests)
    get_test_property(${test} LABELS labels)
    get_test_property(${test} FIXTURES_SETUP provides)
    if(NOT "image" IN_LIST labels AND NOT provides)
      set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED wine)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL quillrec_require_wine)

# Code shared by the tests and the tools that drive the DLL: finding the
# exports by ordinal, reading spool files back through GDI, writing PNG
# pictures (deflated by zlib, Debian's libz-mingw-w64-dev, linked statically
# like everything else the tools use).
file(GLOB driving_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/common/*.cpp)
add_library(quillrec_driving STATIC ${driving_sources} ${CMAKE_SOURCE_DIR}/src/requestmodel/read_sizes.cpp)
target_include_directories(quillrec_driving PUBLIC ${QUILLREC_INCLUDES} ${CMAKE_SOURCE_DIR}/tools/common)
target_link_libraries(quillrec_driving PUBLIC gdi32 user32 kernel32 z)
target_compile_definitions(quillrec_driving PUBLIC __USE_MINGW_ANSI_STDIO=1)
quillrec_warnings(quillrec_driving)

file(GLOB gdi_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/gdi/*.cpp)
add_executable(quillrec_gdi_tests ${gdi_test_sources})
target_include_directories(quillrec_gdi_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/gdi)
target_link_libraries(quillrec_gdi_tests PRIVATE quillrec_driving gtest gtest_main)
target_link_options(quillrec_gdi_tests PRIVATE -static)
quillrec_warnings(quillrec_gdi_tests)
add_dependencies(quillrec_gdi_tests QUILLREC)

# One Wine process for the whole program: each process start costs seconds
# under wine64 and a minute or more under 32-bit Wine.
add_test(NAME gdi_tests COMMAND ${QUILLREC_WINE_RUN} ${QUILLREC_WINE_ARCH} $<TARGET_FILE:quillrec_gdi_tests>)
set_tests_properties(gdi_tests PROPERTIES TIMEOUT 1500)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  find_program(QUILLREC_OBJDUMP i686-w64-mingw32-objdump REQUIRED)
  # The image checker reads PE files with pefile, from Debian's python3-pefile,
  # which only Debian's own interpreter sees: a python3 earlier on PATH (pyenv,
  # a virtualenv) may lack it. -DQUILLREC_PYTHON=... chooses another.
  if(NOT QUILLREC_PYTHON)
    find_program(QUILLREC_PATH_PYTHON python3)
    foreach(python IN ITEMS /usr/bin/python3 ${QUILLREC_PATH_PYTHON})
      execute_process(COMMAND ${python} -c "import pefile"
                      RESULT_VARIABLE no_pefile OUTPUT_QUIET ERROR_QUIET)
      if(no_pefile EQUAL 0)
        set(QUILLREC_PYTHON ${python})
        break()
      endif()
    endforeach()
  endif()
  if(NOT QUILLREC_PYTHON)
    message(WARNING "No python3 here can import pefile (scripts/setup installs python3-pefile); "
                    "the image checks will fail until one can.")
    set(QUILLREC_PYTHON /usr/bin/python3)
  endif()

  # quillrec_image_check(TEST TARGET PROFILE): checks the DLL that TARGET
  # builds against the rules, with the allowed imports of PROFILE (a row of
  # PROFILES in check_image.py).
  function(quillrec_image_check test target profile)
    add_test(NAME ${test}
             COMMAND ${QUILLREC_PYTHON} ${CMAKE_SOURCE_DIR}/tests/image/check_image.py
                     $<TARGET_FILE:${target}> --profile ${profile} --objdump ${QUILLREC_OBJDUMP})
    set_tests_properties(${test} PROPERTIES LABELS image)
  endfunction()

  quillrec_image_check(image_check QUILLREC shipped)
  # Two builds of the two images in scratch folders: byte-identical files.
  add_test(NAME reproducible_images
           COMMAND ${CMAKE_SOURCE_DIR}/tests/image/reproducible.sh ${CMAKE_SOURCE_DIR} ${CMAKE_TOOLCHAIN_FILE}
                   ${CMAKE_BINARY_DIR}/reproducible_images -DQUILLREC_COMPANY_NAME=${QUILLREC_COMPANY_NAME}
                   -DQUILLREC_LEGAL_COPYRIGHT=${QUILLREC_LEGAL_COPYRIGHT})
  set_tests_properties(reproducible_images PROPERTIES LABELS image TIMEOUT 600)
  # The release archive from this build, made twice: contents, checksums, image checks on the
  # DLLs taken from it. Runs the simulator under Wine for the job reference.
  add_test(NAME release_archive COMMAND ${QUILLREC_PYTHON} ${CMAKE_SOURCE_DIR}/tests/image/test_release.py)
  set_tests_properties(release_archive PROPERTIES TIMEOUT 600
    ENVIRONMENT "QUILLREC_BUILD=${CMAKE_BINARY_DIR};QUILLREC_OBJDUMP=${QUILLREC_OBJDUMP}")
  add_test(NAME image_check_rejects_misbuilt
           COMMAND ${QUILLREC_PYTHON} ${CMAKE_SOURCE_DIR}/tests/image/test_check_image.py -v)
  set_tests_properties(image_check_rejects_misbuilt PROPERTIES LABELS image
    ENVIRONMENT "QUILLREC_DLL=$<TARGET_FILE:QUILLREC>;QUILLREC_OBJDUMP=${QUILLREC_OBJDUMP}")
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/windows.cmake)
  include(${CMAKE_SOURCE_DIR}/tools/windows.cmake)
endif()
