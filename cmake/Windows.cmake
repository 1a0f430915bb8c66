# The Windows build. One C++ runtime for every DLL and program: the
# compiler's runtime DLLs (libstdc++, libgcc, winpthreads) are copied beside
# them into <build>/bin, so exceptions, allocations and thread-local state
# cross the library boundaries as on Linux.
set(ZK_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ZkVersion.h.in ${ZK_GENERATED_DIR}/ZkVersion.h @ONLY)

# Windows 7 and later; <windows.h> without the parts the backend never uses.
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

set(ZK_RUNTIME_DLLS "")
foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                  OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(_path ${_path} REALPATH)
  if(NOT EXISTS ${_path})
    message(FATAL_ERROR "the compiler's runtime ${_dll} is not found")
  endif()
  list(APPEND ZK_RUNTIME_DLLS ${_path})
endforeach()
file(MAKE_DIRECTORY ${ZK_BIN_DIR})
file(COPY ${ZK_RUNTIME_DLLS} DESTINATION ${ZK_BIN_DIR})
