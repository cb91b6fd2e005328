set(QUILLREC_MINGW_CPU x86_64)
set(QUILLREC_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
