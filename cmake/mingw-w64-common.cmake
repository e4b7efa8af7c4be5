# Shared part of the mingw-w64 toolchain files: TX_MINGW_TRIPLET names the target.
#
# The POSIX-threads flavour of Debian's cross compilers: its C++ library has std::thread and
# std::mutex (winpthreads), which the S3 client's standard C++ uses. Product code keeps to
# Win32 primitives either way.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
