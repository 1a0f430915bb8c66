# The test programs of the Windows build: GoogleTest compiled from Debian's
# sources (the googletest package) with the cross compiler, as static
# libraries, GTest::gtest and the rest as on Linux. Its own warnings are its own:
# the tree's -Werror is not applied to it.
set(ZK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources for the Windows build")
if(NOT EXISTS ${ZK_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are not in ${ZK_GOOGLETEST_SOURCE} (tools/install-windows-deps.sh)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
get_directory_property(_zk_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${ZK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${_zk_options}")

# The tests' stand-in libraries are named as the Windows libraries are,
# without a "lib" prefix.
set(CMAKE_SHARED_MODULE_PREFIX "")
