# Cross-builds the Windows executable with Debian's mingw-w64 (package g++-mingw-w64-x86-64):
#   cmake -S . -B build/windows --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BFQ_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BFQ_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${BFQ_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${BFQ_MINGW_TRIPLE}-windres)

# Headers and libraries come from the mingw-w64 tree only, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${BFQ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

