// The start-up panel: the program's icon, name and copyright, without a caption, on top of every
// window until its timer tells its owner to destroy it.
#ifndef KINETRIX_DIALOGS_SPLASH_WINDOW_H
#define KINETRIX_DIALOGS_SPLASH_WINDOW_H

#include <functional>

#include "controls/drawn_control.h"
#include "dialogs/icon_button.h"
#include "framework/dialog.h"

namespace kx {

// The splash panel's timer: armed by the start-up code once the main window is about to run.
constexpr UINT_PTR kSplashTimerId = 110;
constexpr UINT kSplashTimerMs = 800;

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
