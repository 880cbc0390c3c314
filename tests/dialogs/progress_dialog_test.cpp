// The progress window from the program's template: the progress message and its replies, and a
// real click on Cancel or a real Escape while a save reports through it.
#include "dialogs/progress_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "framework/app.h"
#include "framework/real_input.h"
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

TEST_F(ProgressDialogTest, EachMessageChangesWhatItSaysAndRepliesWithTheContinueFlag) {
    // Before: the button the user clicks just before, if any. Expected afterwards: the reply (the
    // continue flag equals it), the status line's string (0: empty), range end and position.
    struct Step {
        const char* what;
        int before;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT reply;
        UINT status;
        std::pair<int, int> bar;
        bool cancelEnabled;
    };
    constexpr int kNo = 0;
    constexpr int kCancel = IDC_PROGRESS_CANCEL;
    constexpr UINT kRead = IDS_STATUS_READING;
    constexpr UINT kDecode = IDS_STATUS_DECODING;
    constexpr UINT kEncode = IDS_STATUS_ENCODING;
    constexpr UINT kStop = IDS_STATUS_STOPPING;
    // One window through a whole operation's life; each row follows from the rows above it.
    const Step steps[] = {
        {"phase without range", kNo, 0, kRead, 1, kRead, {100, 0}, true},
        {"phase with range", kNo, 200, kRead, 1, kRead, {200, 0}, true},
        {"advance", kNo, 50, 0, 1, kRead, {200, 50}, true},
        {"relabel keeps the bar", kNo, 0, kDecode, 1, kDecode, {200, 50}, true},
        {"advance past the end", kNo, 500, 0, 1, kDecode, {200, 200}, true},
        {"a text without string", kNo, 0, kNoSuchText, 1, 0, {200, 200}, true},
        {"restart the bar", kNo, 70000, kEncode, 1, kEncode, {70000, 0}, true},
        {"disable Cancel", kNo, 0, kProgressDisableCancel, 1, kEncode, {70000, 0}, false},
        {"click on a disabled Cancel", kCancel, 0, 0, 1, kEncode, {70000, 0}, false},
        {"Escape while disabled", IDCANCEL, 0, 0, 1, kEncode, {70000, 0}, false},
        {"enable Cancel", kNo, 0, kProgressEnableCancel, 1, kEncode, {70000, 0}, true},
        {"Cancel, then an advance", kCancel, 10, 0, 0, kStop, {70000, 0}, false},
        {"a phase after the stop", kNo, 100, IDS_STATUS_WRITING, 0, kStop, {70000, 0}, false},
    };
    CProgressDialog progress;
    ASSERT_TRUE(progress.CreateWithCaption(IDS_READ_CAPTION));
    EXPECT_EQ(L"ファイルの読込", progress.GetWindowText());
    EXPECT_TRUE(::IsWindowVisible(progress));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.before != kNo) {
            HWND button = progress.GetDlgItem(step.before);
            ::SendMessageW(progress, WM_COMMAND, MAKEWPARAM(step.before, BN_CLICKED),
                           reinterpret_cast<LPARAM>(step.before == kCancel ? button : nullptr));
        }
        EXPECT_EQ(step.reply, ::SendMessageW(progress, WM_PROGRESS, step.wParam, step.lParam));
        EXPECT_EQ(step.status ? LoadStringResource(step.status) : L"", Status(progress));
        EXPECT_EQ(step.bar, Bar(progress));
        EXPECT_EQ(step.cancelEnabled, CancelEnabled(progress));
        EXPECT_EQ(step.reply, progress.m_bContinue);
    }
}

// Passes reports on to the progress window; at a chosen report it clicks Cancel with real mouse
// input, or presses Escape, and waits until the input is queued, so that the following report
// sees it.
struct StoppingSink final : ProgressSink {
    StoppingSink(ProgressSink& to, HWND button, int at, bool byEscape)
        : inner(to), cancel(button), stopAt(at), escape(byEscape) {}
    bool Report(uint32_t wParam, int32_t lParam) override {
        const bool goOn = inner.Report(wParam, lParam);
        ++reports;
        firstStop = !goOn && firstStop < 0 ? reports : firstStop;
        if (reports == stopAt) {
            if (escape) {
                test::PressKeys({VK_ESCAPE});
            } else {
                test::ClickAt(test::CentreOf(cancel));
            }
            // The input lands in this thread's queue a moment after SendInput returns.
            const UINT kind = escape ? QS_KEY : QS_MOUSEBUTTON;
            const DWORD deadline = ::GetTickCount() + 5000;
            while ((HIWORD(::GetQueueStatus(kind)) & kind) == 0 && ::GetTickCount() < deadline) {
                ::Sleep(10);
            }
        }
        return goOn;
    }

    ProgressSink& inner;
    HWND cancel;
    int stopAt;
    bool escape;
    int reports = 0;
    int firstStop = -1;
};

TEST_F(ProgressDialogTest, ARealClickOnCancelOrEscapeStopsALongSave) {
    // 300 frames of 256 x 256 that change every frame: every frame is encoded and reported.
    auto movie = test::MakeMovie(256, 256, 300, {test::kRed, test::kGreen, test::kBlue},
                                 [](int32_t f, int32_t x, int32_t y) {
                                     return static_cast<uint8_t>((x * 7 + y * 3 + f) % 3);
                                 });
    const std::filesystem::path target =
        std::filesystem::temp_directory_path() / L"kinetrix-progress-test.avi";
    for (const bool byEscape : {false, true}) {
        SCOPED_TRACE(byEscape ? "Escape" : "click on Cancel");
        std::filesystem::remove(target);
        CProgressDialog progress;
        ASSERT_TRUE(progress.CreateWithCaption(IDS_SAVE_CAPTION));
        ::SetForegroundWindow(progress);
        CProgressWindowSink window(progress);
        StoppingSink sink(window, progress.GetDlgItem(IDC_PROGRESS_CANCEL), 20, byEscape);
        EXPECT_EQ(0, movie->SaveAvi(&sink, target));
        // The input is seen at the report right after it was queued.
        EXPECT_EQ(21, sink.firstStop);
        EXPECT_EQ(0, progress.m_bContinue);
        EXPECT_EQ(L"中断処理をしています...", Status(progress));
        EXPECT_FALSE(CancelEnabled(progress));
        EXPECT_TRUE(progress.DestroyWindow());
        EXPECT_FALSE(std::filesystem::exists(target));
    }
    // The movie is whole again: it saves without the window.
    EXPECT_EQ(1, movie->SaveAvi(nullptr, target));
    std::filesystem::remove(target);
}

}  // namespace
}  // namespace kx
