// dialogs-demo: shows one of the program's dialogs for a while and prints where it is on the
// screen, so that a picture of it can be taken.
//
//   dialogs-demo progress [SECONDS]          the progress window in the middle of a save
//   dialogs-demo frames STRIP.bmp [HEIGHT [SECONDS]]
//                                            the strip read through the progress window, then
//                                            the frame settings dialog showing it, with HEIGHT
//                                            typed into the height field when it is not 0 (the
//                                            height goes under a key of the demo's own, removed
//                                            when the demo ends)
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>

#include "dialogs/frame_settings_dialog.h"
#include "dialogs/progress_dialog.h"
#include "doc/animation_document.h"
#include "resources/resource.h"
#include "settings/registry_settings.h"

namespace {

constexpr UINT_PTR kCloseTimer = 7;
constexpr int kDefaultSeconds = 4;

void PrintPlace(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    std::fflush(stdout);
}

int ShowProgress(int seconds) {
    kx::CProgressDialog progress;
    if (!progress.CreateWithCaption(IDS_SAVE_CAPTION)) {
        std::fprintf(stderr, "the progress window could not be created\n");
        return 1;
    }
    ::SetForegroundWindow(progress);
    kx::CProgressWindowSink sink(progress);
    sink.Report(100, kx::kPhaseWriting);
    sink.Report(62, kx::kProgressStep);
    PrintPlace(progress);
    // Polls as an operation would, so the clip plays and the window paints.
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (::GetTickCount() < end && sink.Report(0, kx::kProgressStep)) {
        ::Sleep(20);
    }
    progress.DestroyWindow();
    return 0;
}

// Prints where the frame settings dialog is once it shows, and closes it after the time.
class DemoFrameSettings : public kx::CFrameSettingsDialog {
public:
    DemoFrameSettings(int height, int seconds) : m_height(height), m_seconds(seconds) {}

protected:
    BOOL OnInitDialog() override {
        const BOOL result = CFrameSettingsDialog::OnInitDialog();
        ::SetTimer(m_hWnd, kCloseTimer, static_cast<UINT>(m_seconds) * 1000, nullptr);
        return result;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SHOWWINDOW && wParam) {
            ::PostMessageW(m_hWnd, WM_APP, 0, 0);
        } else if (msg == WM_APP) {
            if (m_height > 0) {
                ::SetDlgItemInt(m_hWnd, IDC_FRAME_HEIGHT, static_cast<UINT>(m_height), FALSE);
            }
            PrintPlace(m_hWnd);
            return 0;
        } else if (msg == WM_TIMER && wParam == kCloseTimer) {
            ::KillTimer(m_hWnd, kCloseTimer);
            EndDialog(IDCANCEL);
            return 0;
        }
        return CFrameSettingsDialog::WindowProc(msg, wParam, lParam);
    }

private:
    int m_height;
    int m_seconds;
};

int ShowFrameSettings(const wchar_t* strip, int height, int seconds) {
    kx::CAnimationDocument document;
    kx::CProgressDialog progress;
    progress.CreateWithCaption(IDS_READ_CAPTION);
    kx::CProgressWindowSink sink(progress);
    const int loaded = document.LoadBitmapStrip(&sink, strip, 100);
    progress.DestroyWindow();
    if (!loaded) {
        std::fprintf(stderr, "%s\n",
                     progress.m_bContinue ? "the strip could not be read"
                                          : "reading the strip was cancelled");
        return 1;
    }
    DemoFrameSettings dialog(height, seconds);
    dialog.m_settings.SetApplication(L"KinetrixDialogsDemo");
    dialog.m_preview.SetDocument(&document);
    dialog.DoModal();
    std::printf("frame height %d\n", dialog.m_fields.height);
    // Nothing of the demo stays in the settings: the program's removal expects its company key
    // to hold only the program's own.
    kx::CRegistrySettings demoKey;
    demoKey.SetApplication(L"KinetrixDialogsDemo");
    demoKey.SetSection(nullptr);
    demoKey.DeleteKey(TRUE);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);
    kx::CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24,
                                    -1, IDB_LOGO_86X32);
    if (argc >= 2 && std::wcscmp(argv[1], L"progress") == 0) {
        return ShowProgress(argc >= 3 ? _wtoi(argv[2]) : kDefaultSeconds);
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"frames") == 0) {
        return ShowFrameSettings(argv[2], argc >= 4 ? _wtoi(argv[3]) : 0,
                                 argc >= 5 ? _wtoi(argv[4]) : kDefaultSeconds);
    }
    std::fprintf(stderr,
                 "usage: dialogs-demo progress [SECONDS]\n"
                 "       dialogs-demo frames STRIP.bmp [HEIGHT [SECONDS]]\n");
    return 2;
}
