// The installer's whole life under Wine, as an administrator meets it: a silent install into a
// chosen folder, the installed program started and closed, a silent uninstall that leaves
// neither files, nor the shortcut, nor the registration, nor the user's settings.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "support/build_paths.h"
#include "support/program_driver.h"

namespace kx::install {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kinetrix";
constexpr wchar_t kCompanyKey[] = L"Software\\Pelmor Soft. Lab.";
constexpr wchar_t kSettingsKey[] = L"Software\\Pelmor Soft. Lab.\\Kinetrix";
constexpr wchar_t kSettingsAside[] = L"Kinetrix set aside by the install test";
constexpr wchar_t kMainTitle[] = L"Pelmor Kinetrix";
constexpr wchar_t kShortcut[] = L"Pelmor Kinetrix.lnk";
// A first start in a fresh Wine prefix takes much longer than the next ones.
constexpr int kFirstWindowMs = 90000;
constexpr DWORD kInstallerMs = 120000;

using test::Quoted;
using test::WaitUntil;
using test::WindowsPath;

// A started process; ended by force at the end if it is still running then.
struct Process {
    HANDLE handle = nullptr;
    DWORD pid = 0;

    explicit Process(const std::wstring& commandLine, const std::wstring& directory = L"") {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring line = commandLine;
        if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
            ::CloseHandle(info.hThread);
            handle = info.hProcess;
            pid = info.dwProcessId;
        }
    }
    Process(const Process&) = delete;
    ~Process() {
        if (handle != nullptr) {
            if (::WaitForSingleObject(handle, 0) != WAIT_OBJECT_0) {
                ::TerminateProcess(handle, 1);
                ::WaitForSingleObject(handle, 5000);
            }
            ::CloseHandle(handle);
        }
    }
    bool Ended(DWORD timeoutMs) const {
        return handle != nullptr && ::WaitForSingleObject(handle, timeoutMs) == WAIT_OBJECT_0;
    }
    // The exit code; -1 when the process did not start or did not end in time.
    int ExitCode(DWORD timeoutMs) const {
        DWORD code = DWORD(-1);
        if (Ended(timeoutMs)) {
            ::GetExitCodeProcess(handle, &code);
        }
        return int(code);
    }
};

// The visible main window of the process pid, or null.
HWND MainWindowOf(DWORD pid) {
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"#32770", kMainTitle)) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        if (owner == pid && ::IsWindowVisible(w)) {
            return w;
        }
    }
    return nullptr;
}

HWND WaitForMainWindow(const Process& copy) {
    HWND main = nullptr;
    WaitUntil([&] { return (main = MainWindowOf(copy.pid)) != nullptr; }, kFirstWindowMs);
    return main;
}

// The files below folder, as paths relative to it with backslashes, sorted.
std::vector<std::wstring> FilesBelow(const fs::path& folder) {
    std::vector<std::wstring> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path().lexically_relative(folder).make_preferred().wstring());
        }
    }
    std::ranges::sort(files);
    return files;
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool KeyExists(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

// A string value; "(none)" when missing. This test, like the installer, is a 64-bit program and
// sees the registry as the program does.
std::wstring RegistryString(HKEY root, const wchar_t* path, const wchar_t* name) {
    wchar_t text[1024] = L"";
    DWORD size = sizeof text;
    if (::RegGetValueW(root, path, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return L"(none)";
    }
    return text;
}

std::optional<DWORD> RegistryNumber(HKEY root, const wchar_t* path, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueW(root, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

// The Start menu folder of every user's programs.
fs::path CommonPrograms() {
    wchar_t* folder = nullptr;
    fs::path result;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_CommonPrograms, 0, nullptr, &folder))) {
        result = folder;
    }
    ::CoTaskMemFree(folder);
    return result;
}

// The program a shortcut file starts; empty when it cannot be read.
std::wstring ShortcutTarget(const fs::path& shortcut) {
    std::wstring target;
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link)))) {
        return target;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t path[MAX_PATH] = L"";
        if (SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0))) {
            target = path;
        }
        file->Release();
    }
    link->Release();
    return target;
}

// The ProductVersion text of a program's version resource (Japanese, Unicode block).
std::wstring ProductVersionOf(const fs::path& program) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &ignored);
    std::vector<BYTE> block(size);
    void* text = nullptr;
    UINT length = 0;
    if (size == 0 || !::GetFileVersionInfoW(program.c_str(), 0, size, block.data()) ||
        !::VerQueryValueW(block.data(), L"\\StringFileInfo\\041104B0\\ProductVersion", &text,
                          &length)) {
        return L"(none)";
    }
    return static_cast<const wchar_t*>(text);
}

// Each test installs into a folder of its own, whose name holds a space (NSIS takes /D= unquoted,
// as the last argument). The program's settings are renamed aside so that their removal can be
// seen, and put back after; whatever a failed check left installed is removed.
class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (::RegRenameKey(HKEY_CURRENT_USER, kSettingsKey, kSettingsAside) != ERROR_SUCCESS) {
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        }
        ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "installed before the test";
        fs::create_directories(folder_);
        for (const auto& [name, bytes] : keptFiles_) {
            std::ofstream(folder_ / name, std::ios::binary) << bytes;
        }
        Process setup(Quoted(WindowsPath(test::BuildPath("setup"))) + L" /S /D=" +
                      folder_.wstring());
        ASSERT_EQ(0, setup.ExitCode(kInstallerMs)) << "the installer failed";
    }
    void TearDown() override {
        if (KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) && fs::exists(Uninstaller())) {
            Uninstall();
        }
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        fs::remove(CommonPrograms() / kShortcut, ignored);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        const std::wstring aside = std::wstring(kCompanyKey) + L"\\" + kSettingsAside;
        if (KeyExists(HKEY_CURRENT_USER, aside.c_str())) {
            ::RegRenameKey(HKEY_CURRENT_USER, aside.c_str(), L"Kinetrix");
        }
        ::CoUninitialize();
    }

    fs::path Program() const { return folder_ / L"kinetrix.exe"; }
    fs::path Uninstaller() const { return folder_ / L"uninstall.exe"; }

    // The silent uninstall; _?= runs it in place, so that it ends only when it is done (by
    // itself it runs a copy of itself from the temporary folder and ends at once).
    int Uninstall() const {
        Process uninstall(Quoted(Uninstaller().wstring()) + L" /S _?=" + folder_.wstring());
        return uninstall.ExitCode(kInstallerMs);
    }

    // The installed program started in its folder, as its shortcut starts it.
    Process StartProgram() const {
        return Process(Quoted(Program().wstring()) + L" /n", folder_.wstring());
    }

    // Files of the user's own that the folder held before the installation.
    std::vector<std::pair<std::wstring, std::string>> keptFiles_;
    const fs::path folder_ = L"C:\\Kx install test " + std::to_wstring(::GetCurrentProcessId());
};

TEST_F(Installed, HoldsTheFilesOfTheZipAShortcutAndTheRegistration) {
    std::vector<std::wstring> expected = FilesBelow(WindowsPath(test::BuildPath("stage")));
    ASSERT_TRUE(std::ranges::count(expected, L"kinetrix.exe") == 1 &&
                std::ranges::count(expected, L"help\\index.html") == 1)
        << "the packages' files lack the program or its help";
    expected.push_back(L"uninstall.exe");
    std::ranges::sort(expected);
    ASSERT_EQ(expected, FilesBelow(folder_));
    for (const std::wstring& file : FilesBelow(WindowsPath(test::BuildPath("stage")))) {
        EXPECT_TRUE(Bytes(fs::path(WindowsPath(test::BuildPath("stage"))) / file) ==
                    Bytes(folder_ / file))
            << "installed " << file << " differs from the packaged one";
    }

    EXPECT_EQ(Program().wstring(), ShortcutTarget(CommonPrograms() / kShortcut));

    struct Value {
        const wchar_t* name;
        std::wstring expected;
    };
    const Value values[] = {
        {L"DisplayName", L"Pelmor Kinetrix"},
        {L"DisplayVersion", ProductVersionOf(Program())},
        {L"Publisher", L"Pelmor Soft. Lab."},
        {L"DisplayIcon", Program().wstring() + L",0"},
        {L"InstallLocation", folder_.wstring()},
        {L"UninstallString", Quoted(Uninstaller().wstring())},
        {L"QuietUninstallString", Quoted(Uninstaller().wstring()) + L" /S"},
    };
    for (const Value& value : values) {
        EXPECT_EQ(value.expected, RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, value.name))
            << value.name;
    }
    // The one version: the program's resource, the registration and the installer's name.
    EXPECT_EQ(std::wstring(L"" KX_VERSION_TEXT), ProductVersionOf(Program()));
    EXPECT_NE(std::string::npos,
              test::BuildPath("setup").find("Kinetrix-" KX_VERSION_TEXT "-win64-setup.exe"));
    // In KiB: at least the program itself.
    const auto size = RegistryNumber(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize");
    ASSERT_TRUE(size.has_value()) << "no EstimatedSize";
    EXPECT_LE(fs::file_size(Program()) / 1024, *size);
    EXPECT_GE(fs::file_size(Program()) / 1024 * 2, *size);
}

TEST_F(Installed, UninstallClosesTheProgramAndLeavesNothing) {
    const std::wstring setting = std::wstring(kSettingsKey) + L"\\Setting";
    {
        const Process copy = StartProgram();
        HWND main = WaitForMainWindow(copy);
        ASSERT_NE(nullptr, main) << "the installed program shows no window";
        // As the window's close button does; the program writes its settings as it closes.
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(0, copy.ExitCode(20000)) << "the program did not end";
    }
    ASSERT_TRUE(RegistryNumber(HKEY_CURRENT_USER, setting.c_str(), L"Speed").has_value())
        << "the program wrote no settings";

    // A copy still running when the uninstaller starts is closed by it.
    const Process running = StartProgram();
    ASSERT_NE(nullptr, WaitForMainWindow(running)) << "the installed program shows no window";
    ASSERT_EQ(0, Uninstall());
    EXPECT_TRUE(running.Ended(10000)) << "the running copy was left running";

    // Run in place, the uninstaller cannot delete its own file.
    EXPECT_EQ(std::vector<std::wstring>{L"uninstall.exe"}, FilesBelow(folder_));
    EXPECT_FALSE(fs::exists(CommonPrograms() / kShortcut)) << "the shortcut is left";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "the registration is left";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey)) << "the settings are left";
}

// The user chose a folder that holds files of their own: those stay, with the folder.
class InstalledBesideOwnFiles : public Installed {
protected:
    void SetUp() override {
        keptFiles_ = {{L"notes.txt", "the user's notes"}, {L"walker-old.bmp", "BM"}};
        Installed::SetUp();
    }
};

TEST_F(InstalledBesideOwnFiles, UninstallRemovesOnlyWhatItInstalled) {
    ASSERT_EQ(0, Uninstall());
    EXPECT_EQ((std::vector<std::wstring>{L"notes.txt", L"uninstall.exe", L"walker-old.bmp"}),
              FilesBelow(folder_));
    EXPECT_EQ("the user's notes", Bytes(folder_ / L"notes.txt"));
}

}  // namespace
}  // namespace kx::install
