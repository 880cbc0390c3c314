#include "controls/drawn_control.h"

#include <windowsx.h>

#include "framework/gdi.h"

namespace kx {

namespace {

POINT PointFrom(LPARAM lParam) {
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CDrawnControl

void CDrawnControl::Draw(HDC) {}

void CDrawnControl::RedrawNow() {
    if (m_hWnd == nullptr) {
        return;
    }
    CClientDC dc(m_hWnd);
    if (dc.Get() != nullptr) {
        Draw(dc.Get());
    }
}

bool CDrawnControl::ApplyStyleLowWord(WPARAM style, LPARAM redraw) {
    const DWORD current = static_cast<DWORD>(GetStyle());
    if (LOWORD(current) == LOWORD(style)) {
        return false;
    }
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>((current & 0xFFFF0000u) | LOWORD(style)));
    if (LOWORD(redraw) != 0) {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    return true;
}

LRESULT CDrawnControl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            CPaintDC dc(m_hWnd);
            if (dc.Get() != nullptr) {
                Draw(dc.Get());
            }
            return 0;
        }
        case WM_ERASEBKGND:
            // Draw covers the whole client area.
            return FALSE;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // No system press and no focus change.
            return 0;
        case BM_GETCHECK:
        case BM_SETCHECK:
        case BM_GETSTATE:
        case BM_SETSTATE:
        case BM_CLICK:
            return 0;
        case BM_SETSTYLE:
            // Only the low word (alignment, flat look) is configuration: the system never turns the
            // control into a check box or a default push button.
            ApplyStyleLowWord(wParam, lParam);
            return 0;
        case WM_SETTEXT: {
            // The system button would paint its own face with the new text: the default window
            // procedure keeps the text, and the drawn face is painted again.
            const LRESULT result = ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
            RedrawNow();
            return result;
        }
        case WM_ENABLE:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            // The same for a change of the enabled state or of the focus.
            RedrawNow();
            return 0;
        default:
            return CButton::WindowProc(msg, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------------------------
// CDrawnPushButton

void CDrawnPushButton::OnClicked(int, int) {}

bool CDrawnPushButton::HitTest(POINT point) {
    const RECT r = GetClientRect();
    return point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom;
}

void CDrawnPushButton::SetState(int32_t value, int32_t mask) {
    const int32_t next = (state & ~mask) | (value & mask);
    if (next != state) {
        state = next;
        RedrawNow();
    }
}

void CDrawnPushButton::ClickAtMessagePosition() {
    const DWORD pos = ::GetMessagePos();
    OnClicked(GET_X_LPARAM(pos), GET_Y_LPARAM(pos));
}

LRESULT CDrawnPushButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The system sends no input to a disabled window; messages sent to one directly are ignored
    // the same way, so a display-only button never clicks.
    const bool enabled = ::IsWindowEnabled(m_hWnd) != FALSE;
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (enabled && HitTest(PointFrom(lParam))) {
                ::SetCapture(m_hWnd);
                SetState(kPushed, kPushed);
            }
            return 0;
        case WM_LBUTTONUP:
            if (::GetCapture() == m_hWnd) {
                SetState(0, kPushed);
                ::ReleaseCapture();
                POINT point = PointFrom(lParam);
                if (HitTest(point)) {
                    ::ClientToScreen(m_hWnd, &point);
                    OnClicked(point.x, point.y);
                }
            }
            return 0;
        case WM_MOUSEMOVE:
            if (::GetCapture() == m_hWnd) {
                SetState(HitTest(PointFrom(lParam)) ? kPushed : 0, kPushed);
            }
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != m_hWnd) {
                SetState(0, kPushed);
            }
            return 0;
        case WM_GETDLGCODE:
            return DLGC_BUTTON;
        case BM_CLICK:
            if (enabled) {
                ClickAtMessagePosition();
            }
            return 0;
        case BM_SETSTATE:
            SetState(wParam ? kPushed : 0, kPushed);
            return 0;
        case BM_GETSTATE:
            return state;
        case WM_SETFOCUS:
            SetState(kFocused, kFocused);
            return 0;
        case WM_KILLFOCUS:
            SetState(0, kFocused);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) {
                if (enabled) {
                    SetState(kPushed, kPushed);
                }
                return 0;
            }
            break;
        case WM_KEYUP:
            if (wParam == VK_SPACE) {
                const bool wasPushed = (state & kPushed) != 0;
                SetState(0, kPushed);
                if (wasPushed && enabled) {
                    ClickAtMessagePosition();
                }
                return 0;
            }
            break;
        default:
            break;
    }
    return CDrawnControl::WindowProc(msg, wParam, lParam);
}

}  // namespace kx
