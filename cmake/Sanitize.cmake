# ZK_SANITIZE=address,undefined or ZK_SANITIZE=thread
if(ZK_SANITIZE)
  # -O1 and line tables only (-g1, after the build type's -O2 -g): reports
  # keep their functions, files and lines, and the build takes about 40 %
  # less time than at -O2 with full debug information.
  set(_zk_san_flags -fsanitize=${ZK_SANITIZE} -fno-omit-frame-pointer -O1 -g1)
  if(ZK_SANITIZE MATCHES "undefined")
    list(APPEND _zk_san_flags -fno-sanitize-recover=undefined)
  endif()
  # g++ warns of "maybe uninitialized" members inside the library's own
  # templates (std::function in std::regex) once the sanitizers instrument
  # them; the warning is not reliable there.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND _zk_san_flags -Wno-maybe-uninitialized)
  endif()
  add_compile_options(${_zk_san_flags})
  # Libraries loaded at run time stay mapped until the process ends: the
  # sanitizer runtimes keep per-module records that an unload would orphan
  # (reported as leaks), and reports from a library need its symbols.
  add_compile_definitions(ZK_KEEP_LIBRARIES_MAPPED=1)
  add_link_options(-fsanitize=${ZK_SANITIZE})
endif()
