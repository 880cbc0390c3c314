#include "controls/size_grip.h"

#include <windowsx.h>

#include "framework/gdi.h"

namespace kx {

void CSizeGrip::Draw(HDC dc) {
    RECT client = GetClientRect();
    leftHanded = (GetStyle() & (BS_LEFT | BS_RIGHT)) == BS_LEFT;
    if (!leftHanded) {
        ::DrawFrameControl(dc, &client, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
        return;
    }
    // The lower left pattern is the lower right one mirrored. Not every system draws
    // DFCS_SCROLLSIZEGRIPRIGHT (Wine leaves the area untouched), so it is mirrored here.
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    MemoryDC memory(dc);
    Bitmap pattern(::CreateCompatibleBitmap(dc, width, height));
    SelectGuard selected(memory.Get(), pattern.Get());
    if (!selected.Selected()) {
        return;
    }
    RECT area{0, 0, width, height};
    ::DrawFrameControl(memory.Get(), &area, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    ::StretchBlt(dc, client.left + width - 1, client.top, -width, height, memory.Get(), 0, 0, width,
                 height, SRCCOPY);
}

LRESULT CSizeGrip::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ClientToScreen(m_hWnd, &point);
            HWND parent = GetParent();
            if (parent != nullptr) {
                // SC_SIZE with a sizing edge in its low four bits runs the system's sizing loop
                // on the parent, as if the user had grabbed that corner of its frame.
                const WPARAM command = SC_SIZE + (leftHanded ? WMSZ_BOTTOMLEFT : WMSZ_BOTTOMRIGHT);
                ::SendMessageW(parent, WM_SYSCOMMAND, command, MAKELPARAM(point.x, point.y));
            }
            return 0;
        }
        case WM_SETCURSOR:
            ::SetCursor(::LoadCursorW(nullptr, leftHanded ? IDC_SIZENESW : IDC_SIZENWSE));
            return TRUE;
        default:
            return CDrawnControl::WindowProc(msg, wParam, lParam);
    }
}

}  // namespace kx
