// An application object for tests that records message boxes and help requests instead of
// showing them.
#ifndef KINETRIX_TESTS_FRAMEWORK_RECORDING_APP_H
#define KINETRIX_TESTS_FRAMEWORK_RECORDING_APP_H

#include <string>
#include <utility>
#include <vector>

#include "framework/app.h"

namespace kx::test {

class RecordingApp : public CWinApp {
public:
    struct Box {
        std::wstring text;
        UINT type;
        UINT helpId;
    };
    std::vector<Box> boxes;
    std::vector<std::pair<DWORD_PTR, UINT>> helpCalls;
    // What the focus window was while each message box was up.
    std::vector<HWND> focusAtBox;

    int DoMessageBox(const wchar_t* text, UINT type, UINT helpId) override {
        boxes.push_back({text, type, helpId});
        focusAtBox.push_back(::GetFocus());
        return IDOK;
    }
    void WinHelp(DWORD_PTR data, UINT command) override { helpCalls.emplace_back(data, command); }
};

}  // namespace kx::test

#endif  // KINETRIX_TESTS_FRAMEWORK_RECORDING_APP_H
