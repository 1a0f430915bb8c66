# ZK_SANITIZE=address,undefined or ZK_SANITIZE=thread
if(ZK_SANITIZE)
  set(_zk_san_flags -fsanitize=${ZK_SANITIZE} -fno-omit-frame-pointer -g)
  if(ZK_SANITIZE MATCHES "undefined")
    list(APPEND _zk_san_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_zk_san_flags})
  add_link_options(-fsanitize=${ZK_SANITIZE})
endif()
