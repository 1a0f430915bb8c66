# Install step: the module tree belongs to the group that may use serial
# ports, so that its members can keep their settings in module descriptions.
# A package build (DESTDIR set) leaves this to the package's postinst; a user
# who is not a member of the group keeps the tree with the user's own group.
set(_zk_tree "${CMAKE_INSTALL_PREFIX}/${ZK_INSTALL_DIR}/target")
if(NOT "$ENV{DESTDIR}" STREQUAL "")
  return()
endif()
execute_process(COMMAND chgrp -R "${ZK_INSTALL_GROUP}" "${_zk_tree}"
                RESULT_VARIABLE _zk_result OUTPUT_QUIET ERROR_VARIABLE _zk_error)
if(_zk_result EQUAL 0)
  message(STATUS "Module tree ${_zk_tree}: group ${ZK_INSTALL_GROUP}, group-writable")
else()
  string(STRIP "${_zk_error}" _zk_error)
  message(STATUS "Module tree ${_zk_tree} keeps its group (${_zk_error}); "
                 "for other users: chgrp -R ${ZK_INSTALL_GROUP} ${_zk_tree}")
endif()
