# zk_install_rules(): the install rules of every deliverable that exists, the
# data of the installation tree, the program links, the manual pages, the
# desktop entry, and the package (packaging/Package.cmake).

set(_zk_src_install ${CMAKE_SOURCE_DIR}/install)
set(_zk_links_dir ${CMAKE_BINARY_DIR}/install-links)

set(ZK_DATA_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(ZK_SCRIPT_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Folders: only the owner writes. Nothing of the installation is writable by
# a group; what the programs write back goes to each user's copy
# (platform/SettingsCopy.h).
set(ZK_DIR_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# zk_install_link(<link path below the prefix> <target relative to the link>)
function(zk_install_link link target)
  get_filename_component(_dir ${link} DIRECTORY)
  get_filename_component(_name ${link} NAME)
  file(MAKE_DIRECTORY ${_zk_links_dir}/${_dir})
  file(REMOVE ${_zk_links_dir}/${link})
  file(CREATE_LINK ${target} ${_zk_links_dir}/${link} SYMBOLIC)
  install(FILES ${_zk_links_dir}/${link} DESTINATION ${_dir})
endfunction()

# The program target, installed with a link of its own name and one in
# lower case in bin/; it reads its version from ZkVersion.h.
function(zk_install_program target lower)
  target_include_directories(${target} PRIVATE ${ZK_GENERATED_DIR})
  install(TARGETS ${target} RUNTIME DESTINATION ${ZK_INSTALL_DIR})
  zk_install_link(bin/${target} ../${ZK_INSTALL_DIR}/${target})
  if(NOT lower STREQUAL target)
    zk_install_link(bin/${lower} ../${ZK_INSTALL_DIR}/${target})
  endif()
endfunction()

# The manual page <page>.1 of doc/man with the version filled in, compressed
# when gzip is there, with a lower-case link.
function(zk_install_manual page lower)
  set(_page ${CMAKE_BINARY_DIR}/man/${page}.1)
  configure_file(${CMAKE_SOURCE_DIR}/doc/man/${page}.1 ${_page} @ONLY)
  if(ZK_GZIP)
    set(_out ${_page}.gz)
    add_custom_command(
      OUTPUT ${_out}
      COMMAND ${ZK_GZIP} -9nc ${_page} > ${_out}
      DEPENDS ${_page})
    set(_suffix .1.gz)
  else()
    set(_out ${_page})
    set(_suffix .1)
  endif()
  set_property(GLOBAL APPEND PROPERTY ZK_MANUAL_FILES ${_out})
  install(FILES ${_out} DESTINATION share/man/man1 PERMISSIONS ${ZK_DATA_PERMISSIONS})
  if(NOT lower STREQUAL page)
    zk_install_link(share/man/man1/${lower}${_suffix} ${page}${_suffix})
  endif()
endfunction()

function(zk_install_rules)
  set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${ZK_DIR_PERMISSIONS})
  find_program(ZK_GZIP gzip)
  file(REMOVE_RECURSE ${_zk_links_dir})

  # Programs and libraries, each with RUNPATH $ORIGIN.
  zk_install_program(Quillrun quillrun)
  zk_install_program(ModSim modsim)
  zk_install_manual(Quillrun quillrun)
  zk_install_manual(ModSim modsim)
  zk_install_program(zelkor zelkor)
  zk_install_manual(zelkor zelkor)
  install(FILES ${CMAKE_SOURCE_DIR}/cli/zelkor.bash-completion DESTINATION share/bash-completion/completions
          RENAME zelkor PERMISSIONS ${ZK_DATA_PERMISSIONS})
  if(TARGET ZelkorGui)
    zk_install_program(ZelkorGui zelkor-gui)
    zk_install_manual(ZelkorGui zelkor-gui)
    install(FILES ${ZK_BIN_DIR}/ZelkorGui.html DESTINATION ${ZK_INSTALL_DIR} PERMISSIONS ${ZK_DATA_PERMISSIONS})
    file(GLOB _help_shots ${CMAKE_SOURCE_DIR}/doc/shots/*.png)
    if(_help_shots)
      install(FILES ${_help_shots} DESTINATION ${ZK_INSTALL_DIR}/shots PERMISSIONS ${ZK_DATA_PERMISSIONS})
    endif()
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/zelkor-gui.desktop DESTINATION share/applications
            PERMISSIONS ${ZK_DATA_PERMISSIONS})
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/zelkor.svg DESTINATION share/icons/hicolor/scalable/apps
            PERMISSIONS ${ZK_DATA_PERMISSIONS})
  endif()
  install(TARGETS ZkPlatform KORCmd KORDm Tarnlink TarnlinkDialog LIBRARY DESTINATION ${ZK_INSTALL_DIR})

  get_property(_manuals GLOBAL PROPERTY ZK_MANUAL_FILES)

  # The package's documents: copyright and the changelog, compressed.
  set(_changelog ${CMAKE_BINARY_DIR}/packaging/changelog)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${_changelog} @ONLY)
  if(ZK_GZIP)
    add_custom_command(
      OUTPUT ${_changelog}.gz
      COMMAND ${ZK_GZIP} -9nc ${_changelog} > ${_changelog}.gz
      DEPENDS ${_changelog})
    set(_changelog ${_changelog}.gz)
    list(APPEND _manuals ${_changelog})
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${_changelog} DESTINATION share/doc/zelkor
          PERMISSIONS ${ZK_DATA_PERMISSIONS})
  add_custom_target(ZkManuals ALL DEPENDS ${_manuals})

  # The installation tree: settings, flash descriptions, the module tree
  # with the demo module's generated boot and flash files, the demo.
  install(FILES ${_zk_src_install}/Zelkor.ini ${_zk_src_install}/ModSim.ini DESTINATION ${ZK_INSTALL_DIR}
          PERMISSIONS ${ZK_DATA_PERMISSIONS})
  install(DIRECTORY ${_zk_src_install}/FlashInfo DESTINATION ${ZK_INSTALL_DIR} FILE_PERMISSIONS ${ZK_DATA_PERMISSIONS}
          DIRECTORY_PERMISSIONS ${ZK_DIR_PERMISSIONS})
  install(DIRECTORY ${_zk_src_install}/target DESTINATION ${ZK_INSTALL_DIR}
          FILE_PERMISSIONS ${ZK_DATA_PERMISSIONS} DIRECTORY_PERMISSIONS ${ZK_DIR_PERMISSIONS})
  install(FILES ${ZK_BIN_DIR}/target/Simulator/ZkSim-Download/ZkBoot.bin
                ${ZK_BIN_DIR}/target/Simulator/ZkSim-Download/ZkFlash.bin
          DESTINATION ${ZK_INSTALL_DIR}/target/Simulator/ZkSim-Download PERMISSIONS ${ZK_DATA_PERMISSIONS})
  install(DIRECTORY ${_zk_src_install}/demo DESTINATION ${ZK_INSTALL_DIR}
          FILE_PERMISSIONS ${ZK_DATA_PERMISSIONS} DIRECTORY_PERMISSIONS ${ZK_DIR_PERMISSIONS}
          PATTERN "installation.sh" EXCLUDE PATTERN "simulator.sh" EXCLUDE PATTERN "modsim.sh" EXCLUDE
          PATTERN "wine.sh" EXCLUDE PATTERN "*.sh" PERMISSIONS ${ZK_SCRIPT_PERMISSIONS})
  # Sourced by the scripts above, not run.
  install(FILES ${_zk_src_install}/demo/installation.sh ${_zk_src_install}/demo/simulator.sh
                ${_zk_src_install}/demo/modsim.sh ${_zk_src_install}/demo/wine.sh
          DESTINATION ${ZK_INSTALL_DIR}/demo PERMISSIONS ${ZK_DATA_PERMISSIONS})
  install(FILES ${ZK_BIN_DIR}/demo/demo.hex DESTINATION ${ZK_INSTALL_DIR}/demo PERMISSIONS ${ZK_DATA_PERMISSIONS})

  # Written at install time, for the prefix installed to: machine.reg with
  # the App Paths entry.
  install(CODE "set(ZK_INSTALL_DIR \"${ZK_INSTALL_DIR}\")")
  install(SCRIPT ${CMAKE_SOURCE_DIR}/cmake/install/MachineRegistry.cmake)

  include(${CMAKE_SOURCE_DIR}/packaging/Package.cmake)
endfunction()
