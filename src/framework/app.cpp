#include "framework/app.h"

#include "framework/wnd.h"

namespace kx {

namespace {

CWinApp* g_app = nullptr;

}  // namespace

CWinApp::CWinApp() {
    g_app = this;
    m_instance = ::GetModuleHandleW(nullptr);
    std::wstring path(MAX_PATH, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n < path.size() ? n : 0);
    const size_t dot = path.find_last_of(L'.');
    const size_t slash = path.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) {
        path.resize(dot);
    }
    m_helpFilePath = path + L".hlp";
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    m_exitCode = static_cast<int>(msg.wParam);
    return m_exitCode;
}

void CWinApp::WinHelp(DWORD_PTR data, UINT command) {
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    ::WinHelpW(owner, m_helpFilePath.c_str(), command, data);
}

int CWinApp::DoMessageBox(const wchar_t* text, UINT type, UINT) {
    const std::wstring caption = LoadStringResource(IDS_APP_TITLE);
    return ::MessageBoxW(AfxGetDefaultOwner(), text, caption.c_str(), type);
}

CWinApp* AfxGetApp() {
    return g_app;
}

HINSTANCE AfxGetInstanceHandle() {
    return g_app ? g_app->m_instance : ::GetModuleHandleW(nullptr);
}

HWND AfxGetDefaultOwner() {
    if (g_app == nullptr || g_app->m_pMainWnd == nullptr) {
        return ::GetActiveWindow();
    }
    HWND main = g_app->m_pMainWnd->m_hWnd;
    return main ? ::GetLastActivePopup(::GetAncestor(main, GA_ROOT)) : nullptr;
}

std::wstring LoadStringResource(UINT id) {
    // With a zero buffer size LoadStringW hands out a read-only pointer into the resource.
    const wchar_t* text = nullptr;
    const int n = ::LoadStringW(AfxGetInstanceHandle(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

void AfxHelp(DWORD_PTR data, UINT command) {
    if (g_app) {
        g_app->WinHelp(data, command);
    }
}

int AfxMessageBox(const wchar_t* text, UINT type, UINT helpId) {
    if (g_app) {
        return g_app->DoMessageBox(text, type, helpId);
    }
    const std::wstring caption = LoadStringResource(IDS_APP_TITLE);
    return ::MessageBoxW(::GetActiveWindow(), text, caption.c_str(), type);
}

int AfxMessageBox(UINT stringId, UINT type, UINT helpId) {
    const std::wstring text = LoadStringResource(stringId);
    return AfxMessageBox(text.c_str(), type, helpId == static_cast<UINT>(-1) ? stringId : helpId);
}

int AfxWinMain(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return 1;
    }
    app->m_instance = instance;
    app->m_commandLine = commandLine ? commandLine : L"";
    app->m_showCommand = showCommand;
    if (app->InitApplication() && app->InitInstance()) {
        app->Run();
    }
    return app->ExitInstance();
}

}  // namespace kx
