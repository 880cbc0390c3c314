#include "controls/logo_button.h"

#include <commctrl.h>

#include "framework/app.h"
#include "framework/gdi.h"

namespace kx {

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
