#include "app/movie_app.h"

#include <commctrl.h>

#include "app/help_pages.h"
#include "app/main_dialog.h"
#include "controls/drawn_control.h"
#include "resources/resource.h"

namespace kx {

BOOL CMovieApp::InitApplication() {
    // Register the classes of the common controls the dialog templates use.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_ANIMATE_CLASS | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS |
                     ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&controls);
    CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24, -1,
                                IDB_LOGO_86X32);
    return CWinApp::InitApplication();
}

BOOL CMovieApp::InitInstance() {
    // The program ends when its main window closes: no message loop of its own.
    CMainDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
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
