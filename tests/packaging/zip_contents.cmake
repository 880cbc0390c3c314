# The zip holds, in its folder Kinetrix, the program, its help pages, the sample strip and the
# read-me, each with the bytes the installer installs:
#   cmake -DZIP=<zip> -DSTAGE=<packaged files> -DWORK=<scratch folder> -P zip_contents.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ZIP}")
endif()

file(GLOB_RECURSE zipped LIST_DIRECTORIES false RELATIVE ${WORK}/Kinetrix ${WORK}/*)
file(GLOB_RECURSE staged LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
foreach(required kinetrix.exe help/index.html help/main.html help/help.css walker.bmp readme.txt)
  if(NOT required IN_LIST zipped)
    message(FATAL_ERROR "the zip lacks Kinetrix/${required}; it holds: ${zipped}")
  endif()
endforeach()
list(FILTER zipped INCLUDE REGEX "^help/topic/[0-9]+\\.html$")
if(zipped STREQUAL "")
  message(FATAL_ERROR "the zip holds no help topic pages")
endif()

file(GLOB_RECURSE zipped LIST_DIRECTORIES false RELATIVE ${WORK}/Kinetrix ${WORK}/*)
list(SORT zipped)
list(SORT staged)
if(NOT zipped STREQUAL staged)
  message(FATAL_ERROR "the zip holds\n  ${zipped}\nbut the installer\n  ${staged}")
endif()
foreach(file ${staged})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${STAGE}/${file} ${WORK}/Kinetrix/${file}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "Kinetrix/${file} in the zip differs from the installer's")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
