// The framework's modal loop: pre-translation from the target window up to the dialog,
// accelerators, the dialog manager's keys, the owner, WM_QUIT and the order of destruction.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "framework/recording_app.h"

namespace kx {
namespace {

constexpr int kEdit = 200;
constexpr WORD kAcceleratedCommand = 4242;
constexpr UINT_PTR kWatchdogTimer = 99;
constexpr int kTimedOut = -2;

std::vector<std::wstring> g_events;

// An edit control that notes the keys it is asked to pre-translate and can swallow one.
class WatchingEdit : public CWnd {
public:
    WPARAM swallowChar = 0;

protected:
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN) {
            g_events.push_back(L"edit sees key " + std::to_wstring(msg->wParam));
        }
        return msg->message == WM_CHAR && msg->wParam == swallowChar;
    }
};

class LoopDialog : public CDialog {
public:
    explicit LoopDialog(const DLGTEMPLATE* t, CWnd* parent = nullptr) : CDialog(t, parent) {}
    ~LoopDialog() override {
        if (accelerators) {
            ::DestroyAcceleratorTable(accelerators);
        }
    }

    WatchingEdit edit;
    HACCEL accelerators = nullptr;
    int value = 5;
    bool answerDefId = false;
    // Messages posted when the dialog has initialised, for the loop to take.
    std::vector<MSG> toPost;
    std::vector<UINT> firstMessages;
    HWND ownerAtInit = nullptr;
    RECT rectAtInit{};
    bool ownerEnabledAtInit = true;
    bool windowAliveInDestroy = false;

    BOOL DestroyWindow() override {
        windowAliveInDestroy = ::IsWindow(m_hWnd) != FALSE;
        g_events.push_back(L"DestroyWindow");
        return CDialog::DestroyWindow();
    }

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, kEdit, edit);
        DDX_Text(dx, kEdit, value);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ownerAtInit = ::GetWindow(m_hWnd, GW_OWNER);
        ::GetWindowRect(m_hWnd, &rectAtInit);
        ownerEnabledAtInit = ownerAtInit && ::IsWindowEnabled(ownerAtInit);
        for (MSG m : toPost) {
            ::PostMessageW(m.hwnd ? m.hwnd : edit.m_hWnd, m.message, m.wParam, m.lParam);
        }
        ::SetFocus(edit.m_hWnd);
        edit.SendMessage(EM_SETSEL, 0, -1);
        // A watchdog, so that a broken loop fails the test instead of hanging it.
        ::SetTimer(m_hWnd, kWatchdogTimer, 5000, nullptr);
        return FALSE;
    }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN) {
            g_events.push_back(L"dialog sees key " + std::to_wstring(msg->wParam));
        }
        return accelerators && ::TranslateAcceleratorW(m_hWnd, accelerators, msg);
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (firstMessages.size() < 64) {
            firstMessages.push_back(msg);
        }
        if (msg == WM_COMMAND && LOWORD(wParam) == kAcceleratedCommand) {
            g_events.push_back(L"command " + std::to_wstring(HIWORD(wParam)));
            EndDialog(77);
            return 0;
        }
        if (msg == WM_TIMER && wParam == kWatchdogTimer) {
            EndDialog(kTimedOut);
            return 0;
        }
        if (msg == DM_GETDEFID && answerDefId) {
            return MAKELRESULT(4321, DC_HASDEFID);
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

class ModalLoopTest : public ::testing::Test {
protected:
    ModalLoopTest() : layout(WS_POPUP | WS_CAPTION | WS_SYSMENU, 160, 60, L"ループ") {
        layout.Add(L"Edit", kEdit, WS_BORDER | WS_TABSTOP, 10, 10, 60, 12)
            .Add(L"Button", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 100, 10, 40, 14, L"OK")
            .Add(L"Button", IDCANCEL, WS_TABSTOP, 100, 30, 40, 14, L"Cancel");
        g_events.clear();
    }
    static MSG Key(UINT message, WPARAM key) { return MSG{nullptr, message, key, 1, 0, {}}; }

    test::RecordingApp app;
    test::DialogTemplate layout;
};

TEST_F(ModalLoopTest, AcceleratorsWorkThroughPreTranslateFromTheFocusUp) {
    LoopDialog dialog(layout.Get());
    ACCEL accel{FVIRTKEY, VK_F5, kAcceleratedCommand};
    dialog.accelerators = ::CreateAcceleratorTableW(&accel, 1);
    dialog.toPost = {Key(WM_KEYDOWN, VK_F5)};
    EXPECT_EQ(77, dialog.DoModal());
    const std::vector<std::wstring> expected = {L"edit sees key 116", L"dialog sees key 116",
                                                L"command 1", L"DestroyWindow"};
    EXPECT_EQ(expected, g_events);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
}

TEST_F(ModalLoopTest, AChildCanConsumeAMessageBeforeTheDialogManager) {
    LoopDialog dialog(layout.Get());
    dialog.edit.swallowChar = L'x';
    dialog.toPost = {Key(WM_CHAR, L'x'), Key(WM_CHAR, L'4'), Key(WM_KEYDOWN, VK_RETURN)};
    EXPECT_EQ(IDOK, dialog.DoModal());
    // Enter reached OnOK through the dialog manager, which saved the "4" typed over the "5".
    EXPECT_EQ(4, dialog.value);
}

TEST_F(ModalLoopTest, EnterWithAnInvalidFieldKeepsTheDialogOpen) {
    LoopDialog dialog(layout.Get());
    dialog.toPost = {Key(WM_CHAR, L'q'), Key(WM_KEYDOWN, VK_RETURN), Key(WM_KEYDOWN, VK_ESCAPE)};
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    ASSERT_EQ(1u, app.boxes.size());
    EXPECT_EQ(L"整数を入力してください。", app.boxes[0].text);
    EXPECT_EQ(5, dialog.value);
}

TEST_F(ModalLoopTest, OwnerIsDisabledWhileTheDialogRunsAndEnabledAfter) {
    test::DialogTemplate ownerLayout(WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 50, L"オーナー");
    CDialog owner(ownerLayout.Get());
    ASSERT_TRUE(owner.CreateIndirect(ownerLayout.Get()));
    LoopDialog dialog(layout.Get(), &owner);
    dialog.toPost = {Key(WM_KEYDOWN, VK_ESCAPE)};
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(owner.m_hWnd, dialog.ownerAtInit);
    EXPECT_FALSE(dialog.ownerEnabledAtInit);
    EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
}

TEST_F(ModalLoopTest, AModalDialogWithoutOwnerStartsCentredOnTheWorkArea) {
    LoopDialog dialog(layout.Get());
    dialog.toPost = {Key(WM_KEYDOWN, VK_ESCAPE)};
    ASSERT_EQ(IDCANCEL, dialog.DoModal());
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT& r = dialog.rectAtInit;
    EXPECT_NEAR((work.left + work.right) / 2, (r.left + r.right) / 2, 1);
    EXPECT_NEAR((work.top + work.bottom) / 2, (r.top + r.bottom) / 2, 1);
}

TEST_F(ModalLoopTest, WithoutAParentTheOwnerComesFromTheMainWindowNotTheActiveWindow) {
    // A modeless window that is active when the main window starts, like a splash panel: it must
    // not become the main window's owner, or destroying it would take the main window along.
    test::DialogTemplate panelLayout(WS_POPUP | WS_VISIBLE, 60, 40, L"");
    CDialog panel(panelLayout.Get());
    ASSERT_TRUE(panel.CreateIndirect(panelLayout.Get()));
    ::SetActiveWindow(panel.m_hWnd);
    ASSERT_EQ(panel.m_hWnd, ::GetActiveWindow());

    LoopDialog mainWindow(layout.Get());
    app.m_pMainWnd = &mainWindow;
    mainWindow.toPost = {Key(WM_KEYDOWN, VK_ESCAPE)};
    EXPECT_EQ(IDCANCEL, mainWindow.DoModal());
    EXPECT_EQ(nullptr, mainWindow.ownerAtInit);

    // Once the main window exists, a dialog without a parent belongs to it.
    test::DialogTemplate shownLayout(WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 50, L"メイン");
    CDialog shown(shownLayout.Get());
    ASSERT_TRUE(shown.CreateIndirect(shownLayout.Get()));
    app.m_pMainWnd = &shown;
    ::SetActiveWindow(panel.m_hWnd);
    LoopDialog box(layout.Get());
    box.toPost = {Key(WM_KEYDOWN, VK_ESCAPE)};
    EXPECT_EQ(IDCANCEL, box.DoModal());
    EXPECT_EQ(shown.m_hWnd, box.ownerAtInit);
    EXPECT_FALSE(box.ownerEnabledAtInit);
    EXPECT_TRUE(::IsWindowEnabled(panel.m_hWnd));
    app.m_pMainWnd = nullptr;
}

// A modeless dialog that notes its Escape.
class ModelessPanel : public CDialog {
public:
    using CDialog::CDialog;
    int cancels = 0;
    void OnCancel() override { ++cancels; }
};

TEST_F(ModalLoopTest, AModelessDialogGetsItsDialogKeysWhileAModalLoopRuns) {
    test::DialogTemplate panelLayout(WS_POPUP | WS_VISIBLE, 60, 40, L"");
    ModelessPanel panel(panelLayout.Get());
    ASSERT_TRUE(panel.CreateIndirect(panelLayout.Get()));
    LoopDialog dialog(layout.Get());
    dialog.toPost = {MSG{panel.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 1, 0, {}},
                     Key(WM_KEYDOWN, VK_ESCAPE)};
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(1, panel.cancels);
}

TEST_F(ModalLoopTest, QuitEndsTheLoopAndIsPostedAgain) {
    LoopDialog dialog(layout.Get());
    dialog.toPost = {MSG{nullptr, WM_NULL, 0, 0, 0, {}}};
    ::PostQuitMessage(3);
    EXPECT_EQ(-1, dialog.DoModal());
    EXPECT_TRUE(dialog.windowAliveInDestroy);
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
}

TEST_F(ModalLoopTest, TheObjectSeesCreationAndAnswersWithItsOwnResult) {
    LoopDialog dialog(layout.Get());
    dialog.answerDefId = true;
    ASSERT_TRUE(dialog.CreateIndirect(layout.Get()));
    ASSERT_LE(3u, dialog.firstMessages.size());
    EXPECT_EQ(UINT{WM_NCCREATE}, dialog.firstMessages[0]);
    auto at = [&](UINT m) {
        return std::find(dialog.firstMessages.begin(), dialog.firstMessages.end(), m) -
               dialog.firstMessages.begin();
    };
    EXPECT_LT(at(WM_CREATE), at(WM_INITDIALOG));
    EXPECT_GT(static_cast<ptrdiff_t>(dialog.firstMessages.size()), at(WM_INITDIALOG));
    // The value comes from WindowProc itself, not from the dialog manager's default.
    EXPECT_EQ(MAKELRESULT(4321, DC_HASDEFID), dialog.SendMessage(DM_GETDEFID));
}

}  // namespace
}  // namespace kx
