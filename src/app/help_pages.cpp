#include "app/help_pages.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <utility>

namespace kx {

namespace {

// The page of each help context number the program uses.
struct TopicPages {
    DWORD first;
    DWORD last;
    const wchar_t* page;
};

constexpr TopicPages kTopicPages[] = {
    {1, 1, L"index.html"},      // contents
    {2, 3, L"main.html"},       // logo button, size grip
    {257, 257, L"about.html"},  // About box
    {513, 533, L"main.html"},   // main window, its menu commands and controls
    {534, 535, L"files.html"},  // open and save dialogs
    {769, 774, L"frame.html"},  // frame settings dialog
};

constexpr wchar_t kContentsPage[] = L"index.html";

bool KeptInUrl(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
           c == L'-' || c == L'.' || c == L'_' || c == L'~' || c == L'/';
}

// Asks for the handler of a protocol by the user's choice of program (Windows 8 and later; the
// build targets Windows 7, whose headers do not name it).
constexpr ASSOCF kAssocIsProtocol = 0x00001000;

// The handler's command for a protocol or file type, empty when none is registered.
std::wstring AssociatedCommand(ASSOCF flags, const wchar_t* association) {
    std::wstring command(2048, L'\0');
    DWORD length = static_cast<DWORD>(command.size());
    if (FAILED(::AssocQueryStringW(flags | ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, association,
                                   L"open", command.data(), &length))) {
        return {};
    }
    command.resize(command.find(L'\0'));
    return command;
}

bool StartCommandLine(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

}  // namespace

std::wstring HelpTopicUrl(const std::wstring& besideFile, DWORD_PTR context) {
    std::wstring page = kContentsPage;
    std::wstring fragment;
    for (const TopicPages& topics : kTopicPages) {
        if (context >= topics.first && context <= topics.last) {
            page = topics.page;
            fragment = L"#" + std::to_wstring(context);
            break;
        }
    }
    const size_t slash = besideFile.find_last_of(L"\\/");
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : besideFile.substr(0, slash + 1);
    return FileUrl(folder + L"help\\" + page) + fragment;
}

std::wstring FileUrl(const std::wstring& path) {
    std::wstring slashed = path;
    for (wchar_t& c : slashed) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    std::wstring url = L"file:";
    size_t start = 0;
    if (slashed.starts_with(L"//")) {
        // A UNC path: the server becomes the host.
        url += L"//";
        start = 2;
    } else {
        url += L"///";
        if (slashed.size() >= 2 && slashed[1] == L':') {
            url += slashed.substr(0, 2);
            start = 2;
        }
    }
    const std::wstring rest = slashed.substr(start);
    if (rest.empty()) {
        return url;
    }
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, rest.data(), static_cast<int>(rest.size()),
                                            nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, rest.data(), static_cast<int>(rest.size()), utf8.data(),
                          bytes, nullptr, nullptr);
    constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    for (const char byte : utf8) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x80 && KeptInUrl(static_cast<wchar_t>(c))) {
            url += static_cast<wchar_t>(c);
        } else {
            url += L'%';
            url += kHex[c >> 4];
            url += kHex[c & 0xF];
        }
    }
    return url;
}

std::wstring BrowserCommandLine(const std::wstring& handlerCommand, const std::wstring& url) {
    std::wstring line;
    bool placed = false;
    for (size_t i = 0; i < handlerCommand.size(); ++i) {
        const wchar_t c = handlerCommand[i];
        const wchar_t next = i + 1 < handlerCommand.size() ? handlerCommand[i + 1] : L'\0';
        if (c == L'%' && (next == L'1' || next == L'L' || next == L'l')) {
            line += url;
            placed = true;
            ++i;
        } else if (c == L'%' && next == L'*') {
            ++i;
        } else {
            line += c;
        }
    }
    if (!placed) {
        line += L" \"" + url + L"\"";
    }
    return line;
}

bool OpenInBrowser(const std::wstring& url) {
    // Opening the page by its file (a path or a file URL handed to ShellExecute) gives the
    // handler a plain path and loses the "#topic". So the URL goes to the command of the
    // user's browser (the handler of http, or failing that of .html pages) as it is.
    const std::pair<ASSOCF, const wchar_t*> handlers[] = {{kAssocIsProtocol, L"http"},
                                                          {ASSOCF_NONE, L".html"}};
    for (const auto& [flags, association] : handlers) {
        const std::wstring command = AssociatedCommand(flags, association);
        if (!command.empty() && StartCommandLine(BrowserCommandLine(command, url))) {
            return true;
        }
    }
    // No browser command: the shell opens the page at least at its top.
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

}  // namespace kx
