# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build when
# VELMORA_SANITIZE is on; every target links velmora_sanitizers.
add_library(velmora_sanitizers INTERFACE)
if(VELMORA_SANITIZE)
  set(_velmora_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(velmora_sanitizers INTERFACE ${_velmora_san})
  target_link_options(velmora_sanitizers INTERFACE ${_velmora_san})
endif()
