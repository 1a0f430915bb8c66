# Installation and packaging.
#
#   <prefix>/lib/zelkor/   the programs, the libraries (with the settings
#                          dialog's plugin) and the installation tree:
#                          target/, FlashInfo/, Zelkor.ini, ModSim.ini, the
#                          help file, demo/, and machine.reg naming this
#                          directory; none of it writable by a group
#   <prefix>/share/doc/zelkor/  copyright and changelog
#   <prefix>/bin/          links to the programs, also in lower case
#   <prefix>/share/        manual pages, the desktop entry and its icon, the
#                          bash completion of zelkor
#
# The rules are made at the end of the top-level CMakeLists.txt, once every
# target exists, so that a missing ZelkorGui leaves out only its own parts.
# The programs also get ZkVersion.h, the project's version for --version.

set(ZK_INSTALL_DIR lib/zelkor)
set(ZK_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

configure_file(${CMAKE_CURRENT_LIST_DIR}/ZkVersion.h.in ${ZK_GENERATED_DIR}/ZkVersion.h @ONLY)

include(${CMAKE_CURRENT_LIST_DIR}/InstallRules.cmake)
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL zk_install_rules)
