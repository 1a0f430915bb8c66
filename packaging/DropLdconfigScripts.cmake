# CPack post-build step. CPack gives a package with shared libraries below
# /usr/lib a postinst and a postrm that run ldconfig; ours live in
# /usr/lib/zelkor, outside the linker's search path, so the calls do nothing
# (lintian warns of them), and a package with a postrm stays known to dpkg
# ("config-files") after dpkg -r until it is purged. The package is rebuilt
# without those two scripts.
foreach(_zk_deb IN LISTS CPACK_PACKAGE_FILES)
  set(_zk_dir "${CPACK_TOPLEVEL_DIRECTORY}/repack")
  file(REMOVE_RECURSE "${_zk_dir}")
  execute_process(COMMAND dpkg-deb -R "${_zk_deb}" "${_zk_dir}" COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE "${_zk_dir}/DEBIAN/postinst" "${_zk_dir}/DEBIAN/postrm")
  execute_process(COMMAND dpkg-deb --root-owner-group -b "${_zk_dir}" "${_zk_deb}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${_zk_dir}")
endforeach()
