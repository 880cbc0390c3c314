#include "app/movie_app.h"

#include <commctrl.h>

#include "app/command_line.h"
#include "app/help_pages.h"
#include "app/main_dialog.h"
#include "controls/logo_button.h"
#include "dialogs/splash_window.h"
#include "resources/resource.h"
#include "settings/registry_settings.h"

namespace kx {

CMovieApp::CMovieApp() = default;

CMovieApp::~CMovieApp() {
    DestroySplash();
}

BOOL CMovieApp::InitApplication() {
    // Register the classes of the common controls the dialog templates use.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_ANIMATE_CLASS | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS |
                     ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&controls);
    CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24, -1,
                                IDB_LOGO_86X32);

    const CommandLine parsed = ParseCommandLine(m_commandLine ? m_commandLine : L"");
    switches = parsed.switches;
    fileArgument = parsed.file;
    if (switches & kSwitchRemoveSettings) {
        RemoveAllSettings();
        return FALSE;
    }
    if (!(switches & kSwitchNoSplash) && splash == nullptr) {
        auto* created = new CSplashWindow([this] { DestroySplash(); });
        if (created->Create()) {
            splash = created;
        } else {
            delete created;
        }
    }
    return CWinApp::InitApplication();
}

BOOL CMovieApp::InitInstance() {
    CMainDialog dialog;
    dialog.m_startupFile = fileArgument ? fileArgument->c_str() : nullptr;
    m_pMainWnd = &dialog;
    // The panel goes on its first tick, which comes once the main window's loop runs.
    if (splash != nullptr &&
        ::SetTimer(splash->m_hWnd, kSplashTimerId, kSplashTimerMs, nullptr) == 0) {
        DestroySplash();
    }
    if (splash != nullptr) {
        splash->PostMessage(kSplashRaise);
    }
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The program ends when its main window closes: no message loop of its own.
    return FALSE;
}

int CMovieApp::ExitInstance() {
    DestroySplash();
    return CWinApp::ExitInstance();
}

void CMovieApp::DestroySplash() {
    if (splash == nullptr) {
        return;
    }
    CSplashWindow* going = splash;
    splash = nullptr;
    going->DestroyWindow();
    delete going;
}

void CMovieApp::WinHelp(DWORD_PTR data, UINT command) {
    if (command == HELP_CONTEXT || command == HELP_CONTEXTPOPUP) {
        // The pages lie beside the program, as the old help file did.
        OpenHelpPage(HelpFileOf(m_helpFilePath, data));
    }
}

void CMovieApp::OpenHelpPage(const std::wstring& file) {
    if (!OpenHelpFile(file)) {
        ::MessageBeep(MB_ICONHAND);
    }
}

}  // namespace kx
