# Windows builds: QUILLREC.dll, built freestanding (no C or C++ runtime, no
# exceptions, RTTI or static constructors; imports from KERNEL32 and GDI32
# only), and the real-GDI tests that load it under Wine.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The rules of a freestanding image, for the shipped DLL and the capture DLL
# alike: no runtime, subsystem 4.0, code for the i486, its own entry routine.
function(quillrec_freestanding target)
  target_compile_options(${target} PRIVATE
    -O2 -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-stack-protector -fno-threadsafe-statics -fno-use-cxa-atexit
    # keeps the byte loops that stand in for memcpy/memset from becoming calls to them
    -fno-tree-loop-distribute-patterns)
  target_link_options(${target} PRIVATE
    -nostdlib -nostartfiles -s
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # Code for the i486 and later: no cmov, MMX or SSE.
    target_compile_options(${target} PRIVATE -march=i486 -mtune=i686)
    # The .def names the exports undecorated; stdcall fix-up binds them to the
    # decorated symbols (_Output32@60) without exporting those too.
    target_link_options(${target} PRIVATE -Wl,-e,_DllEntry@12 -Wl,--enable-stdcall-fixup)
  else()
    target_link_options(${target} PRIVATE -Wl,-e,DllEntry)
  endif()
endfunction()

add_library(QUILLREC SHARED ${QUILLREC_SOURCES} ${CMAKE_SOURCE_DIR}/src/platform/freestanding.cpp
                            ${CMAKE_SOURCE_DIR}/src/boundary/quillrec.def)
set_target_properties(QUILLREC PROPERTIES PREFIX "" OUTPUT_NAME QUILLREC SUFFIX ".dll")
target_include_directories(QUILLREC PRIVATE ${QUILLREC_INCLUDES})
quillrec_warnings(QUILLREC)
quillrec_freestanding(QUILLREC)
# libgcc supplies the stack probe for the 8 KiB point buffer and 64-bit
# division helpers; it is linked statically, not a runtime DLL.
target_link_libraries(QUILLREC PRIVATE gdi32 kernel32 gcc)
include(${CMAKE_SOURCE_DIR}/cmake/one_unit.cmake)
quillrec_one_unit(QUILLREC)

include(${CMAKE_SOURCE_DIR}/tests/windows.cmake)

include(${CMAKE_SOURCE_DIR}/cmake/capture.cmake)

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/bench/windows.cmake)
  include(${CMAKE_SOURCE_DIR}/tools/bench/windows.cmake)
endif()
