#include "app/movie_app.h"

#include <commctrl.h>

#include "controls/drawn_control.h"
#include "dialogs/about_dialog.h"
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
    // Until the main window exists the program shows its About box.
    CAboutDialog about;
    about.DoModal();
    return FALSE;
}

}  // namespace kx
