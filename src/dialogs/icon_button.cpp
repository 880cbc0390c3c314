#include "dialogs/icon_button.h"

#include "framework/app.h"

namespace kx {

namespace {

void FillSolid(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    const RECT r{left, top, right, bottom};
    const COLORREF previous = ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    ::SetBkColor(dc, previous);
}

// Shortens the longer side of r to make it square, keeping the near edge (left, top), the far
// edge (right, bottom) or centring it, by the placement bits of style.
void MakeSquare(RECT& r, uint32_t style) {
    const LONG width = r.right - r.left;
    const LONG height = r.bottom - r.top;
    if (width > height) {
        switch (style & CIconButton::kHorizontalMask) {
            case CIconButton::kLeft:
                break;
            case CIconButton::kRight:
                r.left = r.right - height;
                break;
            default:
                r.left += (width - height) >> 1;
                break;
        }
        r.right = r.left + height;
    } else if (height > width) {
        switch (style & CIconButton::kVerticalMask) {
            case CIconButton::kTop:
                break;
            case CIconButton::kBottom:
                r.top = r.bottom - width;
                break;
            default:
                r.top += (height - width) >> 1;
                break;
        }
        r.bottom = r.top + width;
    }
}

}  // namespace

BOOL CIconButton::DrawItem(const DRAWITEMSTRUCT* item) {
    HDC dc = item->hDC;
    RECT r = item->rcItem;
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));

    bool placed = false;
    if (m_nStyle & kFrame) {
        ::DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT);
        ::InflateRect(&r, -3, -3);
    } else if (m_nStyle & kSquareWell) {
        MakeSquare(r, m_nStyle);
        ::DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_SOFT);
        ::InflateRect(&r, -2, -2);
        ::DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
        ::InflateRect(&r, -2, -2);
        placed = true;
    } else if (pressed) {
        // A sunken outline: shadow at the top and left, highlight at the bottom and right.
        const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
        const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
        FillSolid(dc, r.left, r.top, r.right - 1, r.top + 1, shadow);
        FillSolid(dc, r.left, r.top, r.left + 1, r.bottom - 1, shadow);
        FillSolid(dc, r.right - 1, r.top, r.right, r.bottom, light);
        FillSolid(dc, r.left, r.bottom - 1, r.right, r.bottom, light);
        ::InflateRect(&r, -2, -2);
    }
    if (!placed) {
        if (item->itemState & ODS_FOCUS) {
            ::DrawFocusRect(dc, &r);
        }
        r.left += 2;
        r.top += 2;
        r.right -= 3;
        r.bottom -= 3;
        if (pressed) {
            ::OffsetRect(&r, 1, 1);
        }
        MakeSquare(r, m_nStyle);
    }

    const int size = r.right - r.left;
    if (m_nIconId != 0 && size > 0) {
        HICON icon = static_cast<HICON>(::LoadImageW(AfxGetInstanceHandle(),
                                                     MAKEINTRESOURCEW(LOWORD(m_nIconId)),
                                                     IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        if (icon != nullptr) {
            ::DrawIconEx(dc, r.left, r.top, icon, size, size, 0, nullptr, DI_NORMAL);
            ::DestroyIcon(icon);
        }
    }
    return TRUE;
}

}  // namespace kx
