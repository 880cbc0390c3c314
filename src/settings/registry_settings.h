// The program's settings in the current user's registry hive, below the key path
// Software/company/application/section (backslashes in the registry). An object only names a key
// path; every read or write opens the key, makes one registry call and closes it again.
#ifndef KINETRIX_SETTINGS_REGISTRY_SETTINGS_H
#define KINETRIX_SETTINGS_REGISTRY_SETTINGS_H

#include <windows.h>

#include <cstdint>
#include <string>

namespace kx {

class CRegistrySettings {
public:
    // Company and application from the string resources, no section, below HKEY_CURRENT_USER.
    CRegistrySettings();

    // Null or empty leaves the part out of the key path.
    void SetApplication(const wchar_t* name);
    void SetSection(const wchar_t* name);

    // "Software" and each non-empty part, joined by backslashes.
    std::wstring KeyPath() const;

    // Opens the key path, creating missing keys when the access allows it; null on failure.
    // The caller closes the key.
    HKEY OpenKey(REGSAM access) const;
    static HKEY CreateSubKey(HKEY parent, const wchar_t* name, REGSAM access);

    BOOL WriteInt(const wchar_t* name, int32_t value) const;
    // The stored 4 bytes, whatever the value's type; the default when the key or value is
    // missing or the value is not exactly 4 bytes long.
    int32_t ReadInt(const wchar_t* name, int32_t defaultValue) const;
    // Stores a REG_SZ with its terminating zero; a null value deletes the value instead.
    BOOL WriteString(const wchar_t* name, const wchar_t* value) const;
    // The stored text up to its first zero; the default (empty for null) when it cannot be read.
    std::wstring ReadString(const wchar_t* name, const wchar_t* defaultValue) const;

    // Deletes the key path: with recursive FALSE only when it holds neither values nor subkeys.
    // Refuses to delete "Software" itself (all parts empty) and deletes nothing when the key
    // cannot be opened or inspected. TRUE when the key was deleted.
    BOOL DeleteKey(BOOL recursive) const;
    // Deletes every subkey of key, depth first; FALSE when one of them could not be removed.
    static BOOL DeleteSubKeys(HKEY key);

    std::wstring m_strCompany;
    std::wstring m_strApplication;
    std::wstring m_strSection;
    HKEY m_hRootKey = HKEY_CURRENT_USER;
};

// The title of a running copy's main window, found to ask it to quit.
constexpr wchar_t kMainWindowTitle[] = L"Pelmor Kinetrix";

// Asks every running copy to quit, then deletes the application key with all its sections and
// the company key when nothing else is left in it. Returns TRUE when the application key went.
BOOL RemoveAllSettings();

}  // namespace kx

#endif  // KINETRIX_SETTINGS_REGISTRY_SETTINGS_H
