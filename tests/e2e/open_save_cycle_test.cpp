// The program driven from another process as a user would: windows found by class, title and
// process, fields typed, buttons and commands posted, all polled with a deadline. Each saved file
// must hold the bytes the converter writes for the same input.
#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "resources/resource.h"
#include "support/build_paths.h"
#include "support/program_driver.h"
#include "support/same_bytes.h"
#include "support/source_dir.h"

namespace kx::e2e {
namespace {

constexpr wchar_t kMainTitle[] = L"Pelmor Kinetrix";
constexpr wchar_t kFrameSettingsTitle[] = L"フレームの設定";
constexpr wchar_t kMessageCaption[] = L"Kinetrix";
// A first start in a fresh Wine prefix takes much longer than the next ones.
constexpr int kFirstWindowMs = 90000;

using test::Quoted;
using test::WaitUntil;
using test::WindowsPath;

// Sends a message that may cross processes; 0 when the window does not answer.
LRESULT Ask(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, msg, wParam, lParam, SMTO_NORMAL, 5000, &result);
    return LRESULT(result);
}

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[256] = L"";
    Ask(id == 0 ? dialog : ::GetDlgItem(dialog, id), WM_GETTEXT, 256, LPARAM(text));
    return text;
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

// A visible dialog with this title that holds control id (0: any) of the process pid, or of
// another process.
HWND FindDialog(DWORD pid, const wchar_t* title, int id = 0, bool otherProcess = false) {
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"#32770", title)) != nullptr;) {
        if (::IsWindowVisible(w) && (ProcessOf(w) == pid) != otherProcess &&
            (id == 0 || ::GetDlgItem(w, id) != nullptr)) {
            return w;
        }
    }
    return nullptr;
}

HWND WaitForDialog(DWORD pid, const wchar_t* title, int id = 0, int timeoutMs = 20000) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(pid, title, id)) != nullptr; }, timeoutMs);
    return found;
}

std::string FileBytes(const std::wstring& file) {
    std::ifstream in(file.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A copy of a program, started or adopted; at the end closed through its main window, or ended
// when it does not close in time (say under a dialog a failed check left open).
struct RunningCopy {
    HANDLE process = nullptr;
    DWORD pid = 0;
    DWORD startError = 0;  // why the process could not be made

    RunningCopy(const std::wstring& commandLine, const std::wstring& directory) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring line = commandLine;
        if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             directory.c_str(), &startup, &info)) {
            ::CloseHandle(info.hThread);
            process = info.hProcess;
            pid = info.dwProcessId;
        } else {
            startError = ::GetLastError();
        }
    }
    explicit RunningCopy(DWORD adopted)
        : process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, adopted)), pid(adopted) {}
    RunningCopy(const RunningCopy&) = delete;
    ~RunningCopy() {
        if (process == nullptr) {
            return;
        }
        if (HWND main = FindDialog(pid, kMainTitle)) {
            ::PostMessageW(main, WM_CLOSE, 0, 0);
        }
        if (::WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process, 1);
            ::WaitForSingleObject(process, 5000);
        }
        ::CloseHandle(process);
    }
};

// The program's settings renamed aside so that it starts from the defaults (and put back after),
// and a folder of its own with a copy of the sample strip.
class OpenSaveCycle : public ::testing::Test {
protected:
    static constexpr wchar_t kSettings[] = L"Software\\Pelmor Soft. Lab.\\Kinetrix";
    static constexpr wchar_t kAside[] = L"Software\\Pelmor Soft. Lab.\\Kinetrix set aside";

    OpenSaveCycle() {
        if (::RegRenameKey(HKEY_CURRENT_USER, kSettings, L"Kinetrix set aside") != ERROR_SUCCESS) {
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettings);
        }
        std::filesystem::create_directories(folder_);
        EXPECT_TRUE(::CopyFileW(
            WindowsPath((kx::test::SourceDir() / "samples" / "walker.bmp").string()).c_str(),
            File(L"walker.bmp").c_str(), FALSE));
    }
    ~OpenSaveCycle() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettings);
        ::RegRenameKey(HKEY_CURRENT_USER, kAside, L"Kinetrix");
    }

    std::wstring File(const wchar_t* name) const { return (folder_ / name).wstring(); }

    // The converter's exit code; -1 when it could not run or took too long, which is said.
    int Convert(const std::wstring& arguments) const {
        RunningCopy cli(
            Quoted(WindowsPath(test::BuildPath("cli"))) + L" convert " + arguments + L" --quiet",
            folder_.wstring());
        if (cli.process == nullptr) {
            ADD_FAILURE() << "the converter did not start: error " << cli.startError;
            return -1;
        }
        DWORD code = DWORD(-1);
        const DWORD waited = ::WaitForSingleObject(cli.process, 60000);
        if (waited != WAIT_OBJECT_0 || !::GetExitCodeProcess(cli.process, &code)) {
            ADD_FAILURE() << "the converter did not end within 60 s (wait " << waited << ", error "
                          << ::GetLastError() << ")";
            return -1;
        }
        return int(code);
    }

private:
    std::filesystem::path folder_ = std::filesystem::temp_directory_path() /
                                    ("kx-e2e-" + std::to_string(::GetCurrentProcessId()));
};

// A movie is shown: the file title on the upper strip and one slider step per frame.
bool ShowsMovie(HWND main, const std::wstring& title) {
    return ItemText(main, IDC_VIEW_BAR) == title &&
           Ask(::GetDlgItem(main, IDC_FRAME_SLIDER), TBM_GETRANGEMAX) == 12 &&
           ::IsWindowEnabled(::GetDlgItem(main, IDC_SPEED));
}

// The frame settings dialog of a freshly read strip: frame height 48 typed in, then OK.
void ChooseFrameHeight(DWORD pid, int timeoutMs) {
    HWND settings = WaitForDialog(pid, kFrameSettingsTitle, IDC_FRAME_HEIGHT, timeoutMs);
    ASSERT_NE(nullptr, settings) << "no frame settings dialog";
    TypeInto(settings, IDC_FRAME_HEIGHT, L"48");
    EXPECT_EQ(L"12", ItemText(settings, IDC_FRAME_COUNT));
    Press(settings, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return FindDialog(pid, kFrameSettingsTitle) == nullptr; }));
}

// Runs the open or save command up to the chosen file: in the common file dialog the file type
// (1-based as the filter index; Wine takes it on CBN_SELENDOK) and the full path typed in the
// name field (cmb13 on Windows, edt1 in Wine's template), then Open or Save.
void ChooseThroughDialog(HWND main, int command, const std::wstring& path, int filterIndex = 1) {
    Press(main, command);
    HWND dialog = WaitForDialog(
        ProcessOf(main), command == ID_FILE_OPEN ? L"画像の読み込み" : L"ファイルの保存", cmb1);
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
    ChooseThroughDialog(main, ID_FILE_SAVE_AS, path, filterIndex);
    EXPECT_TRUE(WaitUntil([&] {
        return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
               ::IsWindowEnabled(main) && FindDialog(ProcessOf(main), L"ファイルの保存") == nullptr;
    }));
    EXPECT_EQ(nullptr, FindDialog(ProcessOf(main), kMessageCaption)) << "a message box is up";
}

TEST_F(OpenSaveCycle, StripToAviToCompressedBitmapMatchesTheConverter) {
    const std::wstring strip = File(L"walker.bmp");
    RunningCopy first(
        Quoted(WindowsPath(test::BuildPath("program"))) + L" " + Quoted(strip) + L" /n", File(L""));
    ChooseFrameHeight(first.pid, kFirstWindowMs);
    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        return (main = FindDialog(first.pid, kMainTitle)) != nullptr && ShowsMovie(main, L"walker");
    })) << "the strip is not shown as a movie of 12 frames";

    auto frame = [&] { return ItemText(main, IDC_FRAME_NUMBER); };
    EXPECT_EQ(L"1", frame());
    Press(main, ID_NEXT_FRAME);
    EXPECT_TRUE(WaitUntil([&] { return frame() == L"2"; })) << frame();
    Press(main, ID_PREV_FRAME);
    Press(main, ID_PREV_FRAME);
    EXPECT_TRUE(WaitUntil([&] { return frame() == L"12"; })) << frame();

    // A new speed typed while a movie is shown is what the saved file carries.
    TypeInto(main, IDC_SPEED, L"80");
    Press(main, ID_PLAY_PAUSE);
    std::wstring last = frame();
    int changes = 0;
    EXPECT_TRUE(WaitUntil([&] {
        changes += frame() != last ? 1 : 0;
        last = frame();
        return changes >= 3;
    })) << "playback shows no new frames";

    // Saved while playing; the window then names the saved file.
    const std::wstring avi = File(L"walker-app.avi");
    SaveThroughDialog(main, avi, 1);
    EXPECT_TRUE(WaitUntil([&] { return ItemText(main, IDC_VIEW_BAR) == L"walker-app"; }))
        << ItemText(main, IDC_VIEW_BAR);
    Press(main, ID_PLAY_PAUSE);
    const std::wstring cliAvi = File(L"walker-cli.avi");
    ASSERT_EQ(0, Convert(Quoted(strip) + L" " + Quoted(cliAvi) + L" --frame-height 48 --speed 80"));
    EXPECT_TRUE(test::SameBytes(FileBytes(cliAvi), FileBytes(avi)));

    // Opening while a movie is shown starts a second copy for the file; this one keeps its movie.
    ChooseThroughDialog(main, ID_FILE_OPEN, avi);
    HWND secondMain = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (secondMain = FindDialog(first.pid, kMainTitle, 0, true)) != nullptr; },
        kFirstWindowMs))
        << "no second copy started";
    RunningCopy second(ProcessOf(secondMain));
    for (HWND window : {secondMain, main}) {
        EXPECT_TRUE(WaitUntil([&] { return ShowsMovie(window, L"walker-app"); }))
            << (window == main ? "first" : "second") << " copy: " << ItemText(window, IDC_VIEW_BAR);
    }
    EXPECT_EQ(L"80", ItemText(secondMain, IDC_SPEED));
    const std::wstring rle = File(L"walker-app.bmp");
    SaveThroughDialog(secondMain, rle, 3);
    const std::wstring cliRle = File(L"walker-cli.bmp");
    ASSERT_EQ(0, Convert(Quoted(avi) + L" " + Quoted(cliRle) + L" --rle"));
    EXPECT_TRUE(test::SameBytes(FileBytes(cliRle), FileBytes(rle)));

    // The fourth file type, GIF: playing for ever as the repeat setting says.
    const std::wstring gif = File(L"walker-app.gif");
    SaveThroughDialog(secondMain, gif, 4);
    const std::wstring cliGif = File(L"walker-cli.gif");
    ASSERT_EQ(0, Convert(Quoted(avi) + L" " + Quoted(cliGif) + L" --loop 0"));
    EXPECT_TRUE(test::SameBytes(FileBytes(cliGif), FileBytes(gif)));

    // The fifth, APNG, the same way.
    const std::wstring apng = File(L"walker-app.png");
    SaveThroughDialog(secondMain, apng, 5);
    const std::wstring cliApng = File(L"walker-cli.png");
    ASSERT_EQ(0, Convert(Quoted(avi) + L" " + Quoted(cliApng) + L" --loop 0"));
    EXPECT_TRUE(test::SameBytes(FileBytes(cliApng), FileBytes(apng)));
}

TEST_F(OpenSaveCycle, TrueColourBitmapIsRefusedAndTheWindowStaysUsable) {
    // 2 x 2 pixels of 24 bits: file header, info header (1 plane, 24 bits, 16 bytes of pixels).
    const std::wstring trueColour = File(L"true-colour.bmp");
    const char header[54] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0,
                             2,   0,   0,  0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0,  0, 16};
    std::ofstream(trueColour.c_str(), std::ios::binary)
        .write(header, 54)
        .write(std::string(16, '\xFF').data(), 16);
    RunningCopy copy(Quoted(WindowsPath(test::BuildPath("program"))) + L" /n", File(L""));
    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (main = FindDialog(copy.pid, kMainTitle)) != nullptr; },
                          kFirstWindowMs));

    ChooseThroughDialog(main, ID_FILE_OPEN, trueColour);
    HWND box = WaitForDialog(copy.pid, kMessageCaption);
    ASSERT_NE(nullptr, box) << "no message box";
    std::wstring texts;  // the static controls of a message box: its text
    for (HWND c = nullptr; (c = ::FindWindowExW(box, c, L"Static", nullptr)) != nullptr;) {
        texts += ItemText(c, 0);
    }
    EXPECT_EQ(L"読み込みに失敗しました", texts);
    Press(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] {
        return FindDialog(copy.pid, kMessageCaption) == nullptr && ::IsWindowEnabled(main);
    }));
    EXPECT_EQ(L"", ItemText(main, IDC_VIEW_BAR));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main, IDC_SPEED)));

    // The window still opens a strip itself: no movie is shown, so no second copy is started.
    ChooseThroughDialog(main, ID_FILE_OPEN, File(L"walker.bmp"));
    ChooseFrameHeight(copy.pid, 20000);
    EXPECT_TRUE(WaitUntil([&] { return ShowsMovie(main, L"walker"); }));
    EXPECT_EQ(nullptr, FindDialog(copy.pid, kMainTitle, 0, true)) << "another copy was started";
}

}  // namespace
}  // namespace kx::e2e
