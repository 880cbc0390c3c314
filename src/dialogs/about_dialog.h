// The About box: the program's name, version and copyright beside the looping clip, with the
// logo shown for display only.
#ifndef KINETRIX_DIALOGS_ABOUT_DIALOG_H
#define KINETRIX_DIALOGS_ABOUT_DIALOG_H

#include "controls/logo_button.h"
#include "framework/controls.h"
#include "framework/dialog.h"

namespace kx {

class CAboutDialog : public CDialog {
public:
    CAboutDialog();
    ~CAboutDialog() override;

    CAnimateCtrl m_animate;
    CLogoButton m_logo;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // The About box's one help topic, for any of its controls.
    bool OnHelp(const HELPINFO& info) override;
};

}  // namespace kx

#endif  // KINETRIX_DIALOGS_ABOUT_DIALOG_H
