# Install step: machine.reg beside the installed programs, its App Paths
# entry naming the installation directory of this prefix (never the staging
# directory of a package build, which is DESTDIR).
get_filename_component(_zk_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(_zk_dir "${_zk_prefix}/${ZK_INSTALL_DIR}")
set(_zk_file "$ENV{DESTDIR}${_zk_dir}/machine.reg")
message(STATUS "Installing: ${_zk_file}")
file(WRITE "${_zk_file}"
     "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH=${_zk_dir}\n")
file(CHMOD "${_zk_file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_zk_file}")
