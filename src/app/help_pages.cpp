#include "app/help_pages.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace kx {

namespace {

// Asks for the program the user chose for a protocol (Windows 8 and later; the build targets
// Windows 7, whose headers do not name it).
constexpr ASSOCF kAssocIsProtocol = 0x00001000;

// ShellExecute reports success with a value above 32.
bool Launched(HINSTANCE result) {
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace

std::wstring HelpFileOf(const std::wstring& besideFile, DWORD_PTR context) {
    const size_t slash = besideFile.find_last_of(L"\\/");
    const std::wstring folder =
        (slash == std::wstring::npos ? std::wstring() : besideFile.substr(0, slash + 1)) +
        L"help\\";
    const std::wstring topic = folder + L"topic\\" + std::to_wstring(context) + L".html";
    return ::PathFileExistsW(topic.c_str()) ? topic : folder + L"index.html";
}

bool OpenHelpFile(const std::wstring& file) {
    // A plain file name: a "#topic" after it would be dropped by the shell (and, under Wine,
    // taken for part of the name), which is why each topic has a page of its own to open.
    if (Launched(
            ::ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL))) {
        return true;
    }
    // No program is registered for web pages on disk (a Wine prefix made without its HTML
    // engine has none): the program that opens web addresses gets the page.
    std::wstring browser(MAX_PATH, L'\0');
    DWORD length = static_cast<DWORD>(browser.size());
    if (FAILED(::AssocQueryStringW(kAssocIsProtocol | ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE,
                                   L"http", L"open", browser.data(), &length))) {
        return false;
    }
    const std::wstring quoted = L"\"" + file + L"\"";
    return Launched(
        ::ShellExecuteW(nullptr, L"open", browser.c_str(), quoted.c_str(), nullptr, SW_SHOWNORMAL));
}

}  // namespace kx
