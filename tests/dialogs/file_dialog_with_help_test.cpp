// The file dialogs with a Help button: the help topic the button opens.
#include "dialogs/file_dialog_with_help.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/recording_app.h"

namespace kx {
namespace {

// The Help button of the common file dialog.
constexpr int kHelpButton = 0x040E;

struct Use {
    const char* name;
    BOOL open;
    UINT helpContext;
    const wchar_t* extension;
};

const Use kUses[] = {
    {"open", TRUE, 534, nullptr},
    {"save", FALSE, 535, L"avi"},
};

// Presses the Help button of the file dialog once it is up, then cancels it.
void CALLBACK PressHelpThenCancel(HWND, UINT, UINT_PTR timer, DWORD) {
    static bool pressed = false;
    HWND dialog = nullptr;
    for (HWND w = ::FindWindowW(L"#32770", nullptr); w != nullptr;
         w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        if (::GetWindowThreadProcessId(w, nullptr) == ::GetCurrentThreadId() &&
            ::IsWindowVisible(w) && ::GetDlgItem(w, kHelpButton) != nullptr) {
            dialog = w;
        }
    }
    if (dialog == nullptr) {
        return;
    }
    if (!pressed) {
        pressed = true;
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kHelpButton, BN_CLICKED),
                       LPARAM(::GetDlgItem(dialog, kHelpButton)));
        return;
    }
    pressed = false;
    ::KillTimer(nullptr, timer);
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

TEST(FileDialogWithHelp, HelpButtonOpensTheTopicOfTheDialog) {
    for (const Use& use : kUses) {
        SCOPED_TRACE(use.name);
        test::RecordingApp app;
        CFileDialogWithHelp dialog(use.open, use.helpContext, use.extension, nullptr, OFN_EXPLORER,
                                   L"AVI(*.avi)|*.avi||", nullptr);
        const UINT_PTR presser = ::SetTimer(nullptr, 0, 100, &PressHelpThenCancel);
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
        ::KillTimer(nullptr, presser);
        ASSERT_EQ(1u, app.helpCalls.size());
        EXPECT_EQ(DWORD_PTR(use.helpContext), app.helpCalls[0].first);
        EXPECT_EQ(UINT(HELP_CONTEXT), app.helpCalls[0].second);
    }
}

}  // namespace
}  // namespace kx
