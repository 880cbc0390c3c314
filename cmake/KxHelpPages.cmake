# Puts the help pages beside the program: cmake -DSOURCE=<pages> -DOUTPUT=<folder> -P KxHelpPages.cmake
#
# Copies the pages to OUTPUT and writes, for every topic (an element whose id is a number), a small
# page OUTPUT/topic/<number>.html that forwards to the topic's page at its anchor. The program
# opens the forwarding page by its plain file name: a "#topic" after a file name or file URL is
# dropped by the shell on Windows and breaks the file name under Wine, a plain name opens anywhere.
file(REMOVE_RECURSE ${OUTPUT})
file(COPY ${SOURCE}/ DESTINATION ${OUTPUT})
file(GLOB pages ${SOURCE}/*.html)
foreach(page ${pages})
  get_filename_component(name ${page} NAME)
  file(READ ${page} text)
  string(REGEX MATCHALL "id=\"[0-9]+\"" ids "${text}")
  foreach(id ${ids})
    string(REGEX REPLACE "id=\"([0-9]+)\"" "\\1" number "${id}")
    if(EXISTS ${OUTPUT}/topic/${number}.html)
      message(FATAL_ERROR "help topic ${number} stands on two pages (${name} and another)")
    endif()
    set(target "../${name}#${number}")
    file(WRITE ${OUTPUT}/topic/${number}.html
         "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta http-equiv=\"refresh\" content=\"0; url=${target}\">\n"
         "<title>Pelmor Kinetrix ヘルプ</title>\n</head>\n"
         "<body><p><a href=\"${target}\">ヘルプを開く</a></p></body>\n</html>\n")
  endforeach()
endforeach()
