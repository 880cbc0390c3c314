// Works the windows of a running kinetrix.exe from another process, as a user would: finds its
// dialogs by class, title and process, types into their fields with WM_SETTEXT and presses their
// buttons with posted BN_CLICKED commands. Everything polls with a deadline instead of sleeping.
#ifndef KINETRIX_TESTS_E2E_WINDOW_DRIVER_H
#define KINETRIX_TESTS_E2E_WINDOW_DRIVER_H

#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kx::e2e {

// Polls ready() every 50 ms until it holds or the time is up; the last answer.
template <class Ready>
bool WaitUntil(Ready ready, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return ready();
        }
        ::Sleep(50);
    }
    return true;
}

// A build-tree path as Wine names it: the Unix root is drive Z:.
inline std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) {
        path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return path;
}

// The text of a window of any process (WM_GETTEXT crosses processes); empty when it is busy.
inline std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (window == nullptr ||
        !::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 2000, &length)) {
        return std::wstring();
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_NORMAL, 2000, &copied);
    text.resize(copied);
    return text;
}

inline std::wstring ItemText(HWND dialog, int id) {
    return TextOf(::GetDlgItem(dialog, id));
}

inline void TypeInto(HWND dialog, int id, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(::GetDlgItem(dialog, id), WM_SETTEXT, 0,
                          reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 5000, &ignored);
}

inline void Press(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// A menu command, as the menu, its accelerator or a tool strip button sends it.
inline void Command(HWND window, int id) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

inline LRESULT Ask(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, msg, wParam, lParam, SMTO_NORMAL, 2000, &result);
    return static_cast<LRESULT>(result);
}

// The visible dialogs (class "#32770") of a process with exactly this title.
inline std::vector<HWND> DialogsOf(DWORD pid, const std::wstring& title) {
    struct Search {
        DWORD pid;
        const std::wstring* title;
        std::vector<HWND> found;
    } search{pid, &title, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t className[32]{};
            ::GetClassNameW(window, className, 32);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if ((s->pid == 0 || owner == s->pid) && std::wstring(className) == L"#32770" &&
                ::IsWindowVisible(window) && TextOf(window) == *s->title) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The one dialog of a process with this title that holds a control with this id (0: any).
inline HWND FindDialog(DWORD pid, const std::wstring& title, int childId = 0) {
    for (HWND dialog : DialogsOf(pid, title)) {
        if (childId == 0 || ::GetDlgItem(dialog, childId) != nullptr) {
            return dialog;
        }
    }
    return nullptr;
}

inline HWND WaitForDialog(DWORD pid, const std::wstring& title, int childId = 0,
                          int timeoutMs = 20000) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(pid, title, childId)) != nullptr; }, timeoutMs);
    return found;
}

inline DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

// The texts of the static controls of a dialog: the text of a message box.
inline std::wstring StaticTexts(HWND dialog) {
    std::wstring texts;
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM data) -> BOOL {
            wchar_t className[32]{};
            ::GetClassNameW(child, className, 32);
            if (std::wstring(className) == L"Static") {
                *reinterpret_cast<std::wstring*>(data) += TextOf(child);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// The file name field of the common file dialog: cmb13 on Windows, edt1 in Wine's template.
inline int FileNameFieldOf(HWND fileDialog) {
    return ::GetDlgItem(fileDialog, cmb13) != nullptr ? cmb13 : edt1;
}

// The common file dialog of a process with this title, told from other dialogs of the same title
// by its file name field.
inline HWND WaitForFileDialog(DWORD pid, const std::wstring& title) {
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindDialog(pid, title, edt1);
        found = found ? found : FindDialog(pid, title, cmb13);
        return found != nullptr;
    });
    return found;
}

// Chooses a file type (1-based, as the filter index counts) and a full path, then presses the
// dialog's Open or Save button. Wine takes a new filter index on CBN_SELENDOK.
inline void ChooseFile(HWND fileDialog, const std::wstring& path, int filterIndex = 1) {
    if (filterIndex != 1) {
        HWND types = ::GetDlgItem(fileDialog, cmb1);
        Ask(types, CB_SETCURSEL, static_cast<WPARAM>(filterIndex - 1));
        for (WORD code : {WORD(CBN_SELENDOK), WORD(CBN_SELCHANGE)}) {
            Ask(fileDialog, WM_COMMAND, MAKEWPARAM(cmb1, code), reinterpret_cast<LPARAM>(types));
        }
    }
    TypeInto(fileDialog, FileNameFieldOf(fileDialog), path);
    Press(fileDialog, IDOK);
}

inline std::vector<uint8_t> ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Empty when both files hold the same bytes; else where and how they first differ.
inline std::string Difference(const std::vector<uint8_t>& expected,
                              const std::vector<uint8_t>& actual) {
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) {
        ++i;
    }
    if (i == expected.size() && i == actual.size()) {
        return std::string();
    }
    auto byteAt = [](const std::vector<uint8_t>& bytes, size_t at) {
        return at < bytes.size() ? std::to_string(bytes[at]) : std::string("end");
    };
    return "sizes " + std::to_string(expected.size()) + " and " + std::to_string(actual.size()) +
           ", first difference at byte " + std::to_string(i) + ": " + byteAt(expected, i) +
           " expected, " + byteAt(actual, i) + " written";
}

// Runs a program to its end; its exit code, or -1 when it could not run or took too long.
inline int RunToEnd(const std::wstring& commandLine, const std::wstring& directory) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          directory.c_str(), &startup, &process)) {
        return -1;
    }
    DWORD code = DWORD(-1);
    if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(process.hProcess, &code);
    } else {
        ::TerminateProcess(process.hProcess, 1);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// A running copy of the program, closed through its window at the end of the test (and ended
// outright when it does not close in time, say under a dialog a failed check left open).
class RunningCopy {
public:
    RunningCopy() = default;
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;
    ~RunningCopy() { Close(); }

    bool Start(const std::wstring& program, const std::wstring& arguments,
               const std::wstring& directory) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::wstring line = L"\"" + program + L"\" " + arguments;
        if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              directory.c_str(), &startup, &process)) {
            return false;
        }
        ::CloseHandle(process.hThread);
        handle_ = process.hProcess;
        pid_ = process.dwProcessId;
        return true;
    }
    // A copy the program started itself, known by its window.
    bool Adopt(HWND window) {
        pid_ = ProcessOf(window);
        handle_ = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid_);
        return handle_ != nullptr;
    }

    DWORD Pid() const { return pid_; }
    // The main window, once it is visible.
    HWND MainWindow() const { return FindDialog(pid_, L"Pelmor Kinetrix"); }

    void Close() {
        if (handle_ == nullptr) {
            return;
        }
        if (HWND main = MainWindow()) {
            ::PostMessageW(main, WM_CLOSE, 0, 0);
        }
        if (::WaitForSingleObject(handle_, 10000) != WAIT_OBJECT_0) {
            ::TerminateProcess(handle_, 1);
            ::WaitForSingleObject(handle_, 5000);
        }
        ::CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
    DWORD pid_ = 0;
};

}  // namespace kx::e2e

#endif  // KINETRIX_TESTS_E2E_WINDOW_DRIVER_H
