// The common Open and Save As dialogs with a Help button that opens the help topic given at
// construction.
#ifndef KINETRIX_DIALOGS_FILE_DIALOG_WITH_HELP_H
#define KINETRIX_DIALOGS_FILE_DIALOG_WITH_HELP_H

#include <windows.h>

#include "framework/file_dialog.h"

namespace kx {

class CFileDialogWithHelp : public CFileDialog {
public:
    // The arguments but the help context go to the file dialog unchanged; the dialog always
    // shows its Help button.
    CFileDialogWithHelp(BOOL openFileDialog, UINT helpContext, const wchar_t* defaultExtension,
                        const wchar_t* fileName, DWORD flags, const wchar_t* filter, CWnd* parent);

    UINT m_nHelpContext;

protected:
    void OnHelp() override;
};

}  // namespace kx

#endif  // KINETRIX_DIALOGS_FILE_DIALOG_WITH_HELP_H
