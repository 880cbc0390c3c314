// A dialog's commands, help requests and size changes reach its typed handlers once decoded, from
// real mouse and key input.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "framework/recording_app.h"

namespace kx {
namespace {

constexpr int kButton = 10;
constexpr int kEdit = 11;

// Writes down each handler call as a line of text.
class HandlerLog : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<std::string> calls;

protected:
    bool OnCommand(int id, int code, HWND control) override {
        // EN_UPDATE comes before every EN_CHANGE, and the focus notifications with every focus
        // change; EN_CHANGE is enough to show an edit's notification decoded.
        if (code != EN_UPDATE && code != EN_SETFOCUS && code != EN_KILLFOCUS) {
            calls.push_back("command " + std::to_string(id) + " " + std::to_string(code) + " " +
                            ControlName(control));
        }
        return CDialog::OnCommand(id, code, control);
    }
    bool OnHelp(const HELPINFO& info) override {
        calls.push_back("help " + std::to_string(info.iCtrlId) + " " +
                        (info.iContextType == HELPINFO_WINDOW ? "window" : "menu"));
        AfxHelp(static_cast<DWORD_PTR>(info.iCtrlId), HELP_CONTEXTPOPUP);
        return true;
    }
    void OnSize(UINT kind, int clientWidth, int clientHeight) override {
        const RECT client = GetClientRect();
        calls.push_back("size " + std::to_string(kind) + " " +
                        (clientWidth == client.right && clientHeight == client.bottom
                             ? "client"
                             : std::to_string(clientWidth) + "x" + std::to_string(clientHeight)));
    }
    void OnOK() override { calls.push_back("ok"); }
    void OnCancel() override { calls.push_back("cancel"); }

private:
    std::string ControlName(HWND control) const {
        return control == nullptr                ? "none"
               : control == GetDlgItem(kButton)  ? "button"
               : control == GetDlgItem(kEdit)    ? "edit"
               : control == GetDlgItem(IDOK)     ? "ok-button"
               : control == GetDlgItem(IDCANCEL) ? "cancel-button"
                                                 : "other";
    }
};

void Keys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> input;
    for (WORD key : keys) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        INPUT up = down;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        input.push_back(down);
        input.push_back(up);
    }
    ::SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

void ClickOn(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT clicks[2]{};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, clicks, sizeof clicks[0]);
}

class TypedHandlersTest : public ::testing::Test {
protected:
    void SetUp() override {
        layout.Add(L"Button", kButton, WS_TABSTOP | BS_PUSHBUTTON, 5, 5, 50, 14, L"Go");
        layout.Add(L"Edit", kEdit, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 5, 25, 50, 12);
        layout.Add(L"Button", IDOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 60, 5, 40, 14, L"OK");
        layout.Add(L"Button", IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 60, 25, 40, 14, L"Cancel");
        ASSERT_TRUE(dialog.CreateIndirect(layout.Get()));
        ::SetForegroundWindow(dialog.m_hWnd);
        Pump(100);
        dialog.calls.clear();
    }
    void TearDown() override { dialog.DestroyWindow(); }

    // Runs the dialog's messages as a modeless dialog's owner does, for a while.
    void Pump(DWORD milliseconds) {
        const DWORD end = ::GetTickCount() + milliseconds;
        do {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (!dialog.PreTranslateMessage(&msg)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
            }
            ::Sleep(10);
        } while (::GetTickCount() < end);
    }

    test::RecordingApp app;
    test::DialogTemplate layout{WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX,
                                110, 45, L"Handlers"};
    HandlerLog dialog{static_cast<const DLGTEMPLATE*>(nullptr)};
};

TEST_F(TypedHandlersTest, RealInputReachesTheHandlersDecoded) {
    struct Case {
        const char* name;
        std::function<void(HandlerLog&)> act;
        std::vector<std::string> calls;
    };
    const std::string go = std::to_string(kButton);
    const std::string edit = std::to_string(kEdit);
    const Case cases[] = {
        {"click on a button",
         [](HandlerLog& d) { ClickOn(d.GetDlgItem(kButton)); },
         {"command " + go + " 0 button"}},
        {"a digit typed into the edit",
         [](HandlerLog& d) {
             ::SetFocus(d.GetDlgItem(kEdit));
             Keys({'7'});
         },
         {"command " + edit + " " + std::to_string(EN_CHANGE) + " edit"}},
        {"F1 in the edit",
         [](HandlerLog& d) {
             ::SetFocus(d.GetDlgItem(kEdit));
             Keys({VK_F1});
         },
         {"help " + edit + " window"}},
        {"Enter: the default button's command, then OnOK",
         [](HandlerLog& d) {
             ::SetFocus(d.GetDlgItem(kEdit));
             Keys({VK_RETURN});
         },
         {"command 1 0 ok-button", "ok"}},
        {"Escape: OnCancel",
         [](HandlerLog& d) {
             ::SetFocus(d.GetDlgItem(kEdit));
             Keys({VK_ESCAPE});
         },
         {"command 2 0 cancel-button", "cancel"}},
        {"resized",
         [](HandlerLog& d) { ::SetWindowPos(d, nullptr, 0, 0, 300, 200, SWP_NOMOVE); },
         {"size " + std::to_string(SIZE_RESTORED) + " client"}},
        {"minimised",
         [](HandlerLog& d) { ::ShowWindow(d, SW_MINIMIZE); },
         {"size " + std::to_string(SIZE_MINIMIZED) + " client"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.calls.clear();
        c.act(dialog);
        Pump(300);
        EXPECT_EQ(c.calls, dialog.calls);
    }
    // The help request went on to the application, once.
    EXPECT_EQ((std::vector<std::pair<DWORD_PTR, UINT>>{{kEdit, HELP_CONTEXTPOPUP}}), app.helpCalls);
}

}  // namespace
}  // namespace kx
