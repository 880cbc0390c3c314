// The application object and the program-wide helpers: one CWinApp per program, reached with
// AfxGetApp(); string resources; message boxes captioned with the application title.
#ifndef KINETRIX_FRAMEWORK_APP_H
#define KINETRIX_FRAMEWORK_APP_H

#include <windows.h>

#include <string>

#include "framework/string_ids.h"

namespace kx {

class CWnd;

class CWinApp {
public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // The entry point calls, in this order: InitApplication, then InitInstance when it returned
    // TRUE, then Run when InitInstance returned TRUE, then ExitInstance, whose result is the
    // program's exit code.
    virtual BOOL InitApplication() { return TRUE; }
    virtual BOOL InitInstance() { return FALSE; }
    virtual int Run();
    virtual int ExitInstance() { return m_exitCode; }

    // Opens the help file of the program (its own path with the extension .hlp) at a topic.
    virtual void WinHelp(DWORD_PTR data, UINT command);
    // Shows a message box; AfxMessageBox comes here so that a program (or a test) can observe
    // or replace it. helpId is the help context of the message, 0 when it has none.
    virtual int DoMessageBox(const wchar_t* text, UINT type, UINT helpId);

    HINSTANCE m_instance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    const wchar_t* m_commandLine = L"";
    int m_showCommand = SW_SHOWNORMAL;
    std::wstring m_helpFilePath;

protected:
    int m_exitCode = 0;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();

// The owner of a dialog or message box shown without one: the popup that the main window
// activated last (the main window itself when it has none), so never a stray window that
// happens to be active; null while the main window has no window yet (it is being run itself).
// Without a main window, the active window.
HWND AfxGetDefaultOwner();

// A string resource of the program's module; empty when it does not exist.
std::wstring LoadStringResource(UINT id);

// Asks the application object for help (its WinHelp); nothing happens without one.
void AfxHelp(DWORD_PTR data, UINT command);

// A message box captioned with the application title (string IDS_APP_TITLE).
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT stringId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));

// Runs the application object's start-up sequence; the program's entry point calls it.
int AfxWinMain(HINSTANCE instance, const wchar_t* commandLine, int showCommand);

}  // namespace kx

#endif  // KINETRIX_FRAMEWORK_APP_H
