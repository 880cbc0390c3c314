// The small modeless window a long document operation runs under: a looping clip, a status
// line, a bar and a Cancel button. The operation reports with the progress message, sent
// synchronously between steps of its work; each report updates the window, lets it process its
// own pending input (so a click on Cancel is seen) and answers whether to go on. The window never
// ends an operation and never closes itself: Cancel only clears the continue flag, and the code
// that created the window destroys it and reads the flag to tell a failure from a stop.
#ifndef KINETRIX_DIALOGS_PROGRESS_DIALOG_H
#define KINETRIX_DIALOGS_PROGRESS_DIALOG_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "controls/logo_button.h"
#include "doc/progress.h"
#include "framework/controls.h"
#include "framework/dialog.h"

namespace kx {

// The progress message. wParam and lParam as in doc/progress.h; the result is 1 to go on and 0
// once the user asked to stop. It has the number of DM_GETDEFID, which the dialog manager may
// send too: that arrives as a report of (0, 0) and is answered the same way.
constexpr UINT WM_PROGRESS = WM_USER;

class CProgressDialog : public CDialog {
public:
    CProgressDialog();
    ~CProgressDialog() override;

    // Creates the window from its template without a parent (the main window becomes its
    // owner) and sets its caption from a string resource. The window is visible at once.
    // FALSE when it could not be created; the handle then stays null.
    BOOL CreateWithCaption(UINT captionId);

    CAnimateCtrl m_animate;
    CProgressCtrl m_progress;
    std::wstring m_strStatus;
    CLogoButton m_logo;
    // 1 until the user asks to stop, then 0 for the life of the object.
    int32_t m_bContinue = 1;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // Enter, Escape and a close request ask to stop like the Cancel button; none closes.
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnProgress(WPARAM wParam, LPARAM lParam);
    void RequestStop();
    // Dispatches the messages waiting for this window and its controls, and nothing else.
    void PumpOwnMessages();
};

// Reports of a document operation sent to a progress window as progress messages. With a null
// window every report is taken and the operation is never stopped, as with no sink at all.
class CProgressWindowSink final : public ProgressSink {
public:
    explicit CProgressWindowSink(HWND window) : m_window(window) {}
    bool Report(uint32_t wParam, int32_t lParam) override;

private:
    HWND m_window;
};

}  // namespace kx

#endif  // KINETRIX_DIALOGS_PROGRESS_DIALOG_H
