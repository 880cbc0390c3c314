// The start-up panel: the program's icon, name and copyright, without a caption, on top of every
// window until its timer tells its owner to destroy it.
#ifndef KINETRIX_DIALOGS_SPLASH_WINDOW_H
#define KINETRIX_DIALOGS_SPLASH_WINDOW_H

#include <functional>

#include "controls/logo_button.h"
#include "dialogs/icon_button.h"
#include "framework/dialog.h"

namespace kx {

// The splash panel's timer: armed by the start-up code once the main window is about to run.
constexpr UINT_PTR kSplashTimerId = 110;
constexpr UINT kSplashTimerMs = 800;
// Posted to the panel as the main window's loop starts: a moment later the panel puts itself
// back above every window. Wine's X11 driver stacks a main window that was shown and activated
// after the panel over it, topmost or not; mapping the panel again puts it on top.
constexpr UINT kSplashRaise = WM_APP + 1;

class CSplashWindow : public CDialog {
public:
    // timeUp is called on the first tick of timer 110; it destroys (and may delete) the panel.
    explicit CSplashWindow(std::function<void()> timeUp);
    ~CSplashWindow() override;

    // Creates the panel modeless from its template, without a parent.
    BOOL Create();

    CLogoButton m_logo;
    CIconButton m_icon;

protected:
    BOOL OnInitDialog() override;
    // Enter does nothing; Escape ends the program.
    void OnOK() override {}
    void OnCancel() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    std::function<void()> m_timeUp;
};

}  // namespace kx

#endif  // KINETRIX_DIALOGS_SPLASH_WINDOW_H
