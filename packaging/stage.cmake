# Lays out the files the packages hold, as they install:
#   cmake -DPROGRAM=<kinetrix.exe> -DSTRIP=<strip> -DSOURCE_DIR=<repository> -DVERSION=<text>
#         -DSTAGE=<folder> -DFILE_LIST=<nsh> -P stage.cmake
#
# STAGE gets kinetrix.exe without its symbols (half its size: the statically linked runtime
# brings them), help\ (the pages and their topic forwarders), walker.bmp and readme.txt.
# FILE_LIST gets two NSIS macros naming exactly these files: KX_INSTALL_FILES puts them in
# $INSTDIR, KX_REMOVE_FILES deletes them and then their folders if empty. The uninstaller thus
# removes what the installer put and nothing else of a folder the user chose.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
execute_process(COMMAND ${STRIP} -o ${STAGE}/kinetrix.exe ${PROGRAM} COMMAND_ERROR_IS_FATAL ANY)
file(COPY ${SOURCE_DIR}/samples/walker.bmp DESTINATION ${STAGE})
set(SOURCE ${SOURCE_DIR}/docs/help)
set(OUTPUT ${STAGE}/help)
include(${SOURCE_DIR}/cmake/KxHelpPages.cmake)

# Notepad before Windows 10 takes a file for UTF-8 only when it starts with a byte-order mark, and
# shows LF-only lines run together.
string(ASCII 239 187 191 byte_order_mark)
file(READ ${CMAKE_CURRENT_LIST_DIR}/readme.txt readme)
file(CONFIGURE OUTPUT ${STAGE}/readme.txt CONTENT "${byte_order_mark}${readme}" @ONLY
     NEWLINE_STYLE CRLF)

# A folder or file below $INSTDIR as NSIS names it: "help/topic" -> "\help\topic", "" -> "".
function(kx_below_instdir out path)
  string(REPLACE / \\ path "${path}")
  if(NOT path STREQUAL "")
    set(path "\\${path}")
  endif()
  set(${out} "$INSTDIR${path}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
list(SORT files)
set(install "!macro KX_INSTALL_FILES\n")
set(remove "!macro KX_REMOVE_FILES\n")
set(folders "")
set(folder_now "-")
foreach(file ${files})
  get_filename_component(folder ${file} DIRECTORY)
  if(NOT folder STREQUAL folder_now)
    set(folder_now ${folder})
    kx_below_instdir(out_path "${folder}")
    string(APPEND install "  SetOutPath \"${out_path}\"\n")
    while(NOT folder STREQUAL "")
      list(APPEND folders "${folder}")
      get_filename_component(folder ${folder} DIRECTORY)
    endwhile()
  endif()
  kx_below_instdir(installed "${file}")
  string(APPEND install "  File \"${STAGE}/${file}\"\n")
  string(APPEND remove "  Delete \"${installed}\"\n")
endforeach()
# Deepest folders first: a folder goes only when it is empty.
list(REMOVE_DUPLICATES folders)
list(SORT folders)
list(REVERSE folders)
foreach(folder ${folders})
  kx_below_instdir(installed "${folder}")
  string(APPEND remove "  RMDir \"${installed}\"\n")
endforeach()
file(WRITE ${FILE_LIST} "${install}!macroend\n\n${remove}!macroend\n")
