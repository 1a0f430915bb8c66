# The Debian package (make package): everything the install rules put below
# /usr, owned by root and writable by root only, with its dependencies found
# from the shared libraries the programs and libraries really need. The
# package has no maintainer scripts and no configuration files, so that
# dpkg -r leaves nothing behind (no /etc/zelkor, no "config-files"); what the
# programs write back lives in each user's copy (platform/SettingsCopy.h).
# lintian finds nothing to report (make install-test checks it).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelkor)
set(CPACK_PACKAGE_VENDOR "Korvane")
set(CPACK_PACKAGE_CONTACT "Zelkor developers <zelkor@korvane.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "flash programming of microcontroller modules over a serial line")
set(CPACK_PACKAGE_DESCRIPTION "\
The workbench ZelkorGui, the script runner Quillrun and the command line
zelkor (with gang programming of many modules at once) connect to a module
over a serial line, bring up its boot loader, log in, show the flash layout,
erase, program, verify and read back flash. The module simulator ModSim and
a demo script are included.")

# Install to /usr with DESTDIR, so that machine.reg names /usr/lib/zelkor.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The demo compares the simulated flash with its image through objcopy.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS binutils)

set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/DropLdconfigScripts.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
