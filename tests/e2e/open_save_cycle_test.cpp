// The whole cycle from the window, driven from outside the program as a user would: a strip
// named on the command line, the frame height typed into the frame settings dialog, stepping and
// playing, Save as an AVI through the save dialog, that AVI opened again (which starts a second
// copy while a movie is shown) and saved as a compressed bitmap. Each saved file must hold the
// bytes the converter writes for the same input, frame height and speed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "e2e/window_driver.h"

namespace kx::e2e {
namespace {

constexpr wchar_t kMainTitle[] = L"Pelmor Kinetrix";
constexpr wchar_t kFrameSettingsTitle[] = L"フレームの設定";
constexpr wchar_t kOpenTitle[] = L"画像の読み込み";
constexpr wchar_t kSaveTitle[] = L"ファイルの保存";
constexpr wchar_t kMessageCaption[] = L"Kinetrix";

// Controls and commands of the program's windows.
constexpr int kFrameHeightField = 1021;
constexpr int kFrameCountField = 1036;
constexpr int kFrameSlider = 1008;
constexpr int kFrameNumberField = 1009;
constexpr int kSpeedField = 1010;
constexpr int kViewBar = 1050;
constexpr int kOpen = 32771;
constexpr int kSaveAs = 32773;
constexpr int kPlayPause = 32774;
constexpr int kPreviousFrame = 32777;
constexpr int kNextFrame = 32778;

// A first start in a fresh Wine prefix takes much longer than the next ones.
constexpr int kFirstWindowMs = 90000;

// The program's settings in the prefix's registry: put aside before the test, so that it starts
// from the defaults, and put back afterwards, whatever the program wrote meanwhile. Settings a
// test that ended early left aside are put back, not overwritten.
class SettingsSetAside {
public:
    SettingsSetAside() {
        if (!Move(kSettings, kAside)) {
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettings);
        }
    }
    ~SettingsSetAside() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettings);
        Move(kAside, kSettings);
    }

private:
    static constexpr wchar_t kSettings[] = L"Software\\Pelmor Soft. Lab.\\Kinetrix";
    static constexpr wchar_t kAside[] = L"Software\\Pelmor Soft. Lab.\\Kinetrix set aside";

    // Replaces the key to by the key from, when from exists and to does not yet.
    static bool Move(const wchar_t* from, const wchar_t* to) {
        HKEY source = nullptr;
        HKEY target = nullptr;
        DWORD created = 0;
        bool moved = false;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, from, 0, KEY_READ, &source) == ERROR_SUCCESS) {
            if (::RegCreateKeyExW(HKEY_CURRENT_USER, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &target, &created) == ERROR_SUCCESS) {
                moved = created == REG_CREATED_NEW_KEY &&
                        ::RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
                ::RegCloseKey(target);
            }
            ::RegCloseKey(source);
        }
        if (moved) {
            ::RegDeleteTreeW(HKEY_CURRENT_USER, from);
        }
        return moved;
    }
};

// A folder of its own for each test, removed with everything in it afterwards.
class WorkFolder {
public:
    WorkFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("kx-e2e-" + std::to_string(::GetCurrentProcessId()))) {
        std::filesystem::create_directories(path_);
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

std::wstring Program() {
    return WindowsPath(KX_PROGRAM);
}

int Converter(const WorkFolder& folder, const std::wstring& arguments) {
    return RunToEnd(L"\"" + WindowsPath(KX_CLI) + L"\" convert " + arguments + L" --quiet",
                    folder.Path());
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// A movie is shown: the file title on the upper strip and one slider step per frame.
bool ShowsMovie(HWND main, const std::wstring& title, LRESULT frames) {
    return ItemText(main, kViewBar) == title &&
           Ask(::GetDlgItem(main, kFrameSlider), TBM_GETRANGEMAX) == frames &&
           ::IsWindowEnabled(::GetDlgItem(main, kSpeedField));
}

// The frame settings dialog of a freshly read strip: frame height typed in, then OK.
void ChooseFrameHeight(DWORD pid, const std::wstring& height, const std::wstring& count,
                       int timeoutMs) {
    HWND settings = WaitForDialog(pid, kFrameSettingsTitle, kFrameHeightField, timeoutMs);
    ASSERT_NE(nullptr, settings) << "no frame settings dialog";
    TypeInto(settings, kFrameHeightField, height);
    EXPECT_EQ(count, ItemText(settings, kFrameCountField));
    Press(settings, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return FindDialog(pid, kFrameSettingsTitle) == nullptr; }));
}

// Runs the save flow of a window: the save dialog, a name and a file type, Save; waits until
// the file is there and the window is back.
void SaveThroughDialog(HWND main, const std::wstring& path, int filterIndex) {
    const DWORD pid = ProcessOf(main);
    Command(main, kSaveAs);
    HWND dialog = WaitForFileDialog(pid, kSaveTitle);
    ASSERT_NE(nullptr, dialog) << "no save dialog";
    ChooseFile(dialog, path, filterIndex);
    EXPECT_TRUE(WaitUntil([&] {
        return FileExists(path) && FindDialog(pid, kSaveTitle) == nullptr &&
               ::IsWindowEnabled(main);
    }));
    EXPECT_EQ(nullptr, FindDialog(pid, kMessageCaption)) << "a message box is up";
}

// Runs the open command of a window up to the chosen file.
void OpenThroughDialog(HWND main, const std::wstring& path) {
    const DWORD pid = ProcessOf(main);
    Command(main, kOpen);
    HWND dialog = WaitForFileDialog(pid, kOpenTitle);
    ASSERT_NE(nullptr, dialog) << "no open dialog";
    ChooseFile(dialog, path);
}

// The frame number shown in the main window.
std::wstring FrameNumber(HWND main) {
    return ItemText(main, kFrameNumberField);
}

TEST(OpenSaveCycle, StripToAviToCompressedBitmapMatchesTheConverter) {
    SettingsSetAside settings;
    WorkFolder folder;
    const std::wstring strip = folder.File(L"walker.bmp");
    ASSERT_TRUE(::CopyFileW(WindowsPath(KX_SOURCE_DIR "/samples/walker.bmp").c_str(), strip.c_str(),
                            FALSE));

    RunningCopy first;
    ASSERT_TRUE(first.Start(Program(), Quoted(strip) + L" /n", folder.Path()));
    ChooseFrameHeight(first.Pid(), L"48", L"12", kFirstWindowMs);
    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        main = first.MainWindow();
        return main != nullptr && ShowsMovie(main, L"walker", 12);
    })) << "the strip is not shown as a movie of 12 frames";

    EXPECT_EQ(L"1", FrameNumber(main));
    Command(main, kNextFrame);
    EXPECT_TRUE(WaitUntil([&] { return FrameNumber(main) == L"2"; })) << FrameNumber(main);
    Command(main, kPreviousFrame);
    Command(main, kPreviousFrame);
    EXPECT_TRUE(WaitUntil([&] { return FrameNumber(main) == L"12"; })) << FrameNumber(main);

    // A new speed typed while a movie is shown is what the saved file carries.
    TypeInto(main, kSpeedField, L"80");
    Command(main, kPlayPause);
    std::vector<std::wstring> seen{FrameNumber(main)};
    EXPECT_TRUE(WaitUntil([&] {
        if (seen.back() != FrameNumber(main)) {
            seen.push_back(FrameNumber(main));
        }
        return seen.size() >= 4;
    })) << "playback shows no new frames";

    // Saved while playing: the flow stops playback around its dialog and starts it again.
    const std::wstring avi = folder.File(L"walker-app.avi");
    SaveThroughDialog(main, avi, 1);
    // The window now names the saved file.
    EXPECT_TRUE(WaitUntil([&] { return ItemText(main, kViewBar) == L"walker-app"; }))
        << ItemText(main, kViewBar);
    const std::wstring afterSave = FrameNumber(main);
    EXPECT_TRUE(WaitUntil([&] { return FrameNumber(main) != afterSave; }))
        << "playback did not go on after the save";
    Command(main, kPlayPause);

    const std::wstring cliAvi = folder.File(L"walker-cli.avi");
    ASSERT_EQ(0, Converter(folder, Quoted(strip) + L" " + Quoted(cliAvi) +
                                       L" --frame-height 48 --speed 80"));
    EXPECT_EQ("", Difference(ReadBytes(cliAvi), ReadBytes(avi)));

    // Opening while a movie is shown starts a second copy for the file; this one keeps its movie.
    OpenThroughDialog(main, avi);
    HWND secondMain = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (HWND window : DialogsOf(0, kMainTitle)) {
                if (ProcessOf(window) != first.Pid()) {
                    secondMain = window;
                }
            }
            return secondMain != nullptr;
        },
        kFirstWindowMs))
        << "no second copy started";
    RunningCopy second;
    ASSERT_TRUE(second.Adopt(secondMain));
    EXPECT_TRUE(WaitUntil([&] { return ShowsMovie(secondMain, L"walker-app", 12); }))
        << "second copy shows \"" << ItemText(secondMain, kViewBar) << "\" with "
        << Ask(::GetDlgItem(secondMain, kFrameSlider), TBM_GETRANGEMAX) << " frames";
    EXPECT_EQ(L"80", ItemText(secondMain, kSpeedField));
    // The first copy answers again once the shell has started the second one.
    EXPECT_TRUE(WaitUntil([&] { return ShowsMovie(main, L"walker-app", 12); }))
        << "the first copy shows \"" << ItemText(main, kViewBar) << "\" with "
        << Ask(::GetDlgItem(main, kFrameSlider), TBM_GETRANGEMAX) << " frames";
    EXPECT_EQ(nullptr, FindDialog(second.Pid(), kMessageCaption)) << "a message box is up";

    const std::wstring rle = folder.File(L"walker-app.bmp");
    SaveThroughDialog(secondMain, rle, 3);
    const std::wstring cliRle = folder.File(L"walker-cli.bmp");
    ASSERT_EQ(0, Converter(folder, Quoted(avi) + L" " + Quoted(cliRle) + L" --rle"));
    EXPECT_EQ("", Difference(ReadBytes(cliRle), ReadBytes(rle)));
}

// A bitmap of 2 x 2 pixels with 24 bits per pixel: the program reads palette pictures only.
std::vector<uint8_t> TrueColourBitmap() {
    std::vector<uint8_t> bytes;
    auto put = [&bytes](uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            bytes.push_back(uint8_t(value >> (8 * i)));
        }
    };
    put('B' | 'M' << 8, 2);  // file type
    put(14 + 40 + 16, 4);    // file size
    put(0, 4);               // reserved
    put(14 + 40, 4);         // offset of the pixels
    put(40, 4);              // info header size
    put(2, 4);               // width
    put(2, 4);               // height
    put(1, 2);               // planes
    put(24, 2);              // bits per pixel
    put(0, 4);               // no compression
    put(16, 4);              // image size: two rows of 6 bytes padded to 8
    put(0, 4 * 4);           // resolution and colour counts
    put(0x00FF0000, 4 * 4);  // pixels
    return bytes;
}

TEST(OpenSaveCycle, TrueColourBitmapIsRefusedAndTheWindowStaysUsable) {
    SettingsSetAside settings;
    WorkFolder folder;
    const std::wstring trueColour = folder.File(L"true-colour.bmp");
    WriteBytes(trueColour, TrueColourBitmap());
    const std::wstring strip = folder.File(L"walker.bmp");
    ASSERT_TRUE(::CopyFileW(WindowsPath(KX_SOURCE_DIR "/samples/walker.bmp").c_str(), strip.c_str(),
                            FALSE));

    RunningCopy copy;
    ASSERT_TRUE(copy.Start(Program(), L"/n", folder.Path()));
    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (main = copy.MainWindow()) != nullptr; }, kFirstWindowMs));

    OpenThroughDialog(main, trueColour);
    HWND box = WaitForDialog(copy.Pid(), kMessageCaption);
    ASSERT_NE(nullptr, box) << "no message box";
    EXPECT_EQ(L"読み込みに失敗しました", StaticTexts(box));
    Press(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] {
        return FindDialog(copy.Pid(), kMessageCaption) == nullptr && ::IsWindowEnabled(main);
    }));
    EXPECT_EQ(L"", ItemText(main, kViewBar));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main, kSpeedField)));

    // The window still opens a strip itself: no movie is shown, so no second copy is started.
    OpenThroughDialog(main, strip);
    ChooseFrameHeight(copy.Pid(), L"48", L"12", 20000);
    EXPECT_TRUE(WaitUntil([&] { return ShowsMovie(main, L"walker", 12); }));
    for (HWND window : DialogsOf(0, kMainTitle)) {
        EXPECT_EQ(copy.Pid(), ProcessOf(window)) << "another copy was started";
    }
}

}  // namespace
}  // namespace kx::e2e
