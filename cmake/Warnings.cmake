# Compiler warnings for every target of the project.
add_library(velmora_warnings INTERFACE)
target_compile_options(velmora_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
if(VELMORA_WERROR)
  target_compile_options(velmora_warnings INTERFACE -Werror)
endif()

# velmora_target(<name>): the project's common settings for a target.
function(velmora_target name)
  target_link_libraries(${name} PRIVATE velmora_warnings velmora_sanitizers)
endfunction()
