// window-press: waits for a visible dialog with a given title, types into its fields and presses
// one of its buttons (or sends it a command), as a user at the screen would.
//
//   window-press TITLE [--type ID TEXT]... COMMAND-ID [TIMEOUT-MS]
//
// Exit status: 0 when the dialog was found and the command posted, 1 when no such dialog showed
// up in time (default 60000 ms), 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Search {
    const wchar_t* title;
    HWND found = nullptr;
};

BOOL CALLBACK Match(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t className[16]{};
    wchar_t title[256]{};
    ::GetClassNameW(window, className, 16);
    ::GetWindowTextW(window, title, 256);
    if (std::wcscmp(className, L"#32770") == 0 && std::wcscmp(title, search->title) == 0 &&
        ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A whole number from 0 to most.
bool Number(const wchar_t* text, long most, int& value) {
    wchar_t* end = nullptr;
    const long n = std::wcstol(text, &end, 10);
    value = static_cast<int>(n);
    return *text != L'\0' && *end == L'\0' && n >= 0 && n <= most;
}

int Usage() {
    std::fputws(L"usage: window-press TITLE [--type ID TEXT]... COMMAND-ID [TIMEOUT-MS]\n", stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return Usage();
    }
    std::vector<std::pair<int, std::wstring>> typed;
    int i = 2;
    while (i + 2 < argc && std::wcscmp(argv[i], L"--type") == 0) {
        int id = 0;
        if (!Number(argv[i + 1], 0xFFFF, id)) {
            return Usage();
        }
        typed.emplace_back(id, argv[i + 2]);
        i += 3;
    }
    int command = 0;
    int timeoutMs = 60000;
    if (i >= argc || !Number(argv[i], 0xFFFF, command) ||
        (i + 1 < argc && !Number(argv[i + 1], 3600000, timeoutMs))) {
        return Usage();
    }

    Search search{argv[1]};
    for (int waited = 0; search.found == nullptr; waited += 100) {
        ::EnumWindows(&Match, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) {
            if (waited >= timeoutMs) {
                return 1;
            }
            ::Sleep(100);
        }
    }
    // WM_SETTEXT crosses processes and raises the field's change notifications as typing does.
    for (const auto& [id, text] : typed) {
        ::SendMessageW(::GetDlgItem(search.found, id), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(text.c_str()));
    }
    // A button's click and a menu command arrive alike: BN_CLICKED is 0.
    ::PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(search.found, command)));
    return 0;
}
