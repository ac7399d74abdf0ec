# velmora_add_windows_program(TARGET <name> SOURCES <files...> ICON <file.ico>
#                             DESCRIPTION <text> [LIBS <targets...>])
#
# A Windows desktop program: one statically linked .exe (the C and C++
# runtimes and winpthread inside it, so only the system's own DLLs are
# loaded), a window program without a
# console (-mwindows) whose entry is wWinMain (-municode, UTF-16 at the API),
# and these resources compiled into it:
# - the manifest: common controls version 6, per-monitor (v2) DPI awareness,
#   the Windows versions it was made for, run as the invoker;
# - a version resource of its own (FileVersion, ProductVersion, ProductName,
#   CompanyName, FileDescription, OriginalFilename) in the 040904E4 block;
# - the program icon as icon resource 1 (velmora::win::kProgramIconId).
#
# Windows builds only; the version is the project's.
include_guard(GLOBAL)

set(VELMORA_COMPANY_NAME "Velmora")
set(VELMORA_PRODUCT_NAME "Velmora Label Printing")

function(velmora_add_windows_program)
  cmake_parse_arguments(ARG "" "TARGET;ICON;DESCRIPTION" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TARGET OR NOT ARG_SOURCES OR NOT ARG_ICON OR NOT ARG_DESCRIPTION)
    message(FATAL_ERROR "velmora_add_windows_program: TARGET, SOURCES, ICON and DESCRIPTION are needed")
  endif()
  if(NOT WIN32)
    message(FATAL_ERROR "velmora_add_windows_program: ${ARG_TARGET} is a Windows program")
  endif()
  enable_language(RC)

  # The numbers of the version resource: major, minor, patch, 0.
  set(VELMORA_PROGRAM_NAME ${ARG_TARGET})
  set(VELMORA_PROGRAM_DESCRIPTION ${ARG_DESCRIPTION})
  set(VELMORA_PROGRAM_ICON ${ARG_ICON})
  if(NOT IS_ABSOLUTE "${VELMORA_PROGRAM_ICON}")
    set(VELMORA_PROGRAM_ICON ${CMAKE_CURRENT_SOURCE_DIR}/${VELMORA_PROGRAM_ICON})
  endif()
  foreach(part MAJOR MINOR PATCH)
    set(VELMORA_VERSION_${part} ${PROJECT_VERSION_${part}})
    if(VELMORA_VERSION_${part} STREQUAL "")
      set(VELMORA_VERSION_${part} 0)
    endif()
  endforeach()
  set(VELMORA_VERSION_TEXT
    "${VELMORA_VERSION_MAJOR}.${VELMORA_VERSION_MINOR}.${VELMORA_VERSION_PATCH}.0")

  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${ARG_TARGET}_resources)
  set(VELMORA_PROGRAM_MANIFEST ${generated}/${ARG_TARGET}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.manifest.in
    ${VELMORA_PROGRAM_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in
    ${generated}/${ARG_TARGET}.rc @ONLY)
  # The resource compiler does not see that the script includes these.
  set_source_files_properties(${generated}/${ARG_TARGET}.rc PROPERTIES
    OBJECT_DEPENDS "${VELMORA_PROGRAM_MANIFEST};${VELMORA_PROGRAM_ICON}")

  add_executable(${ARG_TARGET} WIN32 ${ARG_SOURCES} ${generated}/${ARG_TARGET}.rc)
  # The runtimes inside the .exe, also where no toolchain file asks for it.
  target_link_options(${ARG_TARGET} PRIVATE -municode -static -static-libgcc -static-libstdc++)
  target_compile_definitions(${ARG_TARGET} PRIVATE UNICODE _UNICODE)
  target_link_libraries(${ARG_TARGET} PRIVATE ${ARG_LIBS})
  velmora_target(${ARG_TARGET})
endfunction()
