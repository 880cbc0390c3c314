// Input through the system's input queue, as the user's mouse and keyboard give it: it goes to
// the window under the pointer or with the focus, through capture, accelerators and dialog keys.
// And the screen as the user sees it, read back pixel by pixel.
#ifndef KINETRIX_TESTS_FRAMEWORK_REAL_INPUT_H
#define KINETRIX_TESTS_FRAMEWORK_REAL_INPUT_H

#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <vector>

namespace kx::test {

// Moves the pointer to a screen point.
inline void MovePointer(POINT screen) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = ::MulDiv(screen.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = ::MulDiv(screen.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &input, sizeof input);
}

// The left button pressed or released where the pointer is.
inline void LeftButton(bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &input, sizeof input);
}

inline void ClickAt(POINT screen) {
    MovePointer(screen);
    LeftButton(true);
    LeftButton(false);
}

// The middle of a window on the screen.
inline POINT CentreOf(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Keys pressed in order and released in the reverse order: one key, or a chord such as
// {VK_CONTROL, VK_RIGHT}.
inline void PressKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *--it;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Digits typed one key after the other.
inline void TypeDigits(const wchar_t* digits) {
    for (const wchar_t* d = digits; *d != L'\0'; ++d) {
        PressKeys({static_cast<WORD>(*d)});
    }
}

// Takes this thread's waiting messages, dialog keys and accelerators left to the caller's loop;
// for the checks that run outside a modal loop.
inline void PumpFor(DWORD milliseconds, HWND dialog = nullptr) {
    const DWORD end = ::GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialog == nullptr || !::IsDialogMessageW(dialog, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        ::Sleep(10);
    } while (static_cast<int>(end - ::GetTickCount()) > 0);
}

// A pixel of the screen as it shows now.
inline COLORREF ScreenPixel(POINT screen) {
    HDC dc = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(dc, screen.x, screen.y);
    ::ReleaseDC(nullptr, dc);
    return c;
}

// Writes the whole screen as a 32-bit bitmap file, for a person to look at.
inline void SaveScreen(const wchar_t* path) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP picture = ::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                         DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = ::SelectObject(memory, picture);
    ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ::GdiFlush();
    const DWORD size = DWORD(width) * DWORD(height) * 4;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + size;
    if (FILE* out = ::_wfopen(path, L"wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&header, sizeof header, 1, out);
        std::fwrite(bits, size, 1, out);
        std::fclose(out);
    }
    ::SelectObject(memory, previous);
    ::DeleteObject(picture);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
}

}  // namespace kx::test

#endif  // KINETRIX_TESTS_FRAMEWORK_REAL_INPUT_H
