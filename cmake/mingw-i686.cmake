set(QUILLREC_MINGW_CPU i686)
set(QUILLREC_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
