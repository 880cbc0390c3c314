#include "controls/drawn_control.h"

#include <windowsx.h>

#include <commctrl.h>

#include "framework/app.h"
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

// ---------------------------------------------------------------------------------------------
// CLogoButton

int CLogoButton::s_bitmapIds[6] = {-1, -1, -1, -1, -1, -1};

void CLogoButton::SetLogoBitmaps(int id32x12, int id42x16, int id52x20, int id66x24, int id76x28,
                                 int id86x32) {
    const int ids[6] = {id32x12, id42x16, id52x20, id66x24, id76x28, id86x32};
    for (int i = 0; i < 6; ++i) {
        s_bitmapIds[i] = ids[i];
    }
}

void CLogoButton::Layout() {
    const RECT client = GetClientRect();
    const int32_t width = client.right - client.left;
    const int32_t height = client.bottom - client.top;

    // The largest bitmap that fits, or the smallest one there is when none fits.
    int slot = -1;
    for (int i = 0; i < 6; ++i) {
        if (s_bitmapIds[i] == -1) {
            continue;
        }
        if (slot == -1 || (width > kSlotSizes[i].cx - 1 && height > kSlotSizes[i].cy - 1)) {
            slot = i;
        }
    }
    if (slot == -1) {
        selectedId = -1;
        x = -1;
        y = -1;
        cx = 0;
        cy = 0;
        bitmapWidth = 0;
        bitmapHeight = 0;
    } else {
        selectedId = s_bitmapIds[slot];
        bitmapWidth = kSlotSizes[slot].cx;
        bitmapHeight = kSlotSizes[slot].cy;
        if (width >= bitmapWidth && height >= bitmapHeight) {
            cx = bitmapWidth;
            cy = bitmapHeight;
        } else if (bitmapWidth * height < width * bitmapHeight) {
            // Scaled down with its proportions kept, limited by the height.
            cy = height;
            cx = bitmapWidth * height / bitmapHeight;
        } else {
            cx = width;
            cy = width * bitmapHeight / bitmapWidth;
        }
        // The picture sits on the bottom edge.
        y = client.bottom - cy;
        switch (GetStyle() & (BS_LEFT | BS_RIGHT)) {
            case BS_LEFT:
                x = client.left;
                break;
            case BS_RIGHT:
                x = client.right - cx;
                break;
            default:
                x = (client.left + client.right - cx) >> 1;
                break;
        }
    }
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        RedrawNow();
    }
}

bool CLogoButton::HitTest(POINT point) {
    return point.x >= x && point.x < x + cx && point.y >= y && point.y < y + cy;
}

void CLogoButton::OnClicked(int, int) {
    HWND parent = GetParent();
    if (parent != nullptr) {
        ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED),
                       reinterpret_cast<LPARAM>(m_hWnd));
    }
}

void CLogoButton::Draw(HDC dc) {
    const RECT client = GetClientRect();
    if (selectedId != -1) {
        const bool pushed = (state & kPushed) != 0;
        const bool focused = (state & kFocused) != 0;
        // Reference colours of the pictures and what they become: pressing swaps the bevel's
        // light and dark edges and the two colour pairs.
        COLORMAP map[7] = {
            {RGB(192, 192, 192), ::GetSysColor(COLOR_BTNFACE)},
            {RGB(255, 255, 255), ::GetSysColor(pushed ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT)},
            {RGB(128, 128, 128),
             ::GetSysColor(pushed ? COLOR_BTNHIGHLIGHT
                                  : (focused ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW))},
            {RGB(255, 0, 255), pushed ? RGB(128, 0, 0) : RGB(255, 255, 255)},
            {RGB(128, 0, 0), pushed ? RGB(255, 255, 255) : RGB(128, 0, 0)},
            {RGB(0, 255, 255), pushed ? RGB(0, 128, 0) : RGB(255, 255, 255)},
            {RGB(0, 128, 0), pushed ? RGB(255, 255, 255) : RGB(0, 128, 0)},
        };
        Bitmap bitmap(::CreateMappedBitmap(AfxGetInstanceHandle(), selectedId, 0, map, 7));
        MemoryDC memory(dc);
        SelectGuard selected(memory.Get(), bitmap.Get());
        if (bitmap && memory.Get() != nullptr && selected.Selected()) {
            if (cx == bitmapWidth && cy == bitmapHeight) {
                ::BitBlt(dc, x, y, cx, cy, memory.Get(), 0, 0, SRCCOPY);
            } else {
                const int previousMode = ::SetStretchBltMode(dc, COLORONCOLOR);
                ::StretchBlt(dc, x, y, cx, cy, memory.Get(), 0, 0, bitmapWidth, bitmapHeight,
                             SRCCOPY);
                ::SetStretchBltMode(dc, previousMode);
            }
            ::ExcludeClipRect(dc, x, y, x + cx, y + cy);
        }
    }
    // Everything but the picture becomes button face, without flicker.
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
}

void CLogoButton::PreSubclassWindow() {
    CDrawnPushButton::PreSubclassWindow();
    Layout();
}

LRESULT CLogoButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SIZE: {
            const LRESULT result = Default();
            Layout();
            return result;
        }
        case BM_SETSTYLE:
            if (ApplyStyleLowWord(wParam, lParam)) {
                Layout();
                if (LOWORD(lParam) != 0) {
                    RedrawNow();
                }
            }
            return 0;
        default:
            return CDrawnPushButton::WindowProc(msg, wParam, lParam);
    }
}

}  // namespace kx
