// Proves that the Windows test pipeline is real: a window receives a message and answers it, and
// the private prefix's registry takes a value and gives it back.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr UINT kAsk = WM_APP + 7;

LRESULT CALLBACK AnsweringProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kAsk) {
        return static_cast<LRESULT>(wParam * 3 + lParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(WinePipeline, WindowAnswersASentMessage) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = AnsweringProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxPipelineProbe";
    ASSERT_NE(0, RegisterClassW(&wc));
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"プローブ", WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(3 * 14 + 5, SendMessageW(hwnd, kAsk, 14, 5));
    wchar_t title[32]{};
    GetWindowTextW(hwnd, title, 32);
    EXPECT_STREQ(L"プローブ", title);
    DestroyWindow(hwnd);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

TEST(WinePipeline, RegistryValueRoundTrips) {
    const wchar_t* path = L"Software\\KinetrixPipelineTest";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    const DWORD written = 0x12345678;
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, L"Probe", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&written),
                             sizeof written));
    RegCloseKey(key);

    DWORD read = 0;
    DWORD size = sizeof read;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, path, L"Probe", RRF_RT_REG_DWORD,
                                          nullptr, &read, &size));
    EXPECT_EQ(written, read);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, path));
}

}  // namespace
