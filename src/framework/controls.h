// Thin views of the standard and common controls: each names a window it does not own and
// wraps the messages the program sends to it.
#ifndef KINETRIX_FRAMEWORK_CONTROLS_H
#define KINETRIX_FRAMEWORK_CONTROLS_H

#include <windows.h>

#include <commctrl.h>

#include "framework/wnd.h"

namespace kx {

class CButton : public CWnd {};

class CStatic : public CWnd {};

class CSliderCtrl : public CWnd {
public:
    int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
    void SetPos(int pos) const { SendMessage(TBM_SETPOS, TRUE, pos); }
    void SetRange(int minPos, int maxPos, BOOL redraw = FALSE) const {
        SendMessage(TBM_SETRANGEMIN, FALSE, minPos);
        SendMessage(TBM_SETRANGEMAX, redraw, maxPos);
    }
    void SetPageSize(int size) const { SendMessage(TBM_SETPAGESIZE, 0, size); }
};

class CSpinButtonCtrl : public CWnd {
public:
    void SetRange32(int lower, int upper) const {
        SendMessage(UDM_SETRANGE32, static_cast<WPARAM>(lower), upper);
    }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int lower, int upper) const {
        SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
    }
    int SetPos(int pos) const {
        return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos)));
    }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};

class CAnimateCtrl : public CWnd {
public:
    // Opens a clip from a resource of type "AVI" of the program's module.
    BOOL Open(UINT resourceId) const {
        return static_cast<BOOL>(SendMessage(ACM_OPENW, 0, static_cast<LPARAM>(resourceId)));
    }
};

class CToolTipCtrl : public CWnd {
public:
    CToolTipCtrl() { m_ownsWindow = true; }
    // Creates the tooltip window, owned by this object, for tools of the given window.
    BOOL Create(CWnd* parent, DWORD style = 0);
    // Adds a tool covering a rectangle of a window, showing a text.
    BOOL AddTool(HWND window, const wchar_t* text, const RECT& rect, UINT_PTR toolId);
    void SetToolRect(HWND window, UINT_PTR toolId, const RECT& rect) const;
    // Hands a mouse message to the tooltip so it knows where the pointer is.
    void RelayEvent(MSG* msg) const;
    void Activate(BOOL activate) const { SendMessage(TTM_ACTIVATE, activate); }
};

}  // namespace kx

#endif  // KINETRIX_FRAMEWORK_CONTROLS_H
