// Opening and saving files from the main window.
//
// Loading a file is not built yet: OpenFile accepts the chosen path and does nothing with it,
// and Save As has nothing to save while no movie can be shown.
#include "app/main_dialog.h"

#include "dialogs/file_dialog_with_help.h"
#include "framework/app.h"
#include "resources/resource.h"

namespace kx {

namespace {

constexpr UINT kOpenHelpContext = 534;
constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_SHAREAWARE | OFN_NONETWORKBUTTON | OFN_EXPLORER;

}  // namespace

void CMainDialog::OpenFile(const wchar_t*) {}

void CMainDialog::OnFileOpen() {
    const std::wstring filter = LoadStringResource(IDS_OPEN_FILTER);
    const std::wstring title = LoadStringResource(IDS_OPEN_TITLE);
    CFileDialogWithHelp dialog(TRUE, kOpenHelpContext, nullptr, path.c_str(), kOpenFlags,
                               filter.c_str(), this);
    dialog.m_ofn.lpstrTitle = title.c_str();
    dialog.m_ofn.nFilterIndex = 1;
    if (dialog.DoModal() == IDOK) {
        OpenFile(dialog.GetPathName().c_str());
    }
}

void CMainDialog::OnFileSaveAs() {
    if (documentState <= 0) {
        return;
    }
}

}  // namespace kx
