// strip-demo: the main window's two tool strips in their states, side by side with a label.
//
//   strip-demo                 shows the strips until the window is closed
//   strip-demo PICTURE.bmp     opens the chevron's menu of the narrow strip with a click, writes
//                              a picture of the window and the menu to PICTURE.bmp and ends
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "app/main_commands.h"
#include "controls/button_strip.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "resources/resource.h"

namespace {

using kx::CButtonStrip;
using kx::StripState::kHot;
using kx::StripState::kPressed;

constexpr DWORD kUpperStyle = WS_TABSTOP | WS_GROUP | BS_BOTTOM;
constexpr DWORD kLowerStyle = WS_TABSTOP | BS_FLAT | BS_VCENTER | BS_LEFT;

struct Row {
    const wchar_t* label;
    bool upper;
    int width;  // pixels
};
const Row kRows[] = {
    {L"No movie open", true, 240},
    {L"Movie open: fit and transparency on, pointer on repeat", true, 240},
    {L"No movie open", false, 240},
    {L"Playing: pointer on next frame, previous frame pressed", false, 240},
    {L"Narrow: the last buttons are in the chevron's menu", false, 110},
    {L"Narrow with its caption: the caption keeps its width", true, 120},
};
constexpr int kRowCount = sizeof kRows / sizeof kRows[0];
constexpr int kFirstId = 2000;

void EnableAll(CButtonStrip& strip) {
    for (const kx::StripButton& entry : strip.Buttons()) {
        strip.SetButtonDisabled(entry.id, 0);
    }
}

// Copies an area of the screen to a 24-bit bitmap file.
bool WritePicture(const RECT& r, const wchar_t* path) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP picture = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (picture == nullptr) {
        return false;
    }
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HGDIOBJ previous = ::SelectObject(memory, picture);
    ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + stride * static_cast<DWORD>(height);
    bool written = false;
    if (FILE* out = ::_wfopen(path, L"wb")) {
        written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                  std::fwrite(bits, stride * static_cast<DWORD>(height), 1, out) == 1;
        written = std::fclose(out) == 0 && written;
    }
    ::SelectObject(memory, previous);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(picture);
    return written;
}

// The picture is taken while the chevron's menu is open, from a timer that runs in the menu's
// loop, which it then closes.
struct PictureRequest {
    HWND dialog = nullptr;
    const wchar_t* path = nullptr;
    bool written = false;
};
PictureRequest g_picture;

void CALLBACK TakePicture(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    RECT area{};
    ::GetWindowRect(g_picture.dialog, &area);
    if (HWND menu = ::FindWindowW(L"#32768", nullptr)) {
        RECT menuArea{};
        ::GetWindowRect(menu, &menuArea);
        ::UnionRect(&area, &area, &menuArea);
    }
    g_picture.written = WritePicture(area, g_picture.path);
    ::EndMenu();
}

void Pump(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < milliseconds) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    kx::test::DialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 360,
                                    static_cast<short>(kRowCount * 30 + 6), L"Tool strips");
    for (int i = 0; i < kRowCount; ++i) {
        layout.Add(L"Static", kFirstId + 2 * i, SS_LEFT, 4, static_cast<short>(4 + 30 * i), 352, 10,
                   kRows[i].label);
        layout.Add(L"Button", kFirstId + 2 * i + 1, kRows[i].upper ? kUpperStyle : kLowerStyle, 4,
                   static_cast<short>(14 + 30 * i), 100, 14);
    }
    kx::CDialog dialog(static_cast<const DLGTEMPLATE*>(nullptr));

    // As the main window does: bitmaps and buttons before the windows exist.
    std::vector<CButtonStrip> strips(kRowCount);
    for (int i = 0; i < kRowCount; ++i) {
        if (kRows[i].upper) {
            strips[size_t(i)].SetBitmap(IDB_VIEW_BAR, RGB(192, 192, 192), RGB(0, 0, 128));
            strips[size_t(i)].SetButtons(kx::kViewBarButtons);
        } else {
            strips[size_t(i)].SetBitmap(IDB_PLAY_BAR, RGB(0, 255, 255), RGB(128, 0, 128));
            strips[size_t(i)].SetButtons(kx::kPlayBarButtons);
        }
    }
    if (!dialog.CreateIndirect(layout.Get())) {
        std::fputs("strip-demo: the window could not be created\n", stderr);
        return 1;
    }
    for (int i = 0; i < kRowCount; ++i) {
        HWND button = dialog.GetDlgItem(kFirstId + 2 * i + 1);
        RECT r{};
        ::GetWindowRect(button, &r);
        ::MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        ::SetWindowPos(button, nullptr, r.left, r.top, kRows[i].width, kRows[i].upper ? 26 : 30,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        strips[size_t(i)].SubclassWindow(button);
    }

    CButtonStrip& opened = strips[1];
    opened.SetWindowText(L"walker");
    EnableAll(opened);
    opened.SetButtonCheck(ID_VIEW_FIT, 1);
    opened.SetButtonCheck(ID_VIEW_TRANSPARENT, 1);
    opened.SetButtonState(opened.FindById(ID_PLAY_REPEAT, 0), kHot, kHot);

    CButtonStrip& playing = strips[3];
    EnableAll(playing);
    playing.SetButtonCheck(ID_PLAY_PAUSE, 1);
    playing.SetButtonState(playing.FindById(ID_NEXT_FRAME, 0), kHot, kHot);
    playing.SetButtonState(playing.FindById(ID_PREV_FRAME, 0), kPressed, kPressed);

    CButtonStrip& narrow = strips[4];
    EnableAll(narrow);

    CButtonStrip& narrowCaption = strips[5];
    narrowCaption.SetWindowText(L"walker");
    EnableAll(narrowCaption);

    dialog.Invalidate(TRUE);
    if (argc > 1) {
        Pump(500);
        // A click on the chevron, as the system delivers it.
        const kx::StripGeometry& g = narrow.Geometry();
        POINT chevron{g.chevronX + g.chevronWidth / 2, g.stripTop + g.cellSize / 2};
        POINT screen = chevron;
        ::ClientToScreen(narrow.m_hWnd, &screen);
        ::SetCursorPos(screen.x, screen.y);
        g_picture.dialog = dialog.m_hWnd;
        g_picture.path = argv[1];
        ::SetTimer(nullptr, 0, 500, TakePicture);
        narrow.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(chevron.x, chevron.y));
        narrow.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(chevron.x, chevron.y));
        narrow.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(chevron.x, chevron.y));
        dialog.DestroyWindow();
        return g_picture.written ? 0 : 1;
    }
    MSG msg;
    while (::IsWindow(dialog.m_hWnd) && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!dialog.PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return 0;
}
