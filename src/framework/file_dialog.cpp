#include "framework/file_dialog.h"

#include <commctrl.h>
#include <dlgs.h>

#include "framework/app.h"
#include "framework/wnd.h"

namespace kx {

namespace {

constexpr size_t kPathBufferChars = 4096;

}  // namespace

std::wstring FilterFromBars(const wchar_t* filter) {
    std::wstring list = filter ? filter : L"";
    for (wchar_t& c : list) {
        if (c == L'|') {
            c = L'\0';
        }
    }
    // The list ends with an empty string: two zeros in a row, whatever the text ended with.
    while (!list.empty() && list.back() == L'\0') {
        list.pop_back();
    }
    if (!list.empty()) {
        list.push_back(L'\0');
    }
    list.push_back(L'\0');
    return list;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const wchar_t* defaultExtension,
                         const wchar_t* fileName, DWORD flags, const wchar_t* filter, CWnd* parent)
    : m_openFileDialog(openFileDialog),
      m_defaultExtension(defaultExtension ? defaultExtension : L""),
      m_filter(FilterFromBars(filter)),
      m_fileBuffer(kPathBufferChars, L'\0'),
      m_titleBuffer(MAX_PATH, L'\0') {
    if (fileName != nullptr) {
        m_fileBuffer.assign(fileName);
        m_fileBuffer.resize(kPathBufferChars, L'\0');
        m_fileBuffer.back() = L'\0';
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
    m_ofn.hInstance = AfxGetInstanceHandle();
    m_ofn.lpstrFilter = filter ? m_filter.c_str() : nullptr;
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_fileBuffer.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_fileBuffer.size());
    m_ofn.lpstrFileTitle = m_titleBuffer.data();
    m_ofn.nMaxFileTitle = static_cast<DWORD>(m_titleBuffer.size());
    m_ofn.lpstrDefExt = defaultExtension ? m_defaultExtension.c_str() : nullptr;
    m_ofn.Flags = flags | OFN_ENABLEHOOK | OFN_EXPLORER;
    m_ofn.lpfnHook = &CFileDialog::HookProc;
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
}

INT_PTR CFileDialog::DoModal() {
    if (m_ofn.hwndOwner == nullptr) {
        m_ofn.hwndOwner = AfxGetDefaultOwner();
    }
    const BOOL chosen = m_openFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    m_dialogWindow = nullptr;
    return chosen ? IDOK : IDCANCEL;
}

UINT_PTR CALLBACK CFileDialog::HookProc(HWND hwnd, UINT msg, WPARAM, LPARAM lParam) {
    // The hook is a child dialog of the file dialog; its first message carries the record.
    if (msg == WM_INITDIALOG) {
        const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
        auto* self = reinterpret_cast<CFileDialog*>(ofn->lCustData);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_dialogWindow = ::GetParent(hwnd);
        ::SetWindowSubclass(self->m_dialogWindow, &CFileDialog::HelpButtonProc, 0,
                            reinterpret_cast<DWORD_PTR>(self));
        return 0;
    }
    auto* self = reinterpret_cast<CFileDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (self != nullptr && msg == WM_NOTIFY) {
        const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
        if (notify->hdr.code == CDN_HELP) {
            self->m_helpReported = true;
            self->OnHelp();
            return 1;
        }
    }
    return 0;
}

LRESULT CALLBACK CFileDialog::HelpButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR id, DWORD_PTR refData) {
    auto* self = reinterpret_cast<CFileDialog*>(refData);
    if (msg == WM_COMMAND && LOWORD(wParam) == pshHelp && HIWORD(wParam) == BN_CLICKED) {
        // The system's dialog tells the hook with CDN_HELP while it handles the press; Wine's
        // shows the button but never reports it. Help is given once either way.
        self->m_helpReported = false;
        const LRESULT result = ::DefSubclassProc(hwnd, msg, wParam, lParam);
        if (!self->m_helpReported) {
            self->OnHelp();
        }
        return result;
    }
    if (msg == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, &CFileDialog::HelpButtonProc, id);
    }
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

std::wstring CFileDialog::GetPathName() const {
    return std::wstring(m_ofn.lpstrFile);
}

std::wstring CFileDialog::GetFileName() const {
    const std::wstring path = GetPathName();
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring CFileDialog::GetFileExt() const {
    const std::wstring path = GetPathName();
    if (m_ofn.nFileExtension == 0 || m_ofn.nFileExtension >= path.size()) {
        return std::wstring();
    }
    return path.substr(m_ofn.nFileExtension);
}

}  // namespace kx
