# zk_export_map(<target> <version-script>): the library exports exactly the
# names its version script lists; everything else stays local.
function(zk_export_map target map)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${map})
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${map}" "LINKER:--no-undefined")
endfunction()
