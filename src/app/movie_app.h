// The application object of Kinetrix: reads the command line, removes the settings when asked,
// shows the splash panel and runs the main window until it closes.
#ifndef KINETRIX_APP_MOVIE_APP_H
#define KINETRIX_APP_MOVIE_APP_H

#include <optional>
#include <string>

#include "framework/app.h"

namespace kx {

class CSplashWindow;

class CMovieApp : public CWinApp {
public:
    CMovieApp();
    ~CMovieApp() override;

    // Parses the command line; with /r closes every running copy, removes the settings and ends
    // the program (FALSE); otherwise shows the splash panel unless /n was given.
    BOOL InitApplication() override;
    // Runs the main window modally; FALSE, so the program ends when it closes.
    BOOL InitInstance() override;
    int ExitInstance() override;
    // Destroys the splash panel if it is still there.
    void DestroySplash();

    // Opens the help page of a topic (HELP_CONTEXT, HELP_CONTEXTPOPUP) in the browser; there is
    // no help window to close, so every other command does nothing.
    void WinHelp(DWORD_PTR data, UINT command) override;

    int switches = 0;  // kSwitchNoSplash, kSwitchRemoveSettings
    std::optional<std::wstring> fileArgument;
    CSplashWindow* splash = nullptr;

protected:
    // Opens a help page in the browser.
    virtual void OpenHelpPage(const std::wstring& file);
};

}  // namespace kx

#endif  // KINETRIX_APP_MOVIE_APP_H
