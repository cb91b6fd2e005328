# Shared by the two MinGW toolchain files, which set QUILLREC_MINGW_CPU and
# QUILLREC_WINE_ARCH first. The posix-threads variant: GoogleTest needs
# std::mutex, which the win32-threads variant lacks. The DLL links no runtime
# at all, so the choice does not reach it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLREC_MINGW_CPU})
set(CMAKE_C_COMPILER ${QUILLREC_MINGW_CPU}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLREC_MINGW_CPU}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLREC_MINGW_CPU}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLREC_MINGW_CPU}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
