// The progress window from the program's template: the progress message and its replies, the
// pump of the window's own messages, the adapter the document operations report through, and
// a real click on Cancel while an operation runs.
#include "dialogs/progress_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "doc/animation_document.h"
#include "framework/app.h"
#include "resources/resource.h"
#include "view/preview_fixture.h"

namespace kx {
namespace {

constexpr LPARAM kNoSuchText = 1099;

class ProgressDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::FindResourceW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS),
                            RT_DIALOG) == nullptr) {
            GTEST_SKIP() << "the program's resources are not linked in";
        }
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&controls);
        CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24,
                                    -1, IDB_LOGO_86X32);
    }

    static std::wstring Status(HWND dialog) {
        wchar_t text[128] = L"sentinel";
        ::GetDlgItemTextW(dialog, IDC_PROGRESS_STATUS, text, 128);
        return text;
    }
    static std::pair<int, int> Bar(HWND dialog) {
        HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS_BAR);
        PBRANGE range{-1, -1};
        ::SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        return {range.iHigh, static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0))};
    }
    static bool CancelEnabled(HWND dialog) {
        return ::IsWindowEnabled(::GetDlgItem(dialog, IDC_PROGRESS_CANCEL)) != FALSE;
    }
};

// What the user does just before a message is sent.
enum class Before { Nothing, ClickCancel, CloseRequest, Escape };

struct ProtocolStep {
    const char* what;
    Before before;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    // Expected afterwards.
    LRESULT reply;
    UINT statusId;  // 0: the status line is empty
    int rangeHigh;
    int position;
    bool cancelEnabled;
    int32_t flag;
};

TEST_F(ProgressDialogTest, EachMessageChangesWhatItSaysAndRepliesWithTheContinueFlag) {
    // One window through a whole operation's life; each row follows from the rows above it.
    const std::vector<ProtocolStep> steps = {
        {"phase without range", Before::Nothing, WM_PROGRESS, 0, IDS_STATUS_READING, 1,
         IDS_STATUS_READING, 100, 0, true, 1},
        {"phase with range", Before::Nothing, WM_PROGRESS, 200, IDS_STATUS_READING, 1,
         IDS_STATUS_READING, 200, 0, true, 1},
        {"advance", Before::Nothing, WM_PROGRESS, 50, 0, 1, IDS_STATUS_READING, 200, 50, true, 1},
        {"poll only", Before::Nothing, WM_PROGRESS, 0, 0, 1, IDS_STATUS_READING, 200, 50, true, 1},
        {"relabel keeps the bar", Before::Nothing, WM_PROGRESS, 0, IDS_STATUS_DECODING, 1,
         IDS_STATUS_DECODING, 200, 50, true, 1},
        {"advance past the end", Before::Nothing, WM_PROGRESS, 500, 0, 1, IDS_STATUS_DECODING, 200,
         200, true, 1},
        {"a text without string", Before::Nothing, WM_PROGRESS, 0, kNoSuchText, 1, 0, 200, 200,
         true, 1},
        {"restart the bar", Before::Nothing, WM_PROGRESS, 70000, IDS_STATUS_ENCODING, 1,
         IDS_STATUS_ENCODING, 70000, 0, true, 1},
        {"another negative value", Before::Nothing, WM_PROGRESS, 9, -3, 1, IDS_STATUS_ENCODING,
         70000, 0, true, 1},
        {"disable Cancel", Before::Nothing, WM_PROGRESS, 0, kProgressDisableCancel, 1,
         IDS_STATUS_ENCODING, 70000, 0, false, 1},
        {"click on a disabled Cancel", Before::ClickCancel, WM_PROGRESS, 0, 0, 1,
         IDS_STATUS_ENCODING, 70000, 0, false, 1},
        {"close request while disabled", Before::CloseRequest, WM_PROGRESS, 0, 0, 1,
         IDS_STATUS_ENCODING, 70000, 0, false, 1},
        {"enable Cancel", Before::Nothing, WM_PROGRESS, 0, kProgressEnableCancel, 1,
         IDS_STATUS_ENCODING, 70000, 0, true, 1},
        {"the dialog manager's default button query", Before::Nothing, DM_GETDEFID, 0, 0, 1,
         IDS_STATUS_ENCODING, 70000, 0, true, 1},
        {"click on Cancel, then an advance", Before::ClickCancel, WM_PROGRESS, 10, 0, 0,
         IDS_STATUS_STOPPING, 70000, 0, false, 0},
        {"a phase after the stop", Before::Nothing, WM_PROGRESS, 100, IDS_STATUS_WRITING, 0,
         IDS_STATUS_STOPPING, 70000, 0, false, 0},
        {"Cancel enabled again is disabled in the same call", Before::Nothing, WM_PROGRESS, 0,
         kProgressEnableCancel, 0, IDS_STATUS_STOPPING, 70000, 0, false, 0},
        {"the default button query after the stop", Before::Nothing, DM_GETDEFID, 0, 0, 0,
         IDS_STATUS_STOPPING, 70000, 0, false, 0},
    };
    CProgressDialog progress;
    ASSERT_TRUE(progress.CreateWithCaption(IDS_READ_CAPTION));
    EXPECT_EQ(LoadStringResource(IDS_READ_CAPTION), progress.GetWindowText());
    EXPECT_TRUE(::IsWindowVisible(progress));
    for (const ProtocolStep& step : steps) {
        SCOPED_TRACE(step.what);
        HWND cancel = progress.GetDlgItem(IDC_PROGRESS_CANCEL);
        switch (step.before) {
            case Before::Nothing:
                break;
            case Before::ClickCancel:
                ::SendMessageW(progress, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED),
                               reinterpret_cast<LPARAM>(cancel));
                break;
            case Before::CloseRequest:
                ::SendMessageW(progress, WM_CLOSE, 0, 0);
                break;
            case Before::Escape:
                break;
        }
        EXPECT_EQ(step.reply, ::SendMessageW(progress, step.msg, step.wParam, step.lParam));
        EXPECT_EQ(step.statusId ? LoadStringResource(step.statusId) : L"", Status(progress));
        EXPECT_EQ(std::make_pair(step.rangeHigh, step.position), Bar(progress));
        EXPECT_EQ(step.cancelEnabled, CancelEnabled(progress));
        EXPECT_EQ(step.flag, progress.m_bContinue);
    }
    EXPECT_TRUE(progress.DestroyWindow());
    EXPECT_EQ(0, progress.m_bContinue);
}

// A stop request by any way reaches the flag only while Cancel is enabled, and never closes the
// window.
TEST_F(ProgressDialogTest, EveryStopRequestClearsTheFlagAndNoneClosesTheWindow) {
    struct Request {
        const char* what;
        Before how;
    };
    const std::vector<Request> requests = {{"Cancel clicked", Before::ClickCancel},
                                           {"close request (Alt+F4)", Before::CloseRequest},
                                           {"Escape", Before::Escape}};
    for (const Request& request : requests) {
        SCOPED_TRACE(request.what);
        for (const bool enabled : {true, false}) {
            CProgressDialog progress;
            ASSERT_TRUE(progress.CreateWithCaption(IDS_SAVE_CAPTION));
            ::SendMessageW(progress, WM_PROGRESS, 0,
                           enabled ? kProgressEnableCancel : kProgressDisableCancel);
            HWND cancel = progress.GetDlgItem(IDC_PROGRESS_CANCEL);
            switch (request.how) {
                case Before::ClickCancel:
                    ::SendMessageW(progress, WM_COMMAND,
                                   MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(cancel));
                    break;
                case Before::CloseRequest:
                    ::SendMessageW(progress, WM_CLOSE, 0, 0);
                    break;
                case Before::Escape:
                    ::SendMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                    break;
                case Before::Nothing:
                    break;
            }
            // The dialog manager posts the command of a close request: the pump takes it.
            EXPECT_EQ(enabled ? 0 : 1, ::SendMessageW(progress, WM_PROGRESS, 0, 0));
            EXPECT_EQ(enabled ? 0 : 1, progress.m_bContinue);
            EXPECT_TRUE(::IsWindow(progress));
            EXPECT_TRUE(::IsWindowVisible(progress));
        }
    }
}

// The pump takes the messages of the window and its controls and leaves every other window's
// messages queued.
TEST_F(ProgressDialogTest, ThePumpTakesOnlyTheWindowsOwnMessages) {
    CProgressDialog progress;
    ASSERT_TRUE(progress.CreateWithCaption(IDS_SAVE_CAPTION));
    HWND other = ::CreateWindowExW(0, L"Static", L"main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
    ASSERT_NE(nullptr, other);
    MSG drain;
    while (::PeekMessageW(&drain, progress, 0, 0, PM_REMOVE)) {
        ::DispatchMessageW(&drain);
    }
    constexpr UINT kOthers = WM_APP + 7;
    ::PostMessageW(other, kOthers, 1, 2);
    HWND cancel = progress.GetDlgItem(IDC_PROGRESS_CANCEL);
    // The click as the button posts it to its dialog, queued behind the other window's message.
    ::PostMessageW(progress, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(cancel));
    // A message for a control of the window.
    ::PostMessageW(cancel, BM_SETSTATE, TRUE, 0);
    EXPECT_EQ(1, progress.m_bContinue);
    EXPECT_EQ(0, ::SendMessageW(progress, WM_PROGRESS, 0, 0));
    EXPECT_EQ(BST_PUSHED, ::SendMessageW(cancel, BM_GETSTATE, 0, 0) & BST_PUSHED);
    MSG left{};
    EXPECT_TRUE(::PeekMessageW(&left, other, kOthers, kOthers, PM_REMOVE));
    EXPECT_EQ(static_cast<WPARAM>(1), left.wParam);
    ::DestroyWindow(other);
}

// A window that answers each progress message with a scripted reply and keeps what it got.
struct Recorded {
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Recorded&) const = default;
};
std::vector<Recorded> g_received;
LRESULT g_reply = 1;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PROGRESS) {
        g_received.push_back({wParam, lParam});
        return g_reply;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(ProgressWindowSinkTest, EachReportReachesTheWindowAndItsReplyComesBack) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &RecordingProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KinetrixProgressRecorder";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10,
                                    nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    struct Case {
        const char* what;
        HWND target;
        uint32_t wParam;
        int32_t lParam;
        LRESULT reply;
        bool goOn;
        std::vector<Recorded> received;
    };
    const std::vector<Case> cases = {
        {"phase", window, 4096, kPhaseWriting, 1, true, {{4096, 1012}}},
        {"step answered stop", window, 12, kProgressStep, 0, false, {{12, 0}}},
        {"disable Cancel keeps its sign", window, 0, kProgressDisableCancel, 1, true, {{0, -2}}},
        {"a range of 32 bits", window, 0xFFFFFFFFu, kPhaseReading, 1, true, {{0xFFFFFFFFu, 1011}}},
        {"null window goes on", nullptr, 12, kProgressStep, 0, true, {}},
        {"null window, even for a phase", nullptr, 100, kPhaseComposing, 0, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_received.clear();
        g_reply = c.reply;
        CProgressWindowSink sink(c.target);
        EXPECT_EQ(c.goOn, sink.Report(c.wParam, c.lParam));
        EXPECT_EQ(c.received, g_received);
    }
    ::DestroyWindow(window);
}

// Passes reports on to the progress window; at a chosen report it has a second thread click
// Cancel as real mouse input and waits until the click is queued, so that the click is seen by
// the following reports.
class ClickingSink final : public ProgressSink {
public:
    ClickingSink(ProgressSink& inner, HWND cancel, int clickAt)
        : m_inner(inner), m_cancel(cancel), m_clickAt(clickAt) {}

    bool Report(uint32_t wParam, int32_t lParam) override {
        const bool goOn = m_inner.Report(wParam, lParam);
        ++reports;
        if (!goOn && firstStop < 0) {
            firstStop = reports;
        }
        if (reports == m_clickAt) {
            RECT r{};
            ::GetWindowRect(m_cancel, &r);
            std::thread clicker([&r] {
                ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
                INPUT clicks[2]{};
                clicks[0].type = INPUT_MOUSE;
                clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
                clicks[1].type = INPUT_MOUSE;
                clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
                ::SendInput(2, clicks, sizeof clicks[0]);
            });
            clicker.join();
            // The button-up lands in this thread's queue a moment after SendInput returns.
            const DWORD deadline = ::GetTickCount() + 5000;
            while ((HIWORD(::GetQueueStatus(QS_MOUSEBUTTON)) & QS_MOUSEBUTTON) == 0 &&
                   ::GetTickCount() < deadline) {
                ::Sleep(10);
            }
        }
        return goOn;
    }

    int reports = 0;
    int firstStop = -1;

private:
    ProgressSink& m_inner;
    HWND m_cancel;
    int m_clickAt;
};

TEST_F(ProgressDialogTest, ARealClickOnCancelStopsALongSave) {
    // 300 frames of 256 x 256 that change every frame: every frame is encoded and reported.
    auto movie = test::MakeMovie(256, 256, 300, {test::kRed, test::kGreen, test::kBlue},
                                 [](int32_t f, int32_t x, int32_t y) {
                                     return static_cast<uint8_t>((x * 7 + y * 3 + f) % 3);
                                 });
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / L"kinetrix-progress-test";
    std::filesystem::create_directories(folder);
    struct Operation {
        const char* what;
        std::filesystem::path target;
        std::function<int(CAnimationDocument&, ProgressSink*, const std::filesystem::path&)> run;
    };
    const std::vector<Operation> operations = {
        {"AVI", folder / L"long.avi",
         [](CAnimationDocument& doc, ProgressSink* sink, const std::filesystem::path& p) {
             return doc.SaveAvi(sink, p);
         }},
        {"compressed strip", folder / L"long.bmp",
         [](CAnimationDocument& doc, ProgressSink* sink, const std::filesystem::path& p) {
             return doc.SaveBitmap(sink, p, true);
         }},
    };
    for (const Operation& operation : operations) {
        SCOPED_TRACE(operation.what);
        std::filesystem::remove(operation.target);
        CProgressDialog progress;
        ASSERT_TRUE(progress.CreateWithCaption(IDS_SAVE_CAPTION));
        ::SetForegroundWindow(progress);
        CProgressWindowSink window(progress);
        ClickingSink sink(window, progress.GetDlgItem(IDC_PROGRESS_CANCEL), 20);
        EXPECT_EQ(0, operation.run(*movie, &sink, operation.target));
        // The click is seen at the report right after it was queued.
        EXPECT_EQ(21, sink.firstStop);
        EXPECT_EQ(0, progress.m_bContinue);
        EXPECT_EQ(L"中断処理をしています...", Status(progress));
        EXPECT_FALSE(CancelEnabled(progress));
        EXPECT_TRUE(progress.DestroyWindow());
        EXPECT_FALSE(std::filesystem::exists(operation.target));
        // The movie is whole again and can still be saved.
        EXPECT_EQ(1, operation.run(*movie, nullptr, operation.target));
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kx
