#include "framework/wnd.h"

#include <commctrl.h>

namespace kx {

namespace {

// The window property naming the object subclassed onto a window most recently.
constexpr wchar_t kObjectProperty[] = L"KinetrixWindowObject";

}  // namespace

thread_local const CWnd::MessageFrame* CWnd::s_innermost = nullptr;

CWnd::~CWnd() {
    if (m_hWnd == nullptr) {
        return;
    }
    HWND hwnd = m_hWnd;
    if (m_subclassed) {
        RemoveSubclass();
    }
    m_hWnd = nullptr;
    if (m_ownsWindow) {
        ::DestroyWindow(hwnd);
    }
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<CWnd*>(::GetPropW(hwnd, kObjectProperty)) : nullptr;
}

bool CWnd::InstallSubclass(HWND hwnd) {
    if (!::SetWindowSubclass(hwnd, &CWnd::SubclassProc, reinterpret_cast<UINT_PTR>(this),
                             reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    m_hWnd = hwnd;
    m_subclassed = true;
    m_previousObject = FromHandle(hwnd);
    ::SetPropW(hwnd, kObjectProperty, this);
    return true;
}

void CWnd::RemoveSubclass() {
    HWND hwnd = m_hWnd;
    ::RemoveWindowSubclass(hwnd, &CWnd::SubclassProc, reinterpret_cast<UINT_PTR>(this));
    m_subclassed = false;
    // Unlink this object from the window's list of objects, which need not be removed in the
    // reverse order of their installation.
    CWnd* head = FromHandle(hwnd);
    if (head == this) {
        if (m_previousObject) {
            ::SetPropW(hwnd, kObjectProperty, m_previousObject);
        } else {
            ::RemovePropW(hwnd, kObjectProperty);
        }
    } else {
        for (CWnd* o = head; o; o = o->m_previousObject) {
            if (o->m_previousObject == this) {
                o->m_previousObject = m_previousObject;
                break;
            }
        }
    }
    m_previousObject = nullptr;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (m_hWnd != nullptr || hwnd == nullptr || !::IsWindow(hwnd)) {
        return false;
    }
    m_hWnd = hwnd;
    PreSubclassWindow();
    m_hWnd = nullptr;
    return InstallSubclass(hwnd);
}

bool CWnd::SubclassDlgItem(int id, CWnd* parent) {
    if (parent == nullptr) {
        return false;
    }
    HWND control = ::GetDlgItem(parent->m_hWnd, id);
    return control != nullptr && SubclassWindow(control);
}

HWND CWnd::UnsubclassWindow() {
    HWND hwnd = m_hWnd;
    if (m_subclassed) {
        RemoveSubclass();
    }
    m_hWnd = nullptr;
    return hwnd;
}

bool CWnd::Attach(HWND hwnd) {
    if (m_hWnd != nullptr || hwnd == nullptr) {
        return false;
    }
    m_hWnd = hwnd;
    return true;
}

HWND CWnd::Detach() {
    if (m_subclassed) {
        return UnsubclassWindow();
    }
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    if (!m_subclassed) {
        return ::DestroyWindow(m_hWnd);
    }
    if (m_destroying) {
        // Reached from the window's WM_DESTROY: the window is already going.
        return TRUE;
    }
    m_destroying = true;
    const BOOL destroyed = ::DestroyWindow(m_hWnd);
    // On success the object may be gone already (PostNcDestroy may delete it).
    if (!destroyed) {
        m_destroying = false;
    }
    return destroyed;
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::Default() {
    // Messages nest (a handler may send to its own window): the innermost one of this object.
    for (const MessageFrame* frame = s_innermost; frame != nullptr; frame = frame->outer) {
        if (frame->object == this) {
            return ::DefSubclassProc(frame->hwnd, frame->msg, frame->wParam, frame->lParam);
        }
    }
    return 0;
}

RECT CWnd::GetClientRect() const {
    RECT r{};
    ::GetClientRect(m_hWnd, &r);
    return r;
}

RECT CWnd::GetChildRect(int id) const {
    RECT r{};
    HWND child = ::GetDlgItem(m_hWnd, id);
    if (child == nullptr || !::GetWindowRect(child, &r)) {
        return RECT{};
    }
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool DefaultWindowRect(int width, int height, RECT* rect) {
    // A hidden overlapped window shows it.
    HWND probe = ::CreateWindowExW(0, L"Static", L"", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT,
                                   width, height, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) {
        return false;
    }
    ::GetWindowRect(probe, rect);
    ::DestroyWindow(probe);
    return true;
}

std::wstring CWnd::GetWindowText() const {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(m_hWnd)) + 1, L'\0');
    const int n = ::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM) {
    return Default();
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR refData) {
    CWnd* self = reinterpret_cast<CWnd*>(refData);
    if (msg == WM_DESTROY && self->m_ownsWindow && !self->m_destroying) {
        // Destroyed from outside the object (with its owner or parent, or through the handle):
        // its DestroyWindow runs now, while the window and its children still exist.
        self->m_destroying = true;
        self->DestroyWindow();
    }
    const MessageFrame frame{self, hwnd, msg, wParam, lParam, s_innermost};
    s_innermost = &frame;
    const LRESULT result = self->WindowProc(msg, wParam, lParam);
    s_innermost = frame.outer;
    // The object is not touched after its handler returns, since the handler may have deleted
    // it. The window's last message is the exception: an object lives through WM_NCDESTROY and
    // may delete itself in PostNcDestroy.
    if (msg == WM_NCDESTROY) {
        // The last message of the window: nothing may point at it any more.
        if (self->m_subclassed) {
            self->RemoveSubclass();
        }
        self->m_hWnd = nullptr;
        self->m_destroying = false;
        self->PostNcDestroy();
    }
    return result;
}

}  // namespace kx
