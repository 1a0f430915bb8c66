# Cross build for 64-bit Windows with Debian's MinGW-w64, posix thread model
# (std::thread and std::mutex need it):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_zk_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_zk_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_zk_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_zk_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_zk_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
