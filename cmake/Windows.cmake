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

# nlohmann/json is header-only: its Debian headers serve the cross build,
# seen through a folder that holds nothing else of the host's.
set(_zk_host_headers ${CMAKE_BINARY_DIR}/host-headers)
if(NOT EXISTS ${_zk_host_headers}/nlohmann AND EXISTS /usr/include/nlohmann)
  file(MAKE_DIRECTORY ${_zk_host_headers})
  file(CREATE_LINK /usr/include/nlohmann ${_zk_host_headers}/nlohmann SYMBOLIC)
endif()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${_zk_host_headers}
                      INTERFACE_INCLUDE_DIRECTORIES ${_zk_host_headers})

# zk_windows_zip(): the programs read their version from ZkVersion.h, and
# <build>/zelkor-windows.zip holds the installation, <build>/bin.
function(zk_windows_zip)
  foreach(_program Quillrun zelkor)
    target_include_directories(${_program} PRIVATE ${ZK_GENERATED_DIR})
  endforeach()
  set(_zip ${CMAKE_BINARY_DIR}/zelkor-windows.zip)
  add_custom_target(ZkWindowsZip
    COMMAND ${CMAKE_COMMAND} -E rm -f ${_zip}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${_zip} --format=zip .
    WORKING_DIRECTORY ${ZK_BIN_DIR}
    COMMENT "zelkor-windows.zip"
    VERBATIM)
  add_dependencies(ZkWindowsZip Quillrun zelkor KORCmd KORDm Tarnlink ZkPlatform ZkInstallTree ZkWindowsDemoFiles)
endfunction()

# zk_windows_demo_files(): <build>/bin/demo/demo.hex and the simulated
# module's boot and flash files, made by the generators of the native build
# compiled for the building machine (cmake/host-tools).
function(zk_windows_demo_files)
  include(ExternalProject)
  set(_tools ${CMAKE_BINARY_DIR}/host-tools)
  set(_launcher "")
  if(CMAKE_CXX_COMPILER_LAUNCHER)
    set(_launcher -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
  endif()
  ExternalProject_Add(ZkHostTools
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/cmake/host-tools
    BINARY_DIR ${_tools}
    CMAKE_ARGS -DZK_SOURCE_DIR=${CMAKE_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release ${_launcher}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${_tools}/QuillrunDemoImage ${_tools}/ModSimFiles)
  set(_hex ${ZK_BIN_DIR}/demo/demo.hex)
  set(_module ${ZK_BIN_DIR}/target/Simulator/ZkSim-Download)
  add_custom_command(
    OUTPUT ${_hex} ${_module}/ZkBoot.bin ${_module}/ZkFlash.bin
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ZK_BIN_DIR}/demo ${_module}
    COMMAND ${_tools}/QuillrunDemoImage ${_hex}
    COMMAND ${_tools}/ModSimFiles ${_module}
    DEPENDS ZkHostTools ${_tools}/QuillrunDemoImage ${_tools}/ModSimFiles
    COMMENT "Generating the demo image and the simulated module's boot and flash files")
  add_custom_target(ZkWindowsDemoFiles ALL DEPENDS ${_hex} ${_module}/ZkBoot.bin ${_module}/ZkFlash.bin)
  add_dependencies(ZkWindowsDemoFiles ZkInstallTree)
endfunction()

# zk_windows_installer(): <build>/zelkor-<version>-setup.exe, made with
# makensis from packaging/windows/zelkor.nsi when makensis is there.
function(zk_windows_installer)
  find_program(ZK_MAKENSIS makensis)
  if(NOT ZK_MAKENSIS)
    message(STATUS "makensis not found: no Windows installer")
    return()
  endif()
  set(_setup ${CMAKE_BINARY_DIR}/zelkor-${PROJECT_VERSION}-setup.exe)
  add_custom_target(ZkWindowsInstaller
    COMMAND ${ZK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DSOURCE=${ZK_BIN_DIR} -DOUTFILE=${_setup}
            ${CMAKE_SOURCE_DIR}/packaging/windows/zelkor.nsi
    BYPRODUCTS ${_setup}
    COMMENT "zelkor-${PROJECT_VERSION}-setup.exe"
    VERBATIM)
  add_dependencies(ZkWindowsInstaller ZkWindowsZip)
endfunction()
