// The open and save flows of the main window with real files and dialogs: message, icon and state
// each way out of a flow leaves; what opening beside a movie hands the shell; dropped files.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window_fixture.h"
#include "support/source_dir.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;

// The sample strip is 576 rows high: the answered frame height of 48 gives 12 frames.
constexpr int32_t kSampleFrames = 12;

// Answers a flow's dialogs: Cancel on the n-th progress window (1-based, 0: none) at its first
// report; the frame settings dialog gets the frame height typed and OK or Escape.
struct DialogAnswers {
    int cancelProgress = 0;
    bool frameSettingsOk = true;
    int progressWindows = 0;
};
DialogAnswers* g_answers = nullptr;

LRESULT CALLBACK AnswerDialogs(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_answers != nullptr && sent->message == WM_INITDIALOG) {
        if (HWND cancel = ::GetDlgItem(sent->hwnd, IDC_PROGRESS_CANCEL)) {
            if (++g_answers->progressWindows == g_answers->cancelProgress) {
                ::PostMessageW(sent->hwnd, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED),
                               LPARAM(cancel));
            }
        } else if (::SetDlgItemTextW(sent->hwnd, IDC_FRAME_HEIGHT, L"48")) {
            ::PostMessageW(sent->hwnd, WM_COMMAND, g_answers->frameSettingsOk ? IDOK : IDCANCEL, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

template <class Action>
void Answered(DialogAnswers answers, Action action) {
    HHOOK hook =
        ::SetWindowsHookExW(WH_CALLWNDPROCRET, &AnswerDialogs, nullptr, ::GetCurrentThreadId());
    g_answers = &answers;
    action();
    g_answers = nullptr;
    ::UnhookWindowsHookEx(hook);
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A folder with the files the rows open: the sample strip, AVI movies of it at 80, 100 and 0.5 ms
// a frame, and files too short or of no known type (B without M under an AVI name).
class FlowFiles {
public:
    FlowFiles()
        : root_(fs::temp_directory_path() / ("kx-flows-" + std::to_string(::GetTickCount()))) {
        const fs::path sample = kx::test::SourceDir() / "samples" / "walker.bmp";
        fs::create_directories(root_ / "folder.avi");
        fs::copy_file(sample, root_ / "walker.bmp");
        for (int32_t speed : {80, 100}) {
            CAnimationDocument doc;
            EXPECT_EQ(1, doc.LoadBitmapStrip(nullptr, sample, speed));
            EXPECT_EQ(1, doc.ComposeFromStrip(nullptr, 48));
            EXPECT_EQ(1,
                      doc.SaveAvi(nullptr, root_ / (speed == 80 ? "walker.avi" : "reference.avi")));
        }
        // The sample as an animated GIF, and its first frame alone as a GIF of one picture.
        CAnimationDocument gif;
        EXPECT_EQ(1, gif.LoadBitmapStrip(nullptr, sample, 70));
        EXPECT_EQ(1, gif.ComposeFromStrip(nullptr, 48));
        EXPECT_EQ(1, gif.SaveGif(nullptr, root_ / "walker.gif", {}));
        gif.frameCount = 1;
        EXPECT_EQ(1, gif.SaveGif(nullptr, root_ / "still.gif", {}));
        // And as an animated PNG, and its first frame alone as a PNG still.
        gif.frameCount = kSampleFrames;
        EXPECT_EQ(1, gif.SaveApng(nullptr, root_ / "walker.png", {}));
        gif.frameCount = 1;
        EXPECT_EQ(1, gif.SaveApng(nullptr, root_ / "still.png", {}));
        // The main header's microseconds per frame (bytes 32 to 35) set to 500.
        const std::pair<const char*, std::string> written[] = {
            {"fast.avi", ReadBytes(root_ / "walker.avi").replace(32, 4, "\xF4\x01\0\0", 4)},
            {"only-bm.bmp", "BM"},
            {"b-not-m.avi", "BA and more"}};
        for (const auto& [name, bytes] : written) {
            std::ofstream(root_ / name, std::ios::binary) << bytes;
        }
    }
    ~FlowFiles() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::wstring operator()(const wchar_t* name) const { return (root_ / name).wstring(); }

private:
    fs::path root_;
};

// A message as its text and type, from its string id and type; id 0 for none.
std::pair<std::wstring, UINT> Message(std::pair<UINT, UINT> m) {
    return {m.first != 0 ? LoadStringResource(m.first) : L"", m.second};
}

constexpr std::pair<UINT, UINT> kNone{0, 0};
constexpr std::pair<UINT, UINT> kReadFailed{IDS_READ_FAILED, MB_ICONHAND};
constexpr std::pair<UINT, UINT> kUnknownType{IDS_UNKNOWN_FILE_TYPE, MB_ICONHAND};
constexpr std::pair<UINT, UINT> kReadStopped{IDS_READ_CANCELLED, MB_OK};
constexpr std::pair<UINT, UINT> kComposeStopped{IDS_COMPOSE_CANCELLED, MB_ICONHAND};

TEST_F(MainWindowTest, OpenRowsGiveTheirMessageAndState) {
    constexpr auto kDialog = FileSource::OpenDialog;
    struct Case {
        const char* name;
        const wchar_t* file;
        FileSource source;
        DialogAnswers answers;
        std::pair<UINT, UINT> message;  // string id and type
        int32_t state;
        bool pathIsFile;  // path names the file afterwards (else it stays as it was)
        int32_t speed;    // the speed field afterwards; 0: as it was
    };
    const Case cases[] = {
        {"a strip", L"walker.bmp", kDialog, {}, kNone, 1, true, 0},
        {"an AVI movie", L"walker.avi", FileSource::CommandLine, {}, kNone, 1, true, 80},
        {"an AVI of half a millisecond a frame", L"fast.avi", kDialog, {}, kNone, 1, true, 1},
        {"an animated GIF", L"walker.gif", kDialog, {}, kNone, 1, true, 70},
        {"a GIF of one picture is a strip", L"still.gif", kDialog, {0, false}, kNone, -1, true, 0},
        {"an animated PNG", L"walker.png", kDialog, {}, kNone, 1, true, 70},
        {"a PNG still is a strip", L"still.png", kDialog, {0, false}, kNone, -1, true, 0},
        {"only the two bytes BM", L"only-bm.bmp", kDialog, {}, kReadFailed, -1, true, 0},
        {"B without M", L"b-not-m.avi", kDialog, {}, kUnknownType, -1, true, 0},
        {"reading a strip stopped", L"walker.bmp", kDialog, {1}, kReadStopped, -1, true, 0},
        {"frame settings cancelled", L"walker.bmp", kDialog, {0, false}, kNone, -1, true, 0},
        {"composing stopped", L"walker.bmp", kDialog, {2}, kComposeStopped, -1, true, 0},
        {"chosen file gone", L"gone.bmp", kDialog, {}, kReadFailed, -1, false, 0},
        {"command-line file gone", L"gone.bmp", FileSource::CommandLine, {}, kNone, -1, false, 0},
    };
    FlowFiles files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.boxes.clear();
        RecordingMainDialog dialog;
        EXPECT_EQ(IDOK, Run(dialog, {Do([&](CMainDialog& d) {
                                const std::wstring pathBefore = d.path;
                                const int32_t speedBefore = d.speedMs;
                                Answered(c.answers,
                                         [&] { d.OpenFile(files(c.file).c_str(), c.source); });
                                EXPECT_EQ(c.state, d.documentState);
                                EXPECT_EQ(c.state == 1 ? kSampleFrames : 0, d.preview.frameCount);
                                EXPECT_EQ(c.pathIsFile ? files(c.file) : pathBefore, d.path);
                                EXPECT_EQ(c.speed ? c.speed : speedBefore, d.speedMs);
                            })}));
        EXPECT_EQ(Message(c.message), OnlyMessage(app));
        EXPECT_EQ(0u, dialog.started.size());
    }
}

// What a file holds: nothing, an AVI, or a bitmap with its compression.
std::string KindOf(const std::string& bytes) {
    if (bytes.size() < 31) {
        return bytes;
    }
    if (bytes.starts_with("GIF89a")) {
        return "GIF";
    }
    if (bytes.starts_with("\x89PNG")) {
        return bytes.find("acTL") != std::string::npos ? "APNG" : "PNG";
    }
    return bytes.starts_with("RIFF") ? "AVI" : bytes.substr(0, 2) + char('0' + bytes[30]);
}

TEST_F(MainWindowTest, SaveRowsGiveTheirMessageAndKeepTheMovie) {
    struct Case {
        const char* name;
        const wchar_t* file;
        const wchar_t* extension;  // as the save dialog reports it
        DWORD filterIndex;
        int cancelProgress;
        std::pair<UINT, UINT> message;  // string id and type
        bool pathIsFile;  // path names the chosen file afterwards (else the opened strip)
        std::string written;
        int32_t speedMs = 0;  // the speed field's value for the save, 0 for the movie's own
    };
    constexpr std::pair<UINT, UINT> kFailed{IDS_SAVE_FAILED, MB_ICONHAND};
    constexpr std::pair<UINT, UINT> kStopped{IDS_SAVE_CANCELLED, MB_OK};
    constexpr std::pair<UINT, UINT> kDelayRaised{IDS_GIF_DELAY_RAISED, MB_ICONINFORMATION};
    const Case cases[] = {
        {"AVI", L"clip.avi", L"avi", 1, 0, kNone, true, "AVI"},
        {"compressed bitmap", L"clip.bmp", L"bmp", 3, 0, kNone, true, "BM1"},
        {"GIF", L"clip.gif", L"gif", 4, 0, kNone, true, "GIF"},
        {"the name decides: GIF", L"clip.GIF", L"GIF", 1, 0, kNone, true, "GIF"},
        {"GIF stopped", L"clip.gif", L"gif", 4, 1, kStopped, true, ""},
        {"GIF faster than it can be", L"clip.gif", L"gif", 4, 0, kDelayRaised, true, "GIF", 10},
        {"GIF at its fastest", L"clip.gif", L"gif", 4, 0, kNone, true, "GIF", 20},
        {"APNG", L"clip.png", L"png", 5, 0, kNone, true, "APNG"},
        {"APNG stopped", L"clip.png", L"png", 5, 1, kStopped, true, ""},
        {"the name decides: AVI", L"clip.AVI", L"AVI", 3, 0, kNone, true, "AVI"},
        {"mixed-case extension", L"clip.Bmp", L"Bmp", 2, 0, kUnknownType, true, ""},
        {"AVI stopped", L"clip.avi", L"avi", 1, 1, kStopped, true, ""},
        {"into a missing folder", L"missing\\clip.avi", L"avi", 1, 0, kFailed, false, ""},
        // Everything is encoded and written before the file cannot take the folder's place.
        {"AVI over a folder", L"folder.avi", L"avi", 1, 0, kFailed, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowFiles files;
        const std::wstring strip = files(L"walker.bmp");
        const std::wstring kept = c.pathIsFile ? files(c.file) : strip;
        RecordingMainDialog dialog;
        EXPECT_EQ(IDOK,
                  Run(dialog, {Do([&](CMainDialog& d) {
                          Answered({}, [&] { d.OpenFile(strip.c_str(), FileSource::CommandLine); });
                          app.boxes.clear();
                          const int32_t speedBefore = d.speedMs;
                          d.speedMs = c.speedMs != 0 ? c.speedMs : speedBefore;
                          Answered({c.cancelProgress},
                                   [&] { d.SaveMovie(files(c.file), c.extension, c.filterIndex); });
                          d.speedMs = speedBefore;
                          EXPECT_EQ(kSampleFrames, d.preview.frameCount);
                          EXPECT_EQ(kept, d.path);
                          EXPECT_EQ(fs::path(kept).stem().wstring(), TextOf(d.viewBar.m_hWnd));
                          // Whatever happened, the movie saves as it did at first.
                          d.SaveMovie(files(L"again.avi"), L"avi", 1);
                      })}));
        EXPECT_EQ(Message(c.message), OnlyMessage(app));
        EXPECT_EQ(1, dialog.documentState);
        const std::string reference = ReadBytes(files(L"reference.avi"));
        const std::string again = ReadBytes(files(L"again.avi"));
        EXPECT_EQ(reference.size(), again.size());
        EXPECT_EQ(reference.size(),
                  size_t(std::ranges::mismatch(reference, again).in1 - reference.begin()));
        EXPECT_EQ(c.written, KindOf(ReadBytes(files(c.file))));
    }
}

// A drop as the shell hands it: a DROPFILES header and the names, each ended by a zero, then a
// zero.
HDROP MakeDrop(const std::vector<std::wstring>& files) {
    std::wstring names;
    for (const std::wstring& f : files) {
        names += f + L'\0';
    }
    names += L'\0';
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(header + 1));
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Files opened beside a movie go to new copies, started with the quoted name and the switch and
// shown as this window is; of files dropped without a movie, the first opens in this window.
TEST_F(MainWindowTest, OpeningOrDroppingWhileAMovieIsShownStartsNewCopies) {
    FlowFiles files;
    const std::wstring text = files(L"b-not-m.avi");
    enum How { kOpenedMaximised, kDropped, kDroppedWithoutMovie };
    struct Case {
        How how;
        std::vector<std::wstring> files;
        std::vector<std::wstring> copies;  // parameters of the copies started
    };
    const Case cases[] = {
        {kOpenedMaximised, {L"C:\\a b\\x.avi"}, {L"\"C:\\a b\\x.avi\"/n"}},
        {kDropped, {L"C:\\a.bmp", L"C:\\b c.avi"}, {L"\"C:\\b c.avi\"/n", L"\"C:\\a.bmp\"/n"}},
        {kDroppedWithoutMovie,
         {text, L"C:\\b.avi", L"C:\\c.bmp"},
         {L"\"C:\\b.avi\"/n", L"\"C:\\c.bmp\"/n"}},
    };
    wchar_t program[MAX_PATH]{}, directory[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    ::GetCurrentDirectoryW(MAX_PATH, directory);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << c.how << ", " << c.files.size() << " files");
        const bool movieShown = c.how != kDroppedWithoutMovie;
        app.boxes.clear();
        RecordingMainDialog dialog;
        Run(dialog, {Do([&](CMainDialog& d) {
                EXPECT_EQ(WS_EX_ACCEPTFILES,
                          ::GetWindowLongW(d.m_hWnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
                if (movieShown) {
                    d.path = L"C:\\shown.bmp";
                    ShowMovie(d, 3);
                }
                d.ShowWindow(c.how == kOpenedMaximised ? SW_MAXIMIZE : SW_SHOW);
                if (c.how >= kDropped) {
                    d.SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(c.files)));
                } else {
                    d.OpenFile(c.files[0].c_str(), FileSource::OpenDialog);
                }
                EXPECT_EQ(movieShown ? 3 : 0, d.preview.frameCount);
                d.ShowWindow(SW_RESTORE);
            })});
        std::vector<std::wstring> copies;
        for (const SecondCopyStart& start : dialog.started) {
            copies.push_back(start.parameters);
            EXPECT_EQ(std::wstring(program), start.program);
            EXPECT_EQ(std::wstring(directory), start.directory);
            EXPECT_EQ(c.how == kOpenedMaximised ? SW_SHOWMAXIMIZED : SW_SHOWDEFAULT, start.show);
        }
        EXPECT_EQ(c.copies, copies);
        // A window with a movie keeps it and its file; else the first file opens in it.
        EXPECT_EQ(Message(movieShown ? kNone : kUnknownType), OnlyMessage(app));
        EXPECT_EQ(movieShown ? L"C:\\shown.bmp" : text, dialog.path);
        EXPECT_EQ(movieShown ? CMainDialog::kShown : CMainDialog::kNoMovie, dialog.documentState);
    }
}

// A drop is posted, so the modal loop of any dialog over the window dispatches it; a window that
// is disabled takes none, and one drop opens at most eight files.
TEST_F(MainWindowTest, ADropIsTakenOnlyWhileTheWindowIsIdleAndOpensAtMostEightFiles) {
    struct Case {
        const char* name;
        bool enabled;
        int files;
        size_t copies;
        std::pair<UINT, UINT> message;
    };
    const Case cases[] = {
        {"a dialog of the window is up", false, 2, 0, kNone},
        {"ten files", true, 10, 8, {IDS_DROP_LIMIT, MB_ICONEXCLAMATION}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.boxes.clear();
        RecordingMainDialog dialog;
        std::vector<std::wstring> names;
        for (int i = 0; i < c.files; ++i) {
            names.push_back(L"C:\\dropped" + std::to_wstring(i) + L".avi");
        }
        Run(dialog, {Do([&](CMainDialog& d) {
                         d.path = L"C:\\shown.bmp";
                         ShowMovie(d, 3);
                         d.EnableWindow(c.enabled ? TRUE : FALSE);
                         d.PostMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(names)));
                     }),
                     Do([](CMainDialog& d) { d.EnableWindow(TRUE); })});
        EXPECT_EQ(c.copies, dialog.started.size());
        EXPECT_EQ(Message(c.message), OnlyMessage(app));
        EXPECT_EQ(L"C:\\shown.bmp", dialog.path);
    }
}

}  // namespace
}  // namespace kx::test
