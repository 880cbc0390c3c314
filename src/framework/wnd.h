// The window layer: a CWnd names one HWND and turns its messages into one virtual WindowProc.
//
// A CWnd never owns the window it names unless a derived class says so (dialogs do): a control
// object is a view of a window that its dialog creates and destroys. Messages reach the object
// through a comctl32 window subclass whose reference data is the object; the subclass is
// removed, and the object's handle cleared, when the window receives WM_NCDESTROY.
#ifndef KINETRIX_FRAMEWORK_WND_H
#define KINETRIX_FRAMEWORK_WND_H

#include <windows.h>

#include <string>

namespace kx {

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND m_hWnd = nullptr;

    operator HWND() const { return m_hWnd; }

    // The object subclassed onto hwnd most recently, or null for a window the framework does
    // not know.
    static CWnd* FromHandle(HWND hwnd);

    // Routes the window's messages through WindowProc. Fails when the object already names a
    // window or the subclass cannot be installed.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(int id, CWnd* parent);
    // Removes the subclass and returns the window, which keeps existing.
    HWND UnsubclassWindow();

    // Names a window without routing its messages (for wrappers that only send messages).
    bool Attach(HWND hwnd);
    HWND Detach();

    // Destroys the window. A class that has work to do before its window goes overrides this
    // and calls the base at the end. The framework reaches the override on every path while the
    // object is whole: a call of it, the end of DoModal, and a window destroyed from outside
    // (with its owner or parent, or by its handle), for which the override runs when the window
    // receives WM_DESTROY and the base then destroys nothing twice. Base destructors run after
    // the derived parts are gone and cannot reach an override, so a class that overrides this
    // calls it from its own destructor when its window still exists.
    virtual BOOL DestroyWindow();

    // Called for messages of this window or of its children before they are translated and
    // dispatched by a modal loop; TRUE consumes the message.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Paints an owner-drawn control for its parent's WM_DRAWITEM; TRUE when it drew.
    virtual BOOL DrawItem(const DRAWITEMSTRUCT*) { return FALSE; }

    // Default processing of the message being handled: the next procedure in the subclass chain.
    LRESULT Default();

    // Thin helpers over the window functions.
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam);
    }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    LONG GetStyle() const { return static_cast<LONG>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    RECT GetClientRect() const;
    // The rectangle of a child window in this window's client coordinates; empty when there is
    // no such child.
    RECT GetChildRect(int id) const;
    std::wstring GetWindowText() const;
    void SetWindowText(const wchar_t* text) const { ::SetWindowTextW(m_hWnd, text); }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }

protected:
    // One switch per class; everything a class does not handle goes to its base and finally to
    // Default().
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called by SubclassWindow before the messages are routed (the window exists).
    virtual void PreSubclassWindow() {}
    // Called after the last message of the window; the handle is already cleared.
    virtual void PostNcDestroy() {}

    // Dialogs own their window and destroy it with the object.
    bool m_ownsWindow = false;

private:
    friend class CDialog;
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR refData);
    bool InstallSubclass(HWND hwnd);
    void RemoveSubclass();

    // A message being handled, for Default(). The frames live on the stack of the window
    // procedure, not in the object, so that a handler may delete its own object (a window that
    // destroys and deletes itself on its timer) without a write to it afterwards.
    struct MessageFrame {
        CWnd* object;
        HWND hwnd;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        const MessageFrame* outer;
    };
    // The innermost message being handled on this thread.
    static thread_local const MessageFrame* s_innermost;
    bool m_subclassed = false;
    // Set from the first step of the window's destruction until its WM_NCDESTROY.
    bool m_destroying = false;
    // The object that was registered for the window before this one (a chain of subclasses).
    CWnd* m_previousObject = nullptr;
};

// Where the system would put a new overlapped window of this size, and the size it would get;
// false when it cannot tell.
bool DefaultWindowRect(int width, int height, RECT* rect);

}  // namespace kx

#endif  // KINETRIX_FRAMEWORK_WND_H
