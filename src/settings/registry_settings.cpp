#include "settings/registry_settings.h"

#include <new>
#include <vector>

#include "framework/app.h"

namespace kx {

namespace {

// A running copy may need a moment to write its own settings and close after WM_QUIT; wait for
// that, but not for ever on a copy that does not answer.
constexpr DWORD kQuitWaitMs = 5000;
constexpr DWORD kQuitPollMs = 50;

// Closes a key on every path out of a function.
class KeyCloser {
public:
    explicit KeyCloser(HKEY key) : m_key(key) {}
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;
    ~KeyCloser() {
        if (m_key != nullptr) {
            ::RegCloseKey(m_key);
        }
    }

private:
    HKEY m_key;
};

}  // namespace

CRegistrySettings::CRegistrySettings()
    : m_strCompany(LoadStringResource(IDS_COMPANY)),
      m_strApplication(LoadStringResource(IDS_APP_TITLE)) {}

void CRegistrySettings::SetApplication(const wchar_t* name) {
    m_strApplication = name ? name : L"";
}

void CRegistrySettings::SetSection(const wchar_t* name) {
    m_strSection = name ? name : L"";
}

std::wstring CRegistrySettings::KeyPath() const {
    std::wstring path = L"Software";
    for (const std::wstring* part : {&m_strCompany, &m_strApplication, &m_strSection}) {
        if (!part->empty()) {
            path += L'\\';
            path += *part;
        }
    }
    return path;
}

HKEY CRegistrySettings::CreateSubKey(HKEY parent, const wchar_t* name, REGSAM access) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

HKEY CRegistrySettings::OpenKey(REGSAM access) const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(m_hRootKey, L"Software", 0, access, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    for (const std::wstring* part : {&m_strCompany, &m_strApplication, &m_strSection}) {
        if (part->empty()) {
            continue;
        }
        // A handle opened for reading carries no right to create subkeys, so a read never
        // creates the path; some registries create it anyway, so reads only open.
        HKEY child = nullptr;
        if ((access & KEY_CREATE_SUB_KEY) == KEY_CREATE_SUB_KEY) {
            child = CreateSubKey(key, part->c_str(), access);
        } else if (::RegOpenKeyExW(key, part->c_str(), 0, access, &child) != ERROR_SUCCESS) {
            child = nullptr;
        }
        ::RegCloseKey(key);
        if (child == nullptr) {
            return nullptr;
        }
        key = child;
    }
    return key;
}

BOOL CRegistrySettings::WriteInt(const wchar_t* name, int32_t value) const {
    HKEY key = OpenKey(KEY_WRITE);
    if (key == nullptr) {
        return FALSE;
    }
    KeyCloser closer(key);
    const DWORD stored = static_cast<DWORD>(value);
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                            sizeof stored) == ERROR_SUCCESS;
}

int32_t CRegistrySettings::ReadInt(const wchar_t* name, int32_t defaultValue) const {
    HKEY key = OpenKey(KEY_READ);
    if (key == nullptr) {
        return defaultValue;
    }
    KeyCloser closer(key);
    DWORD stored = 0;
    DWORD size = sizeof stored;
    if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size) !=
            ERROR_SUCCESS ||
        size != sizeof stored) {
        // A shorter value would leave part of the number unwritten.
        return defaultValue;
    }
    return static_cast<int32_t>(stored);
}

BOOL CRegistrySettings::WriteString(const wchar_t* name, const wchar_t* value) const {
    HKEY key = OpenKey(KEY_WRITE);
    if (key == nullptr) {
        return FALSE;
    }
    KeyCloser closer(key);
    if (value == nullptr) {
        return ::RegDeleteValueW(key, name) == ERROR_SUCCESS;
    }
    // The size counts characters of two bytes, the terminating zero included.
    const size_t chars = wcslen(value) + 1;
    if (chars > MAXDWORD / sizeof(wchar_t)) {
        return FALSE;
    }
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>(chars * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring CRegistrySettings::ReadString(const wchar_t* name, const wchar_t* defaultValue) const {
    const std::wstring fallback = defaultValue ? defaultValue : L"";
    HKEY key = OpenKey(KEY_READ);
    if (key == nullptr) {
        return fallback;
    }
    KeyCloser closer(key);
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return fallback;
    }
    try {
        // One spare zero character, so that text stored without its terminator still ends.
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        DWORD got = size;
        if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                               &got) != ERROR_SUCCESS) {
            return fallback;
        }
        return std::wstring(buffer.data());
    } catch (const std::bad_alloc&) {
        return fallback;
    }
}

BOOL CRegistrySettings::DeleteSubKeys(HKEY key) {
    DWORD subkeys = 0;
    DWORD longestName = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestName, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return FALSE;
    }
    std::vector<wchar_t> name(static_cast<size_t>(longestName) + 1, L'\0');
    for (DWORD i = 0; i < subkeys; ++i) {
        // Always the first subkey: each pass deletes the one it found.
        if (::RegEnumKeyW(key, 0, name.data(), static_cast<DWORD>(name.size())) != ERROR_SUCCESS) {
            return FALSE;
        }
        HKEY child = CreateSubKey(key, name.data(), KEY_ALL_ACCESS);
        if (child == nullptr) {
            return FALSE;
        }
        const BOOL emptied = DeleteSubKeys(child);
        ::RegCloseKey(child);
        if (!emptied || ::RegDeleteKeyW(key, name.data()) != ERROR_SUCCESS) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CRegistrySettings::DeleteKey(BOOL recursive) const {
    const std::wstring path = KeyPath();
    if (m_strCompany.empty() && m_strApplication.empty() && m_strSection.empty()) {
        return FALSE;
    }
    HKEY key = OpenKey(KEY_ALL_ACCESS);
    if (key == nullptr) {
        return FALSE;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    BOOL outcome = FALSE;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                           nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        if (subkeys == 0 && values == 0) {
            outcome = TRUE;
        } else {
            outcome = recursive ? DeleteSubKeys(key) : FALSE;
        }
    }
    ::RegCloseKey(key);
    if (outcome && ::RegDeleteKeyW(m_hRootKey, path.c_str()) != ERROR_SUCCESS) {
        outcome = FALSE;
    }
    return outcome;
}

BOOL RemoveAllSettings() {
    CRegistrySettings settings;
    const DWORD start = ::GetTickCount();
    for (HWND running = ::FindWindowW(L"#32770", kMainWindowTitle); running != nullptr;
         running = ::FindWindowW(L"#32770", kMainWindowTitle)) {
        // Every copy found is asked; a copy that does not go within the wait is left running.
        for (HWND w = running; w != nullptr;
             w = ::FindWindowExW(nullptr, w, L"#32770", kMainWindowTitle)) {
            ::PostMessageW(w, WM_QUIT, 0, 0);
        }
        if (::GetTickCount() - start > kQuitWaitMs) {
            break;
        }
        ::Sleep(kQuitPollMs);
    }
    settings.SetSection(nullptr);
    const BOOL removed = settings.DeleteKey(TRUE);
    settings.SetApplication(nullptr);
    settings.DeleteKey(FALSE);
    return removed;
}

}  // namespace kx
