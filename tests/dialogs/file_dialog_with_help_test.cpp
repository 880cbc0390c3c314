// The file dialogs with a Help button: the help topic the button opens.
#include "dialogs/file_dialog_with_help.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "framework/recording_app.h"

namespace kx {
namespace {

// The Help button of the common file dialog.
constexpr int kHelpButton = 0x040E;

// Presses the Help button of the file dialog once it is up, then cancels the dialog.
void CALLBACK PressHelpThenCancel(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = ::GetActiveWindow();
    HWND help = ::GetDlgItem(dialog, kHelpButton);
    if (help == nullptr || !::IsWindowVisible(dialog)) {
        return;
    }
    ::KillTimer(nullptr, timer);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kHelpButton, BN_CLICKED), LPARAM(help));
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

TEST(FileDialogWithHelp, HelpButtonOpensTheTopicOfTheDialog) {
    for (const auto& [open, topic] : {std::pair{TRUE, 534u}, std::pair{FALSE, 535u}}) {
        SCOPED_TRACE(topic);
        test::RecordingApp app;
        CFileDialogWithHelp dialog(open, topic, L"avi", nullptr, OFN_EXPLORER,
                                   L"AVI(*.avi)|*.avi||", nullptr);
        ::SetTimer(nullptr, 0, 100, &PressHelpThenCancel);
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
        EXPECT_EQ((std::vector<std::pair<DWORD_PTR, UINT>>{{topic, HELP_CONTEXT}}), app.helpCalls);
    }
}

}  // namespace
}  // namespace kx
