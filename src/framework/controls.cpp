#include "framework/controls.h"

#include "framework/app.h"

namespace kx {

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    if (m_hWnd != nullptr) {
        return FALSE;
    }
    HWND hwnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  parent ? parent->m_hWnd : nullptr, nullptr,
                                  AfxGetInstanceHandle(), nullptr);
    return hwnd != nullptr && SubclassWindow(hwnd);
}

BOOL CToolTipCtrl::AddTool(HWND window, const wchar_t* text, const RECT& rect, UINT_PTR toolId) {
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    // No TTF_SUBCLASS: the owner relays the mouse messages from its PreTranslateMessage.
    info.uFlags = 0;
    info.hwnd = window;
    info.uId = toolId;
    info.rect = rect;
    info.hinst = nullptr;
    info.lpszText = const_cast<wchar_t*>(text);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::SetToolRect(HWND window, UINT_PTR toolId, const RECT& rect) const {
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = window;
    info.uId = toolId;
    info.rect = rect;
    SendMessage(TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::RelayEvent(MSG* msg) const {
    if (m_hWnd != nullptr) {
        SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    }
}

}  // namespace kx
