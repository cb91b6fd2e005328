# Windows builds: QUILLREC.dll, built freestanding (no C or C++ runtime, no
# exceptions, RTTI or static constructors; imports from KERNEL32 and GDI32
# only), and the real-GDI tests that load it under Wine.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

include(${CMAKE_SOURCE_DIR}/cmake/version.cmake)

# The rules of a freestanding image, for the shipped DLL and the capture DLL
# alike: no runtime, subsystem 4.0, code for the i486, its own entry routine.
# The image is reproducible: no link time in it (the timestamps are 0), no
# build folder (stripped, and file names in objects made relative), and a
# fixed image base, which MinGW's linker would otherwise derive from the
# output path. The linker fills in the PE checksum itself.
function(quillrec_freestanding target image_base)
  target_compile_options(${target} PRIVATE
    -O2 -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-stack-protector -fno-threadsafe-statics -fno-use-cxa-atexit
    # keeps the byte loops that stand in for memcpy/memset from becoming calls to them
    -fno-tree-loop-distribute-patterns
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
  target_link_options(${target} PRIVATE
    -nostdlib -nostartfiles -s -Wl,--no-insert-timestamp
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # Code for the i486 and later: no cmov, MMX or SSE.
    target_compile_options(${target} PRIVATE -march=i486 -mtune=i686)
    # The .def names the exports undecorated; stdcall fix-up binds them to the
    # decorated symbols (_Output32@60) without exporting those too.
    target_link_options(${target} PRIVATE -Wl,-e,_DllEntry@12 -Wl,--enable-stdcall-fixup
                                          -Wl,--image-base,${image_base})
  else()
    target_link_options(${target} PRIVATE -Wl,-e,DllEntry)
  endif()
endfunction()

# quillrec_unstripped_twin(TARGET DEF FOLDER): TARGET's objects linked again
# into FOLDER/QUILLREC.dll with the same options but -s, so with its symbol
# table: the release's symbol map (address, procedure) is read from it. The
# release checks that its code is byte for byte the stripped image's.
function(quillrec_unstripped_twin target def folder)
  set(twin ${target}_unstripped)
  get_target_property(version ${target} VERSION)
  add_library(${twin} SHARED $<TARGET_OBJECTS:${target}> ${def})
  set_target_properties(${twin} PROPERTIES PREFIX "" OUTPUT_NAME QUILLREC SUFFIX ".dll" LINKER_LANGUAGE CXX
    RUNTIME_OUTPUT_DIRECTORY ${folder} LIBRARY_OUTPUT_DIRECTORY ${folder} ARCHIVE_OUTPUT_DIRECTORY ${folder}
    VERSION "${version}")
  target_link_options(${twin} PRIVATE $<FILTER:$<TARGET_PROPERTY:${target},LINK_OPTIONS>,EXCLUDE,^-s$>)
  target_link_libraries(${twin} PRIVATE $<TARGET_PROPERTY:${target},LINK_LIBRARIES>)
endfunction()

add_library(QUILLREC SHARED ${QUILLREC_SOURCES} ${CMAKE_SOURCE_DIR}/src/platform/freestanding.cpp
                            ${CMAKE_SOURCE_DIR}/src/boundary/quillrec.def)
set_target_properties(QUILLREC PROPERTIES PREFIX "" OUTPUT_NAME QUILLREC SUFFIX ".dll")
target_include_directories(QUILLREC PRIVATE ${QUILLREC_INCLUDES})
quillrec_warnings(QUILLREC)
# The base the linker derived from the output name before it was fixed: the
# code, which holds absolute addresses, stays as it was.
quillrec_freestanding(QUILLREC 0x62080000)
quillrec_version_resource(QUILLREC "QUILLREC EMF spool recorder for the printer driver")
# libgcc supplies the stack probe for the 8 KiB point buffer and 64-bit
# division helpers; it is linked statically, not a runtime DLL.
target_link_libraries(QUILLREC PRIVATE gdi32 kernel32 gcc)
include(${CMAKE_SOURCE_DIR}/cmake/one_unit.cmake)
quillrec_one_unit(QUILLREC)
quillrec_unstripped_twin(QUILLREC ${CMAKE_SOURCE_DIR}/src/boundary/quillrec.def ${CMAKE_BINARY_DIR}/unstripped)

include(${CMAKE_SOURCE_DIR}/tests/windows.cmake)

include(${CMAKE_SOURCE_DIR}/cmake/capture.cmake)

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/bench/windows.cmake)
  include(${CMAKE_SOURCE_DIR}/tools/bench/windows.cmake)
endif()
