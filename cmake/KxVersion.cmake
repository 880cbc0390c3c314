# The version of the program and its packages, taken from project(): one number to change.
#
#   KX_VERSION_TEXT    "1.00.01.02" for version 1.0.1.2, as the program and its packages show it
#                      (every part after the first two digits wide)
#   KX_VERSION_COMMAS  "1,0,1,2", as a version resource takes it
#   KX_VERSION_DOTS    "1.0.1.2", as a manifest takes it
#
# It also writes version.h (for the resource scripts) and the program's manifest into
# <build>/generated, which every resource compilation searches.
set(kx_parts)
set(KX_VERSION_TEXT ${PROJECT_VERSION_MAJOR})
foreach(part MINOR PATCH TWEAK)
  set(number ${PROJECT_VERSION_${part}})
  if(number STREQUAL "")
    set(number 0)
  endif()
  list(APPEND kx_parts ${number})
  if(number LESS 10)
    set(number 0${number})
  endif()
  string(APPEND KX_VERSION_TEXT .${number})
endforeach()
list(JOIN kx_parts , kx_parts)
set(KX_VERSION_COMMAS ${PROJECT_VERSION_MAJOR},${kx_parts})
string(REPLACE , . KX_VERSION_DOTS ${KX_VERSION_COMMAS})
unset(kx_parts)

set(KX_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${KX_GENERATED_DIR}/version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/src/app/kinetrix.manifest.in ${KX_GENERATED_DIR}/kinetrix.manifest
               @ONLY)
