// desktop-keeper: joins the desktop and waits until it is ended. It makes no window.
//
// Wine closes a desktop a moment after its last program ends. The next program then starts a new
// one, and that desktop's process inherits the program's output: whoever reads the output (the
// test runner) waits for the desktop to close again, a second or more after every test. While
// this program holds the desktop, it stays up from one test to the next.
#include <windows.h>

int wmain() {
    if (::GetDesktopWindow() == nullptr) {
        return 1;
    }
    ::Sleep(INFINITE);
    return 0;
}
