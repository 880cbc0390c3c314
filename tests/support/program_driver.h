// Small pieces for tests that start Windows programs in processes of their own under Wine and
// wait for them: polling with a deadline, and naming build-tree files and command-line arguments.
#ifndef KINETRIX_TESTS_SUPPORT_PROGRAM_DRIVER_H
#define KINETRIX_TESTS_SUPPORT_PROGRAM_DRIVER_H

#include <windows.h>

#include <cstdint>
#include <string>

namespace kx::test {

// Polls ready() every 50 ms until it holds or the time is up.
template <class Ready>
bool WaitUntil(Ready ready, int timeoutMs = 20000) {
    for (int waited = 0; !ready(); waited += 50) {
        if (waited > timeoutMs) {
            return false;
        }
        ::Sleep(50);
    }
    return true;
}

// A build-tree path as Wine names it: the Unix root is drive Z:.
inline std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) {
        path += c == '/' ? L'\\' : wchar_t(uint8_t(c));
    }
    return path;
}

inline std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

}  // namespace kx::test

#endif
