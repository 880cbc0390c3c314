// The application object of Kinetrix.
#ifndef KINETRIX_APP_MOVIE_APP_H
#define KINETRIX_APP_MOVIE_APP_H

#include <string>

#include "framework/app.h"

namespace kx {

class CMovieApp : public CWinApp {
public:
    BOOL InitApplication() override;
    BOOL InitInstance() override;
    // Opens the help page of a topic (HELP_CONTEXT, HELP_CONTEXTPOPUP) in the browser; there is
    // no help window to close, so every other command does nothing.
    void WinHelp(DWORD_PTR data, UINT command) override;

protected:
    // Opens a help page in the browser.
    virtual void OpenHelpPage(const std::wstring& file);
};

}  // namespace kx

#endif  // KINETRIX_APP_MOVIE_APP_H
