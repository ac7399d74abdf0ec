# What scripts/package-windows.sh packs, written at generate time to
# <build>/windows-package.txt: the version, then one line per program,
# "NAME.exe=<where the build puts it>". Included after every program's target
# is defined; a program whose target this build does not have is left out.
set(_velmora_package "version=${PROJECT_VERSION}\n")
foreach(_velmora_program IN ITEMS Ferrulin Dovetack FerrulinConsole hostsim)
  if(TARGET ${_velmora_program})
    string(APPEND _velmora_package "${_velmora_program}.exe=$<TARGET_FILE:${_velmora_program}>\n")
  endif()
endforeach()
file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/windows-package.txt" CONTENT "${_velmora_package}")
