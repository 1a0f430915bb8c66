# ZK_FUZZ=ON: every object gets libFuzzer's coverage instrumentation and the
# fuzz targets of fuzz/ are built. Clang only; configure a build directory of
# its own with ZK_SANITIZE=address,undefined.
option(ZK_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(ZK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZK_FUZZ needs clang++ (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
  # The shared libraries link with --no-undefined: with clang they take the
  # sanitizer runtime as a shared library, as g++ does.
  if(ZK_SANITIZE)
    add_link_options(-shared-libsan)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-x86_64.so
                    OUTPUT_VARIABLE _zk_asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(_zk_asan_dir "${_zk_asan_runtime}" DIRECTORY)
    add_link_options("LINKER:-rpath,${_zk_asan_dir}")
  endif()
endif()
