// Help as HTML pages in the folder "help" beside the program: each help context number is the
// element whose id is that number on one of the pages, opened in the user's browser.
#ifndef KINETRIX_APP_HELP_PAGES_H
#define KINETRIX_APP_HELP_PAGES_H

#include <windows.h>

#include <string>

namespace kx {

// The URL of a help topic: its page in the folder "help" beside besideFile (any file in the
// program's folder), with the context number as the fragment, for example
// "file:///C:/Kinetrix/help/main.html#513". A number without a topic leads to the contents page.
std::wstring HelpTopicUrl(const std::wstring& besideFile, DWORD_PTR context);

// The file URL of an absolute Windows path: "C:\a b" gives "file:///C:/a%20b" and
// "\\server\share\x" gives "file://server/share/x". Every character but the unreserved ASCII ones,
// the separators and the drive's colon is percent-encoded as UTF-8.
std::wstring FileUrl(const std::wstring& path);

// The command line that gives url to a handler, from the handler's registered command: "%1" and
// "%L" stand for the URL and "%*" for further arguments (none); a command without a place for
// the URL gets it quoted at its end.
std::wstring BrowserCommandLine(const std::wstring& handlerCommand, const std::wstring& url);

// Starts the user's browser on url; false when nothing could be started.
bool OpenInBrowser(const std::wstring& url);

}  // namespace kx

#endif  // KINETRIX_APP_HELP_PAGES_H
