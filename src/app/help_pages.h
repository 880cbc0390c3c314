// Help as HTML pages in the folder "help" beside the program. Each help context number is the
// element whose id is that number on one of the pages; the build adds help\topic\<number>.html,
// which forwards to it, so that a topic opens from a plain file name.
#ifndef KINETRIX_APP_HELP_PAGES_H
#define KINETRIX_APP_HELP_PAGES_H

#include <windows.h>

#include <string>

namespace kx {

// The file that opens a help topic, in the folder "help" beside besideFile (any file in the
// program's folder): the topic's forwarding page, or the contents page (index.html) when the
// number has no topic.
std::wstring HelpFileOf(const std::wstring& besideFile, DWORD_PTR context);

// Opens a help page in the program the user opens web pages with; false when nothing started.
bool OpenHelpFile(const std::wstring& file);

}  // namespace kx

#endif  // KINETRIX_APP_HELP_PAGES_H
