// The common Open and Save As dialogs.
#ifndef KINETRIX_FRAMEWORK_FILE_DIALOG_H
#define KINETRIX_FRAMEWORK_FILE_DIALOG_H

#include <windows.h>

#include <commdlg.h>

#include <string>

namespace kx {

class CWnd;

// Turns the "description|pattern|...||" filter form into the double-zero-terminated list of
// OPENFILENAME.
std::wstring FilterFromBars(const wchar_t* filter);

class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, const wchar_t* defaultExtension = nullptr,
                const wchar_t* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                const wchar_t* filter = nullptr, CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;
    virtual ~CFileDialog() = default;

    // Runs the dialog: IDOK with a file chosen, IDCANCEL otherwise.
    virtual INT_PTR DoModal();

    std::wstring GetPathName() const;
    std::wstring GetFileName() const;
    // The extension of the chosen file without its dot; empty when it has none.
    std::wstring GetFileExt() const;
    DWORD GetFilterIndex() const { return m_ofn.nFilterIndex; }

    // The record handed to the system; callers may set lpstrTitle and nFilterIndex before DoModal.
    OPENFILENAMEW m_ofn{};

protected:
    // The dialog's Help button (shown with OFN_SHOWHELP) was pressed: the command ID_HELP.
    virtual void OnHelp() {}
    // The dialog window while it runs (the parent of the hook's child dialog).
    HWND m_dialogWindow = nullptr;

private:
    static UINT_PTR CALLBACK HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Watches the dialog window for a press of its Help button.
    static LRESULT CALLBACK HelpButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR refData);

    BOOL m_openFileDialog;
    std::wstring m_defaultExtension;
    std::wstring m_filter;
    std::wstring m_fileBuffer;
    std::wstring m_titleBuffer;
    // The dialog reported the press of its Help button to the hook.
    bool m_helpReported = false;
};

}  // namespace kx

#endif  // KINETRIX_FRAMEWORK_FILE_DIALOG_H
