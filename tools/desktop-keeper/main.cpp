// desktop-keeper: joins the desktop, then creates the file READY-FILE, and waits until it is
// ended. It makes no window.
//
//   desktop-keeper READY-FILE
//
// Wine closes a desktop a moment after its last program ends. The next program then starts a new
// one, and that desktop's process inherits the program's output: whoever reads the output (the
// test runner) waits for the desktop to close again, a second or more after every test. While
// this program holds the desktop, it stays up from one test to the next. The desktop must be
// started by this program, whose output goes nowhere, or a desktop kept open would hold a
// test's output open for good: tools/wine-run waits for READY-FILE before it runs a program.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 || ::GetDesktopWindow() == nullptr) {
        return 1;
    }
    const HANDLE ready = ::CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        return 1;
    }
    ::CloseHandle(ready);
    ::Sleep(INFINITE);
    return 0;
}
