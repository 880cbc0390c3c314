// The settings store against the registry of the test prefix.
#include "settings/registry_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace kx {
namespace {

constexpr wchar_t kTestApplication[] = L"KinetrixSettingsTest";

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

// Every test works below its own application key, removed before and after the test.
class RegistrySettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.SetApplication(kTestApplication);
        RemoveTree();
    }
    void TearDown() override { RemoveTree(); }

    void RemoveTree() {
        CRegistrySettings application = settings;
        application.SetSection(nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, application.KeyPath().c_str());
    }
    // Type and size of a stored value; type REG_NONE and size 0 when it is missing.
    static std::pair<DWORD, DWORD> ValueShape(const std::wstring& path, const wchar_t* name) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                           nullptr, &size) != ERROR_SUCCESS) {
            return {REG_NONE, 0};
        }
        return {type, size};
    }
    static void SetRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
                       DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
        ::RegCloseKey(key);
    }

    CRegistrySettings settings;
};

TEST_F(RegistrySettingsTest, KeyPathLeavesOutEmptyParts) {
    CRegistrySettings s;
    s.m_strCompany = L"Pelmor Soft. Lab.";
    s.SetApplication(L"Kinetrix");
    s.SetSection(L"Setting");
    EXPECT_EQ(L"Software\\Pelmor Soft. Lab.\\Kinetrix\\Setting", s.KeyPath());
    s.SetSection(L"");
    EXPECT_EQ(L"Software\\Pelmor Soft. Lab.\\Kinetrix", s.KeyPath());
    s.SetApplication(nullptr);
    EXPECT_EQ(L"Software\\Pelmor Soft. Lab.", s.KeyPath());
    s.m_strCompany.clear();
    s.SetSection(L"Window");
    EXPECT_EQ(L"Software\\Window", s.KeyPath());
}

TEST_F(RegistrySettingsTest, ReadsGiveTheirDefaultsOnAFirstRunAndCreateNothing) {
    settings.SetSection(L"Setting");
    EXPECT_EQ(100, settings.ReadInt(L"Speed", 100));
    EXPECT_EQ(0, settings.ReadInt(L"Fit", 0));
    EXPECT_EQ(1, settings.ReadInt(L"Repeat", 1));
    EXPECT_EQ(L"", settings.ReadString(L"Path", L""));
    EXPECT_EQ(L"", settings.ReadString(L"Path", nullptr));
    EXPECT_EQ(L"fallback", settings.ReadString(L"Path", L"fallback"));
    settings.SetSection(L"Window");
    EXPECT_EQ(static_cast<int32_t>(0x80000000),
              settings.ReadInt(L"Width", static_cast<int32_t>(0x80000000)));
    EXPECT_FALSE(KeyExists(settings.KeyPath()));
}

TEST_F(RegistrySettingsTest, WritingCreatesThePathAndValuesRoundTrip) {
    settings.SetSection(L"Setting");
    ASSERT_FALSE(KeyExists(settings.KeyPath()));
    EXPECT_TRUE(settings.WriteInt(L"Speed", 250));
    EXPECT_TRUE(KeyExists(settings.KeyPath()));
    EXPECT_EQ(250, settings.ReadInt(L"Speed", 100));
    EXPECT_EQ(std::make_pair(DWORD{REG_DWORD}, DWORD{4}), ValueShape(settings.KeyPath(), L"Speed"));

    EXPECT_TRUE(settings.WriteInt(L"Height", -7));
    EXPECT_EQ(-7, settings.ReadInt(L"Height", 0));

    const wchar_t* path = L"C:\\動画\\strip.bmp";
    EXPECT_TRUE(settings.WriteString(L"Path", path));
    EXPECT_EQ(path, settings.ReadString(L"Path", L""));
    // Characters of two bytes, the terminating zero included.
    EXPECT_EQ(std::make_pair(DWORD{REG_SZ}, DWORD((wcslen(path) + 1) * 2)),
              ValueShape(settings.KeyPath(), L"Path"));
}

TEST_F(RegistrySettingsTest, WriteStringWithNullDeletesAndWithEmptyStoresOneCharacter) {
    settings.SetSection(L"Setting");
    ASSERT_TRUE(settings.WriteString(L"Path", L"abc"));
    EXPECT_TRUE(settings.WriteString(L"Path", L""));
    EXPECT_EQ(std::make_pair(DWORD{REG_SZ}, DWORD{2}), ValueShape(settings.KeyPath(), L"Path"));
    EXPECT_EQ(L"", settings.ReadString(L"Path", L"default"));
    EXPECT_TRUE(settings.WriteString(L"Path", nullptr));
    EXPECT_EQ(std::make_pair(DWORD{REG_NONE}, DWORD{0}), ValueShape(settings.KeyPath(), L"Path"));
    EXPECT_EQ(L"default", settings.ReadString(L"Path", L"default"));
}

TEST_F(RegistrySettingsTest, IntegersOfTheWrongSizeReadAsTheDefault) {
    settings.SetSection(L"Setting");
    const std::wstring key = settings.KeyPath();
    const wchar_t text[] = L"250";
    SetRaw(key, L"Speed", REG_SZ, text, sizeof text);
    EXPECT_EQ(100, settings.ReadInt(L"Speed", 100));
    // Four bytes of any type are the number.
    const DWORD bits = 0x12345678;
    SetRaw(key, L"Speed", REG_BINARY, &bits, sizeof bits);
    EXPECT_EQ(0x12345678, settings.ReadInt(L"Speed", 100));
    // A shorter value would fill only part of the number.
    const WORD half = 5;
    SetRaw(key, L"Speed", REG_BINARY, &half, sizeof half);
    EXPECT_EQ(100, settings.ReadInt(L"Speed", 100));
}

TEST_F(RegistrySettingsTest, ReadStringStopsAtTheFirstZeroAndCopesWithoutTerminator) {
    settings.SetSection(L"Setting");
    const std::wstring key = settings.KeyPath();
    const wchar_t two[] = L"first\0second";
    SetRaw(key, L"Path", REG_MULTI_SZ, two, sizeof two);
    EXPECT_EQ(L"first", settings.ReadString(L"Path", L""));
    const wchar_t bare[3] = {L'a', L'b', L'c'};
    SetRaw(key, L"Path", REG_BINARY, bare, sizeof bare);
    EXPECT_EQ(L"abc", settings.ReadString(L"Path", L""));
}

TEST_F(RegistrySettingsTest, DeleteKeyNonRecursiveLeavesAKeyWithContent) {
    settings.SetSection(L"Setting");
    ASSERT_TRUE(settings.WriteInt(L"Speed", 1));
    EXPECT_FALSE(settings.DeleteKey(FALSE));
    EXPECT_TRUE(KeyExists(settings.KeyPath()));

    CRegistrySettings parent = settings;
    parent.SetSection(nullptr);
    EXPECT_FALSE(parent.DeleteKey(FALSE));  // a subkey left
    EXPECT_TRUE(KeyExists(parent.KeyPath()));

    ASSERT_TRUE(settings.WriteString(L"Speed", nullptr));
    EXPECT_TRUE(settings.DeleteKey(FALSE));
    EXPECT_FALSE(KeyExists(settings.KeyPath()));
}

TEST_F(RegistrySettingsTest, DeleteKeyRecursiveRemovesTheWholeTree) {
    settings.SetSection(L"Setting");
    ASSERT_TRUE(settings.WriteInt(L"Speed", 1));
    SetRaw(settings.KeyPath() + L"\\deeper\\deepest", L"v", REG_DWORD, "\1\0\0\0", 4);
    SetRaw(settings.KeyPath() + L"\\other", L"v", REG_DWORD, "\1\0\0\0", 4);
    CRegistrySettings window = settings;
    window.SetSection(L"Window");
    ASSERT_TRUE(window.WriteInt(L"Width", 640));

    CRegistrySettings application = settings;
    application.SetSection(nullptr);
    EXPECT_TRUE(application.DeleteKey(TRUE));
    EXPECT_FALSE(KeyExists(application.KeyPath()));
}

TEST_F(RegistrySettingsTest, DeleteKeyWithNothingStoredCreatesThenDeletes) {
    settings.SetSection(L"Setting");
    EXPECT_TRUE(settings.DeleteKey(FALSE));
    EXPECT_FALSE(KeyExists(settings.KeyPath()));
}

TEST_F(RegistrySettingsTest, DeleteKeyRefusesToDeleteSoftware) {
    CRegistrySettings s;
    s.m_strCompany.clear();
    s.SetApplication(nullptr);
    s.SetSection(nullptr);
    EXPECT_EQ(L"Software", s.KeyPath());
    EXPECT_FALSE(s.DeleteKey(TRUE));
    EXPECT_TRUE(KeyExists(L"Software"));
}

TEST_F(RegistrySettingsTest, DeleteKeyDeletesNothingWhenTheKeyCannotBeOpened) {
    // A root that is not a key handle: the open fails and nothing is touched.
    settings.SetSection(L"Setting");
    ASSERT_TRUE(settings.WriteInt(L"Speed", 3));
    CRegistrySettings broken = settings;
    broken.m_hRootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    EXPECT_FALSE(broken.DeleteKey(TRUE));
    EXPECT_EQ(3, settings.ReadInt(L"Speed", 0));
}

// The keys named by the string resources of the program, which the tests link in.
TEST(ProgramKeysTest, ConstructorNamesTheApplicationKey) {
    CRegistrySettings s;
    EXPECT_EQ(L"Software\\Pelmor Soft. Lab.\\Kinetrix", s.KeyPath());
    EXPECT_EQ(HKEY_CURRENT_USER, s.m_hRootKey);
}

TEST(ProgramKeysTest, RemovalWithNothingStoredLeavesNoKeys) {
    CRegistrySettings s;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, s.KeyPath().c_str());
    s.SetApplication(nullptr);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, s.KeyPath().c_str());
    ASSERT_FALSE(KeyExists(s.KeyPath()));

    EXPECT_TRUE(RemoveAllSettings());
    EXPECT_FALSE(KeyExists(s.KeyPath()));
}

TEST(ProgramKeysTest, RemovalKeepsACompanyKeyThatHoldsMore) {
    CRegistrySettings s;
    s.SetSection(L"Setting");
    ASSERT_TRUE(s.WriteInt(L"Speed", 50));
    CRegistrySettings sibling;
    sibling.SetApplication(L"AnotherTool");
    ASSERT_TRUE(sibling.WriteInt(L"Value", 1));

    EXPECT_TRUE(RemoveAllSettings());
    s.SetSection(nullptr);
    EXPECT_FALSE(KeyExists(s.KeyPath()));
    EXPECT_TRUE(KeyExists(sibling.KeyPath()));
    sibling.SetSection(nullptr);
    EXPECT_TRUE(sibling.DeleteKey(TRUE));
    sibling.SetApplication(nullptr);
    EXPECT_TRUE(sibling.DeleteKey(FALSE));
}

TEST(ProgramKeysTest, RemovalAsksARunningCopyToQuitFirst) {
    // A stand-in for a running copy: a dialog-class window with the main window's title on a
    // thread of its own, which writes its setting when its loop ends, as the program does.
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool gotQuit = false;
    std::thread copy([&] {
        HWND w = ::CreateWindowExW(0, L"#32770", kMainWindowTitle, WS_POPUP, 0, 0, 10, 10, nullptr,
                                   nullptr, nullptr, nullptr);
        ::SetEvent(ready);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::DispatchMessageW(&msg);
        }
        gotQuit = msg.message == WM_QUIT;
        CRegistrySettings own;
        own.SetSection(L"Setting");
        own.WriteInt(L"Speed", 75);
        ::DestroyWindow(w);
    });
    ::WaitForSingleObject(ready, 5000);
    ::CloseHandle(ready);

    EXPECT_TRUE(RemoveAllSettings());
    copy.join();
    EXPECT_TRUE(gotQuit);
    CRegistrySettings s;
    EXPECT_FALSE(KeyExists(s.KeyPath())) << "the copy's own write came after the removal";
}

}  // namespace
}  // namespace kx
