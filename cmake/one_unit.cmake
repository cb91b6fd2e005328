# The library's image compiled as one unit: every source of the target in one
# translation unit, everything internal but what carries QUILLREC_EXTERNAL
# (-fwhole-program). A request passes through a procedure per concern (export,
# attribute set, pen, brush, emitter, release); seen whole, the compiler
# inlines most of them into the export, without the folders being merged.
# Link-time optimisation would do the same, but the MinGW linker crashes on it.
# memcpy and memset stay a unit of their own, visible: the compiler's own calls
# to them are made after the unit has been optimised.
function(quillrec_one_unit target)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE BATCH UNITY_BUILD_BATCH_SIZE 0)
  # No jump tables: in the 32-bit image every entry of one costs a relocation
  # as well as its four bytes, and a style switch spans 0x37 codes.
  target_compile_options(${target} PRIVATE -fwhole-program -fno-jump-tables)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/src/platform/freestanding.cpp PROPERTIES
    SKIP_UNITY_BUILD_INCLUSION ON COMPILE_OPTIONS -fno-whole-program)
endfunction()
