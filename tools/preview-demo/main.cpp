// preview-demo: shows the preview control playing a bitmap strip, or times its drawing.
//
//   preview-demo STRIP.bmp [FRAME_HEIGHT [SECONDS]]   play the strip (frame height default 48,
//                                                     the bundled sample's) fitted, with its
//                                                     transparent colour, in a loop; with SECONDS
//                                                     the window closes by itself
//   preview-demo --measure                            time draws of 640 x 480 and 2048 x 2048
//                                                     frames, fitted and not, and playback of a
//                                                     640 x 480 movie at 10 ms per frame
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "view/preview_window.h"

namespace {

constexpr int kPreviewId = 1028;
constexpr UINT_PTR kCloseTimer = 7;
constexpr wchar_t kClassName[] = L"KinetrixPreviewDemo";

struct DemoState {
    kx::CPreviewWindow* preview = nullptr;
    int notices = 0;
};
DemoState g_state;

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kPreviewId && HIWORD(wParam) == 0 && g_state.preview != nullptr) {
                ++g_state.notices;
                wchar_t title[64];
                std::swprintf(title, 64, L"Preview  %d / %d", g_state.preview->currentFrame + 1,
                              g_state.preview->frameCount);
                ::SetWindowTextW(hwnd, title);
                return 0;
            }
            break;
        case WM_SIZE:
            if (g_state.preview != nullptr && g_state.preview->m_hWnd != nullptr) {
                ::MoveWindow(g_state.preview->m_hWnd, 8, 8, LOWORD(lParam) - 16,
                             HIWORD(lParam) - 16, TRUE);
            }
            return 0;
        case WM_TIMER:
            if (wParam == kCloseTimer) {
                ::DestroyWindow(hwnd);
                return 0;
            }
            break;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A frame window of the given client size with a sunken static child subclassed as the preview.
HWND CreateFrame(kx::CPreviewWindow& preview, int clientWidth, int clientHeight) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc);
    RECT r{0, 0, clientWidth, clientHeight};
    const DWORD style = WS_OVERLAPPEDWINDOW;
    ::AdjustWindowRect(&r, style, FALSE);
    HWND frame = ::CreateWindowExW(0, kClassName, L"Preview", style, 0, 0, r.right - r.left,
                                   r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    HWND child = ::CreateWindowExW(WS_EX_STATICEDGE, L"Static", L"", WS_CHILD | WS_VISIBLE, 8, 8,
                                   clientWidth - 16, clientHeight - 16, frame,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPreviewId)),
                                   wc.hInstance, nullptr);
    preview.SubclassWindow(child);
    g_state.preview = &preview;
    ::ShowWindow(frame, SW_SHOWNORMAL);
    ::UpdateWindow(frame);
    return frame;
}

void RunLoop() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

int Play(const wchar_t* path, int frameHeight, int seconds) {
    kx::CAnimationDocument doc;
    if (!doc.LoadBitmapStrip(nullptr, path, 100) || !doc.ComposeFromStrip(nullptr, frameHeight)) {
        std::fprintf(stderr, "preview-demo: %s\n", doc.FailureReason().c_str());
        return 1;
    }
    kx::CPreviewWindow preview;
    HWND frame = CreateFrame(preview, 360, 300);
    preview.SetFit(TRUE);
    preview.SetTransparent(TRUE);
    preview.SetDocument(&doc);
    preview.Play(kx::CPreviewWindow::kRepeatPasses);
    if (seconds > 0) {
        ::SetTimer(frame, kCloseTimer, static_cast<UINT>(seconds) * 1000u, nullptr);
    }
    RunLoop();
    std::printf("%d frames shown\n", g_state.notices);
    return 0;
}

// A movie of frames with a moving diagonal pattern over 16 colours.
std::unique_ptr<kx::CAnimationDocument> MakeMovie(int32_t width, int32_t height, int32_t frames,
                                                  int32_t periodMs) {
    auto doc = std::make_unique<kx::CAnimationDocument>();
    for (int i = 0; i < 16; ++i) {
        doc->palette.entries[size_t(i)] = {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 8),
                                           0};
    }
    doc->palette.count = 16;
    doc->headerList.stream.format.header.biWidth = width;
    const size_t stride = kx::Stride8(width);
    doc->movieList.frames.resize(size_t(frames));
    for (int32_t f = 0; f < frames; ++f) {
        kx::FrameBytes& data = doc->movieList.frames[size_t(f)].data;
        data.resize(stride * size_t(height));
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                data[size_t(y) * stride + size_t(x)] = uint8_t(((x + y) / 32 + f) % 16);
            }
        }
    }
    doc->frameCount = frames;
    doc->RebuildHeaders(16, frames, height, width, periodMs);
    return doc;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

int Measure() {
    kx::CPreviewWindow preview;
    HWND frame = CreateFrame(preview, 816, 616);
    const RECT client = preview.GetClientRect();
    std::printf("control %ld x %ld\n", client.right, client.bottom);
    Pump();
    for (const auto& size : {std::pair{640, 480}, std::pair{2048, 2048}}) {
        auto doc = MakeMovie(size.first, size.second, 2, 100);
        preview.SetDocument(doc.get());
        for (int fitOn = 0; fitOn <= 1; ++fitOn) {
            preview.SetFit(fitOn);
            constexpr int kDraws = 20;
            LARGE_INTEGER start, end;
            ::QueryPerformanceCounter(&start);
            for (int i = 0; i < kDraws; ++i) {
                preview.SetFrame(i % 2);
            }
            ::GdiFlush();
            ::QueryPerformanceCounter(&end);
            std::printf("%d x %d, fit %s: %.2f ms per draw\n", size.first, size.second,
                        fitOn ? "on " : "off", Milliseconds(start, end) / kDraws);
        }
        preview.SetDocument(nullptr);
    }
    for (int fitOn = 0; fitOn <= 1; ++fitOn) {
        auto doc = MakeMovie(640, 480, 10, 10);
        preview.SetFit(fitOn);
        preview.SetDocument(doc.get());
        g_state.notices = 0;
        LARGE_INTEGER start, now;
        ::QueryPerformanceCounter(&start);
        preview.Play(kx::CPreviewWindow::kRepeatPasses);
        MSG msg;
        do {
            if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
                break;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
            ::QueryPerformanceCounter(&now);
        } while (Milliseconds(start, now) < 3000.0);
        preview.Play(0);
        const double seconds = Milliseconds(start, now) / 1000.0;
        std::printf("playback 640 x 480 at 10 ms, fit %s: %.1f frames per second of 100 asked\n",
                    fitOn ? "on " : "off", g_state.notices / seconds);
        preview.SetDocument(nullptr);
    }
    ::DestroyWindow(frame);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wcscmp(argv[1], L"--measure") == 0) {
        return Measure();
    }
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: preview-demo STRIP.bmp [FRAME_HEIGHT [SECONDS]] | --measure\n");
        return 2;
    }
    const int frameHeight = argc >= 3 ? _wtoi(argv[2]) : 48;
    const int seconds = argc >= 4 ? _wtoi(argv[3]) : 0;
    return Play(argv[1], frameHeight, seconds);
}
