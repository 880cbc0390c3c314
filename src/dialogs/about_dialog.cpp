#include "dialogs/about_dialog.h"

#include "framework/app.h"
#include "resources/resource.h"

namespace kx {

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUTBOX) {}

CAboutDialog::~CAboutDialog() = default;

void CAboutDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_ANIMATE, m_animate);
}

BOOL CAboutDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_logo.SubclassDlgItem(IDC_LOGO, this);
    // The control's autoplay style starts the clip as soon as it is open, repeating for ever.
    m_animate.Open(IDR_CLIP);
    return TRUE;
}

bool CAboutDialog::OnHelp(const HELPINFO&) {
    AfxHelp(IDH_ABOUT_BOX, HELP_CONTEXT);
    return true;
}

}  // namespace kx
