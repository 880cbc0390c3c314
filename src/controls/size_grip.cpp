#include "controls/size_grip.h"

#include <windowsx.h>

namespace kx {

void CSizeGrip::Draw(HDC dc) {
    RECT client = GetClientRect();
    leftHanded = (GetStyle() & (BS_LEFT | BS_RIGHT)) == BS_LEFT;
    ::DrawFrameControl(dc, &client, DFC_SCROLL,
                       leftHanded ? DFCS_SCROLLSIZEGRIPRIGHT : DFCS_SCROLLSIZEGRIP);
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
