// The whole cycle from the window, driven from outside the program as a user would (windows found
// by class, title and process, fields typed with WM_SETTEXT, buttons and commands posted, all
// polled with a deadline): a strip named on the command line, the frame height typed into the
// frame settings dialog, stepping and playing, Save as an AVI through the save dialog, that AVI
// opened again (which starts a second copy while a movie is shown) and saved as a compressed
// bitmap. Each saved file must hold the bytes the converter writes for the same input.
#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace kx::e2e {
namespace {

constexpr wchar_t kMainTitle[] = L"Pelmor Kinetrix";
constexpr wchar_t kFrameSettingsTitle[] = L"フレームの設定";
constexpr wchar_t kOpenTitle[] = L"画像の読み込み";
constexpr wchar_t kSaveTitle[] = L"ファイルの保存";
constexpr wchar_t kMessageCaption[] = L"Kinetrix";

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
std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) {
        path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return path;
}

// Sends a message that may cross processes; its result, 0 when the window does not answer.
LRESULT Ask(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, msg, wParam, lParam, SMTO_NORMAL, 5000, &result);
    return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND window) {
    std::wstring text(size_t(Ask(window, WM_GETTEXTLENGTH)) + 1, L'\0');
    text.resize(size_t(Ask(window, WM_GETTEXT, text.size(), LPARAM(text.data()))));
    return text;
}

std::wstring ItemText(HWND dialog, int id) {
    return TextOf(::GetDlgItem(dialog, id));
}

void TypeInto(HWND dialog, int id, const std::wstring& text) {
    Ask(::GetDlgItem(dialog, id), WM_SETTEXT, 0, LPARAM(text.c_str()));
}

// A click on a button, or a menu command as the menu sends it.
void Press(HWND window, int id) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   LPARAM(::GetDlgItem(window, id)));
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

// The visible dialogs (class "#32770") of every process with exactly this title.
std::vector<HWND> DialogsOf(const std::wstring& title) {
    std::vector<HWND> found;
    for (HWND w = nullptr;
         (w = ::FindWindowExW(nullptr, w, L"#32770", title.c_str())) != nullptr;) {
        if (::IsWindowVisible(w)) {
            found.push_back(w);
        }
    }
    return found;
}

// A dialog of a process with this title that holds one of these controls (none: any dialog).
HWND FindDialog(DWORD pid, const std::wstring& title, std::initializer_list<int> ids = {}) {
    for (HWND dialog : DialogsOf(title)) {
        if (ProcessOf(dialog) == pid &&
            (ids.size() == 0 || std::any_of(ids.begin(), ids.end(),
                                            [&](int id) { return ::GetDlgItem(dialog, id); }))) {
            return dialog;
        }
    }
    return nullptr;
}

HWND WaitForDialog(DWORD pid, const std::wstring& title, std::initializer_list<int> ids = {},
                   int timeoutMs = 20000) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(pid, title, ids)) != nullptr; }, timeoutMs);
    return found;
}

// The texts of the static controls of a dialog: the text of a message box.
std::wstring StaticTexts(HWND dialog) {
    std::wstring texts;
    for (HWND c = nullptr; (c = ::FindWindowExW(dialog, c, L"Static", nullptr)) != nullptr;) {
        texts += TextOf(c);
    }
    return texts;
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Empty when both files hold the same bytes; else their sizes and where they first differ.
std::string Difference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual) {
    const auto [e, a] = std::ranges::mismatch(expected, actual);
    if (e == expected.end() && a == actual.end()) {
        return std::string();
    }
    return "sizes " + std::to_string(expected.size()) + " and " + std::to_string(actual.size()) +
           ", first difference at byte " + std::to_string(e - expected.begin());
}

// A copy of a program, started or adopted by its window; closed through its main window at the
// end of the test, or ended outright when it does not close in time (say under a dialog a failed
// check left open).
class RunningCopy {
public:
    RunningCopy() = default;
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;
    ~RunningCopy() { Close(); }

    bool Start(const std::wstring& commandLine, const std::wstring& directory) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::wstring line = commandLine;
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              directory.c_str(), &startup, &process)) {
            return false;
        }
        ::CloseHandle(process.hThread);
        handle_ = process.hProcess;
        pid_ = process.dwProcessId;
        return true;
    }
    bool Adopt(HWND window) {
        pid_ = ProcessOf(window);
        handle_ = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid_);
        return handle_ != nullptr;
    }
    // The exit code of a program run to its end; -1 when it could not run or took too long.
    static int RunToEnd(const std::wstring& commandLine, const std::wstring& directory) {
        RunningCopy copy;
        DWORD code = DWORD(-1);
        if (copy.Start(commandLine, directory) &&
            ::WaitForSingleObject(copy.handle_, 60000) == WAIT_OBJECT_0) {
            ::GetExitCodeProcess(copy.handle_, &code);
        }
        return static_cast<int>(code);
    }

    DWORD Pid() const { return pid_; }
    HWND MainWindow() const { return FindDialog(pid_, kMainTitle); }

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

// A first start in a fresh Wine prefix takes much longer than the next ones.
constexpr int kFirstWindowMs = 90000;

// The program's settings in the prefix's registry: renamed aside before the test, so that it
// starts from the defaults, and back afterwards, whatever the program wrote meanwhile. Settings a
// test that ended early left aside stay there and are put back, not overwritten.
class SettingsSetAside {
public:
    SettingsSetAside() {
        if (::RegRenameKey(HKEY_CURRENT_USER, kSettings, kAsideName) != ERROR_SUCCESS) {
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettings);
        }
    }
    ~SettingsSetAside() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettings);
        ::RegRenameKey(HKEY_CURRENT_USER, kAside, L"Kinetrix");
    }

private:
    static constexpr wchar_t kSettings[] = L"Software\\Pelmor Soft. Lab.\\Kinetrix";
    static constexpr wchar_t kAsideName[] = L"Kinetrix set aside";
    static constexpr wchar_t kAside[] = L"Software\\Pelmor Soft. Lab.\\Kinetrix set aside";
};

// A folder of its own for each test with a copy of the sample strip, removed with everything in
// it afterwards.
class WorkFolder {
public:
    WorkFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("kx-e2e-" + std::to_string(::GetCurrentProcessId()))) {
        std::filesystem::create_directories(path_);
        EXPECT_TRUE(::CopyFileW(WindowsPath(KX_SOURCE_DIR "/samples/walker.bmp").c_str(),
                                File(L"walker.bmp").c_str(), FALSE));
    }
    ~WorkFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::wstring Path() const { return path_.wstring(); }
    std::wstring File(const wchar_t* name) const { return (path_ / name).wstring(); }

private:
    std::filesystem::path path_;
};

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

int Converter(const WorkFolder& folder, const std::wstring& arguments) {
    return RunningCopy::RunToEnd(
        Quoted(WindowsPath(KX_CLI)) + L" convert " + arguments + L" --quiet", folder.Path());
}

// A movie is shown: the file title on the upper strip and one slider step per frame.
bool ShowsMovie(HWND main, const std::wstring& title, LRESULT frames) {
    return ItemText(main, IDC_VIEW_BAR) == title &&
           Ask(::GetDlgItem(main, IDC_FRAME_SLIDER), TBM_GETRANGEMAX) == frames &&
           ::IsWindowEnabled(::GetDlgItem(main, IDC_SPEED));
}

// The frame settings dialog of a freshly read strip: frame height 48 typed in, then OK.
void ChooseFrameHeight(DWORD pid, int timeoutMs) {
    HWND settings = WaitForDialog(pid, kFrameSettingsTitle, {IDC_FRAME_HEIGHT}, timeoutMs);
    ASSERT_NE(nullptr, settings) << "no frame settings dialog";
    TypeInto(settings, IDC_FRAME_HEIGHT, L"48");
    EXPECT_EQ(L"12", ItemText(settings, IDC_FRAME_COUNT));
    Press(settings, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return FindDialog(pid, kFrameSettingsTitle) == nullptr; }));
}

// Runs the open or save command of a window up to the chosen file: in the common file dialog the
// file type (1-based, as the filter index counts; Wine takes it on CBN_SELENDOK) and the full
// path in the name field (cmb13 on Windows, edt1 in Wine's template), then Open or Save.
void ChooseThroughDialog(HWND main, int command, const std::wstring& path, int filterIndex = 1) {
    Press(main, command);
    HWND dialog = WaitForDialog(ProcessOf(main), command == ID_FILE_OPEN ? kOpenTitle : kSaveTitle,
                                {edt1, cmb13});
    ASSERT_NE(nullptr, dialog) << "no file dialog";
    HWND types = ::GetDlgItem(dialog, cmb1);
    Ask(types, CB_SETCURSEL, WPARAM(filterIndex - 1));
    for (WORD code : {WORD(CBN_SELENDOK), WORD(CBN_SELCHANGE)}) {
        Ask(dialog, WM_COMMAND, MAKEWPARAM(cmb1, code), LPARAM(types));
    }
    TypeInto(dialog, ::GetDlgItem(dialog, cmb13) ? cmb13 : edt1, path);
    Press(dialog, IDOK);
}

// Saves through the save dialog and waits until the file is there and the window is back.
void SaveThroughDialog(HWND main, const std::wstring& path, int filterIndex) {
    const DWORD pid = ProcessOf(main);
    ChooseThroughDialog(main, ID_FILE_SAVE_AS, path, filterIndex);
    EXPECT_TRUE(WaitUntil([&] {
        return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
               FindDialog(pid, kSaveTitle) == nullptr && ::IsWindowEnabled(main);
    }));
    EXPECT_EQ(nullptr, FindDialog(pid, kMessageCaption)) << "a message box is up";
}

std::wstring FrameNumber(HWND main) {
    return ItemText(main, IDC_FRAME_NUMBER);
}

TEST(OpenSaveCycle, StripToAviToCompressedBitmapMatchesTheConverter) {
    SettingsSetAside settings;
    WorkFolder folder;
    const std::wstring strip = folder.File(L"walker.bmp");
    RunningCopy first;
    ASSERT_TRUE(first.Start(Quoted(WindowsPath(KX_PROGRAM)) + L" " + Quoted(strip) + L" /n",
                            folder.Path()));
    ChooseFrameHeight(first.Pid(), kFirstWindowMs);
    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        main = first.MainWindow();
        return main != nullptr && ShowsMovie(main, L"walker", 12);
    })) << "the strip is not shown as a movie of 12 frames";

    EXPECT_EQ(L"1", FrameNumber(main));
    Press(main, ID_NEXT_FRAME);
    EXPECT_TRUE(WaitUntil([&] { return FrameNumber(main) == L"2"; })) << FrameNumber(main);
    Press(main, ID_PREV_FRAME);
    Press(main, ID_PREV_FRAME);
    EXPECT_TRUE(WaitUntil([&] { return FrameNumber(main) == L"12"; })) << FrameNumber(main);

    // A new speed typed while a movie is shown is what the saved file carries.
    TypeInto(main, IDC_SPEED, L"80");
    Press(main, ID_PLAY_PAUSE);
    std::vector<std::wstring> seen{FrameNumber(main)};
    EXPECT_TRUE(WaitUntil([&] {
        if (seen.back() != FrameNumber(main)) {
            seen.push_back(FrameNumber(main));
        }
        return seen.size() >= 4;
    })) << "playback shows no new frames";

    // Saved while playing: the flow stops playback around its dialog and starts it again, and
    // the window then names the saved file.
    const std::wstring avi = folder.File(L"walker-app.avi");
    SaveThroughDialog(main, avi, 1);
    EXPECT_TRUE(WaitUntil([&] { return ItemText(main, IDC_VIEW_BAR) == L"walker-app"; }))
        << ItemText(main, IDC_VIEW_BAR);
    const std::wstring afterSave = FrameNumber(main);
    EXPECT_TRUE(WaitUntil([&] { return FrameNumber(main) != afterSave; }))
        << "playback did not go on after the save";
    Press(main, ID_PLAY_PAUSE);

    const std::wstring cliAvi = folder.File(L"walker-cli.avi");
    ASSERT_EQ(0, Converter(folder, Quoted(strip) + L" " + Quoted(cliAvi) +
                                       L" --frame-height 48 --speed 80"));
    EXPECT_EQ("", Difference(ReadBytes(cliAvi), ReadBytes(avi)));

    // Opening while a movie is shown starts a second copy for the file; this one keeps its movie.
    ChooseThroughDialog(main, ID_FILE_OPEN, avi);
    HWND secondMain = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (HWND window : DialogsOf(kMainTitle)) {
                secondMain = ProcessOf(window) != first.Pid() ? window : secondMain;
            }
            return secondMain != nullptr;
        },
        kFirstWindowMs))
        << "no second copy started";
    RunningCopy second;
    ASSERT_TRUE(second.Adopt(secondMain));
    for (HWND window : {secondMain, main}) {
        EXPECT_TRUE(WaitUntil([&] { return ShowsMovie(window, L"walker-app", 12); }))
            << (window == main ? "first" : "second") << " copy: " << ItemText(window, IDC_VIEW_BAR);
    }
    EXPECT_EQ(L"80", ItemText(secondMain, IDC_SPEED));
    EXPECT_EQ(nullptr, FindDialog(second.Pid(), kMessageCaption)) << "a message box is up";

    const std::wstring rle = folder.File(L"walker-app.bmp");
    SaveThroughDialog(secondMain, rle, 3);
    const std::wstring cliRle = folder.File(L"walker-cli.bmp");
    ASSERT_EQ(0, Converter(folder, Quoted(avi) + L" " + Quoted(cliRle) + L" --rle"));
    EXPECT_EQ("", Difference(ReadBytes(cliRle), ReadBytes(rle)));
}

TEST(OpenSaveCycle, TrueColourBitmapIsRefusedAndTheWindowStaysUsable) {
    SettingsSetAside settings;
    WorkFolder folder;
    // A bitmap of 2 x 2 pixels with 24 bits per pixel: the program reads palette pictures only.
    const std::wstring trueColour = folder.File(L"true-colour.bmp");
    const uint8_t header[54] = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
        40,  0,   0,  0, 2, 0, 0, 0, 2, 0, 0,  0, 1, 0,
        24,  0,   0,  0, 0, 0, 16};  // info header: 2 x 2, 1 plane, 24 bits, 16 bytes of pixels
    std::ofstream(trueColour.c_str(), std::ios::binary)
        .write(reinterpret_cast<const char*>(header), 54)
        .write(std::string(16, '\xFF').data(), 16);

    RunningCopy copy;
    ASSERT_TRUE(copy.Start(Quoted(WindowsPath(KX_PROGRAM)) + L" /n", folder.Path()));
    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (main = copy.MainWindow()) != nullptr; }, kFirstWindowMs));

    ChooseThroughDialog(main, ID_FILE_OPEN, trueColour);
    HWND box = WaitForDialog(copy.Pid(), kMessageCaption);
    ASSERT_NE(nullptr, box) << "no message box";
    EXPECT_EQ(L"読み込みに失敗しました", StaticTexts(box));
    Press(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] {
        return FindDialog(copy.Pid(), kMessageCaption) == nullptr && ::IsWindowEnabled(main);
    }));
    EXPECT_EQ(L"", ItemText(main, IDC_VIEW_BAR));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main, IDC_SPEED)));

    // The window still opens a strip itself: no movie is shown, so no second copy is started.
    ChooseThroughDialog(main, ID_FILE_OPEN, folder.File(L"walker.bmp"));
    ChooseFrameHeight(copy.Pid(), 20000);
    EXPECT_TRUE(WaitUntil([&] { return ShowsMovie(main, L"walker", 12); }));
    for (HWND window : DialogsOf(kMainTitle)) {
        EXPECT_EQ(copy.Pid(), ProcessOf(window)) << "another copy was started";
    }
}

}  // namespace
}  // namespace kx::e2e
