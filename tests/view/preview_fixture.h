// A preview control on a real dialog, movies built in memory, and a 32-bit canvas that a frame
// is drawn into and read back from.
#ifndef KINETRIX_TESTS_VIEW_PREVIEW_FIXTURE_H
#define KINETRIX_TESTS_VIEW_PREVIEW_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "doc/animation_document.h"
#include "framework/canvas.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "resources/resource.h"
#include "view/preview_window.h"

namespace kx::test {

constexpr int kPreviewId = IDC_PREVIEW;

// Palette colours far from any button-face colour.
constexpr COLORREF kRed = RGB(208, 16, 16);
constexpr COLORREF kGreen = RGB(16, 160, 32);
constexpr COLORREF kBlue = RGB(32, 48, 224);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kYellow = RGB(224, 208, 0);

inline COLORREF ButtonFace() {
    return ::GetSysColor(COLOR_BTNFACE);
}

// Palette index of the pixel at column x, row y counted from the top, of frame f.
using PixelRule = std::function<uint8_t(int32_t f, int32_t x, int32_t y)>;

// A plain 8-bit movie as the readers leave it: frames bottom-up, headers and DisplayInfo built.
inline std::unique_ptr<CAnimationDocument> MakeMovie(int32_t width, int32_t height, int32_t frames,
                                                     const std::vector<COLORREF>& colours,
                                                     const PixelRule& pixel,
                                                     int32_t periodMs = 100) {
    auto doc = std::make_unique<CAnimationDocument>();
    for (size_t i = 0; i < colours.size(); ++i) {
        doc->palette.entries[i] = {GetBValue(colours[i]), GetGValue(colours[i]),
                                   GetRValue(colours[i]), 0};
    }
    doc->palette.count = static_cast<int32_t>(colours.size());
    doc->headerList.stream.format.header.biWidth = width;
    const size_t stride = Stride8(width);
    doc->movieList.frames.resize(size_t(frames));
    for (int32_t f = 0; f < frames; ++f) {
        kx::FrameBytes& data = doc->movieList.frames[size_t(f)].data;
        data.assign(stride * size_t(height), 0);
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* row = data.data() + stride * size_t(height - 1 - y);
            for (int32_t x = 0; x < width; ++x) {
                row[x] = pixel(f, x, y);
            }
        }
    }
    doc->frameCount = frames;
    EXPECT_EQ(1, doc->RebuildHeaders(static_cast<int32_t>(colours.size()), frames, height, width,
                                     periodMs));
    return doc;
}

// The dialog that owns the preview: records each command of the preview with the playback
// state and the pixel on screen at the moment the command arrived.
class Owner : public CDialog {
public:
    using CDialog::CDialog;
    struct Notice {
        WPARAM wParam;
        LPARAM lParam;
        int32_t currentFrame;
        int32_t passesLeft;
        COLORREF shown;  // the preview's top-left pixel on screen
    };
    std::vector<Notice> notices;
    CPreviewWindow* preview = nullptr;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && LOWORD(wParam) == kPreviewId && preview != nullptr) {
            HDC dc = ::GetDC(preview->m_hWnd);
            const COLORREF shown = ::GetPixel(dc, 0, 0);
            ::ReleaseDC(preview->m_hWnd, dc);
            notices.push_back({wParam, lParam, preview->currentFrame, preview->passesLeft, shown});
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

class PreviewTest : public ::testing::Test {
protected:
    PreviewTest() : layout(WS_POPUP | WS_VISIBLE, 300, 200, L"") {
        layout.Add(L"Static", kPreviewId, 0, 0, 0, 10, 10);
    }
    void SetUp() override {
        ASSERT_TRUE(owner.CreateIndirect(layout.Get()));
        owner.preview = &preview;
        ASSERT_TRUE(preview.SubclassDlgItem(kPreviewId, &owner));
    }
    void TearDown() override {
        owner.preview = nullptr;
        owner.DestroyWindow();
    }

    // Sizes the control's client area in pixels (the static has no border).
    void Resize(int width, int height) {
        ::SetWindowPos(preview.m_hWnd, nullptr, 0, 0, width, height,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        const RECT r = preview.GetClientRect();
        ASSERT_EQ(width, r.right);
        ASSERT_EQ(height, r.bottom);
    }

    // Delivers the messages queued for this thread (paint, timers) until none is left.
    static void Pump() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

    // Whether the playback timer fires within the given time (its message is taken out of the
    // queue, the timer itself stays as it was).
    bool TimerFires(DWORD withinMs) {
        const DWORD start = ::GetTickCount();
        MSG msg;
        do {
            if (::PeekMessageW(&msg, preview.m_hWnd, WM_TIMER, WM_TIMER, PM_REMOVE)) {
                return msg.wParam == CPreviewWindow::kPlaybackTimer;
            }
            ::Sleep(2);
        } while (::GetTickCount() - start < withinMs);
        return false;
    }

    DialogTemplate layout;
    Owner owner{static_cast<const DLGTEMPLATE*>(nullptr)};
    CPreviewWindow preview;
};

}  // namespace kx::test

#endif  // KINETRIX_TESTS_VIEW_PREVIEW_FIXTURE_H
