# zk_export_map(<target> <version-script>): the library exports exactly the
# names its version script lists; everything else stays local.
# On Windows the names marked for export (ZK_EXPORT, ZK_PLATFORM_API) are
# the exports, and the DLL has no "lib" prefix.
function(zk_export_map target map)
  if(ZK_WINDOWS)
    set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")
    target_link_options(${target} PRIVATE "LINKER:--exclude-all-symbols" "LINKER:--no-undefined")
    return()
  endif()
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${map})
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${map}" "LINKER:--no-undefined")
endfunction()

# zk_layer_library(<name> <version-script>): the *.cpp of the calling
# folder compiled once into the shared library <name>, exporting what the
# script lists, and into the static <name>Core that the tests link to reach
# the internals.
function(zk_layer_library name map)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name}Objects OBJECT ${sources})
  set_target_properties(${name}Objects PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name}Objects PUBLIC ZkCommon)

  add_library(${name}Core STATIC $<TARGET_OBJECTS:${name}Objects>)
  target_link_libraries(${name}Core PUBLIC ZkCommon)

  add_library(${name} SHARED $<TARGET_OBJECTS:${name}Objects>)
  target_link_libraries(${name} PRIVATE ZkCommon)
  zk_export_map(${name} ${map})
endfunction()
