// Dialogs built from templates, modal with the framework's own loop or modeless, and the data
// exchange between a dialog's controls and its fields.
#ifndef KINETRIX_FRAMEWORK_DIALOG_H
#define KINETRIX_FRAMEWORK_DIALOG_H

#include "framework/wnd.h"

namespace kx {

class CDialog;

// One pass of data exchange: load (fields to controls) or save and validate (controls to
// fields). After the first failure every further exchange and validation of the pass is
// skipped, and UpdateData reports the failure.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate)
        : m_dialog(dialog), m_saveAndValidate(saveAndValidate) {}

    CDialog* m_dialog;
    BOOL m_saveAndValidate;
    bool m_failed = false;
    // The last edit control exchanged: the one a failed validation points the user to.
    HWND m_lastControl = nullptr;

    HWND PrepareEditCtrl(int id);
    // Marks the pass as failed, focuses the last edit control and selects its text.
    void Fail();
};

void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, std::wstring& value);
void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue);

// Parses signed decimal text (blanks around it allowed) that fits a 32-bit integer.
bool ParseInt(const wchar_t* text, int& value);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId = 0, CWnd* parent = nullptr);
    // A dialog from a template in memory (the memory must outlive the dialog's creation).
    explicit CDialog(const DLGTEMPLATE* dialogTemplate, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally: the owner (the parent, else AfxGetDefaultOwner) is disabled, the
    // dialog is created, and its messages go through PreTranslateMessage of the window they are
    // for and of its parents up to the dialog, then IsDialogMessage, until EndDialog. WM_QUIT
    // ends the loop with -1 and is posted again for the loop outside. The dialog is destroyed
    // with the virtual DestroyWindow before DoModal returns.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    BOOL CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent = nullptr);

    void EndDialog(int result);
    // Centres the dialog over a window, or over the work area of its monitor when there is none.
    void CenterWindow(HWND over);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // Gives the dialog manager the keys of this dialog and its controls (Tab, Enter, Escape,
    // mnemonics), so that a modeless dialog answers them while another window's loop runs.
    BOOL PreTranslateMessage(MSG* msg) override;

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange*) {}

protected:
    // The dialog's messages, decoded once here. WindowProc stays for the messages these do not
    // cover.
    //
    // WM_COMMAND: the command or control id, the notification code (0 for menus and button
    // clicks, 1 for accelerators) and the control that sent it (null for menus and
    // accelerators). True when the dialog handled it; false leaves it to the dialog manager. The
    // base answers the clicks of IDOK (Enter) and IDCANCEL (Escape) with OnOK and OnCancel.
    virtual bool OnCommand(int id, int code, HWND control);
    // WM_HELP: F1 in the dialog or on one of its controls, or a control clicked in the what's
    // this mode. True when the dialog gave help; false lets the system pass the request to the
    // dialog's parent. The base gives none.
    virtual bool OnHelp(const HELPINFO& info);
    // WM_SIZE, after the dialog manager has handled it: the kind of change (SIZE_MINIMIZED ...)
    // and the new client size.
    virtual void OnSize(UINT kind, int clientWidth, int clientHeight);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    UINT m_templateId = 0;
    const DLGTEMPLATE* m_template = nullptr;
    CWnd* m_parent = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
    HWND CreateFromTemplate(HWND owner);
    int RunModalLoop();
    BOOL PreTranslateChain(MSG* msg);

    bool m_inModalLoop = false;
    bool m_endRequested = false;
    int m_modalResult = -1;
};

}  // namespace kx

#endif  // KINETRIX_FRAMEWORK_DIALOG_H
