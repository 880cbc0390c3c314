// The context-help mode of a dialog, run by the framework itself: the default window procedure
// of some systems ignores the request for it.
#ifndef KINETRIX_FRAMEWORK_CONTEXT_HELP_H
#define KINETRIX_FRAMEWORK_CONTEXT_HELP_H

#include <windows.h>

namespace kx {

// Shows the question-mark pointer until the next click: a click in the dialog sends WM_HELP
// (HELPINFO_WINDOW) to the control under the pointer, or to the dialog itself beside its
// controls, as the system's own mode does; Escape, another button or a click outside the dialog
// ends the mode without help. Returns when the mode has ended.
void RunContextHelpMode(HWND dialog);

// Passes a colour-scheme change, which only top-level windows receive, on to every child of a
// window (the controls that load their colours themselves reload them).
void ForwardSysColorChange(HWND window, WPARAM wParam, LPARAM lParam);

}  // namespace kx

#endif  // KINETRIX_FRAMEWORK_CONTEXT_HELP_H
