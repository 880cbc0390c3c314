#include "dialogs/file_dialog_with_help.h"

#include "framework/app.h"

namespace kx {

CFileDialogWithHelp::CFileDialogWithHelp(BOOL openFileDialog, UINT helpContext,
                                         const wchar_t* defaultExtension, const wchar_t* fileName,
                                         DWORD flags, const wchar_t* filter, CWnd* parent)
    : CFileDialog(openFileDialog, defaultExtension, fileName, flags, filter, parent),
      m_nHelpContext(helpContext) {
    m_ofn.Flags |= OFN_SHOWHELP;
}

void CFileDialogWithHelp::OnHelp() {
    AfxHelp(m_nHelpContext, HELP_CONTEXT);
}

}  // namespace kx
