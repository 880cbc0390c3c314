// The About box: the program's name, version and copyright beside the looping clip, with the
// logo shown for display only.
#ifndef KINETRIX_DIALOGS_ABOUT_DIALOG_H
#define KINETRIX_DIALOGS_ABOUT_DIALOG_H

#include "controls/drawn_control.h"
#include "framework/controls.h"
#include "framework/dialog.h"

namespace kx {

// Help context of the About box, for any of its controls.
constexpr DWORD kAboutHelpContext = 257;

class CAboutDialog : public CDialog {
public:
    CAboutDialog();
    ~CAboutDialog() override;

    CAnimateCtrl m_animate;
    CLogoButton m_logo;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace kx

#endif  // KINETRIX_DIALOGS_ABOUT_DIALOG_H
