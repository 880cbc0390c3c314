// The open and save flows of the main window, with real files and the real progress and frame
// settings dialogs: the message, its icon and the document state each way out of a flow leaves,
// and what opening a file while a movie is shown hands the shell.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/main_window_fixture.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;

constexpr UINT kNoMessage = 0;
// The sample strip is 576 rows high: the answered frame height gives 12 frames.
constexpr wchar_t kFrameHeight[] = L"48";
constexpr int32_t kSampleFrames = 12;

// Answers the dialogs a flow shows while it runs: clicks Cancel on the n-th progress window,
// and closes the frame settings dialog after typing the frame height, with OK or by Escape.
struct DialogAnswers {
    int cancelProgress = 0;  // 1-based; 0 lets every operation run
    bool frameSettingsOk = true;
    int progressWindows = 0;
    int frameSettingsDialogs = 0;
};
DialogAnswers* g_answers = nullptr;

LRESULT CALLBACK AnswerDialogs(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_answers != nullptr && sent->message == WM_INITDIALOG) {
        HWND dialog = sent->hwnd;
        if (HWND cancel = ::GetDlgItem(dialog, IDC_PROGRESS_CANCEL)) {
            // Seen at the operation's first report, as a click between two reports would be.
            if (++g_answers->progressWindows == g_answers->cancelProgress) {
                ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED),
                               reinterpret_cast<LPARAM>(cancel));
            }
        } else if (::GetDlgItem(dialog, IDC_FRAME_HEIGHT) != nullptr) {
            ++g_answers->frameSettingsDialogs;
            ::SetDlgItemTextW(dialog, IDC_FRAME_HEIGHT, kFrameHeight);
            ::PostMessageW(dialog, WM_COMMAND, g_answers->frameSettingsOk ? IDOK : IDCANCEL, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class AnsweredDialogs {
public:
    explicit AnsweredDialogs(DialogAnswers& answers)
        : hook_(::SetWindowsHookExW(WH_CALLWNDPROCRET, &AnswerDialogs, nullptr,
                                    ::GetCurrentThreadId())) {
        g_answers = &answers;
    }
    ~AnsweredDialogs() {
        g_answers = nullptr;
        ::UnhookWindowsHookEx(hook_);
    }

private:
    HHOOK hook_;
};

// The main window with the shell call replaced: what it would start is kept instead.
class RecordingMainDialog : public CMainDialog {
public:
    std::vector<SecondCopyStart> started;

protected:
    void StartSecondCopy(const SecondCopyStart& start) override { started.push_back(start); }
};

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

fs::path SampleStrip() {
    return fs::path(KX_SOURCE_DIR) / "samples" / "walker.bmp";
}

// A folder of its own with the files the rows open: the sample strip, the same strip under an
// AVI name, an AVI movie made of it, and files too short or of no known type.
class FlowFiles {
public:
    FlowFiles()
        : root_(fs::temp_directory_path() / ("kx-flows-" + std::to_string(::GetTickCount()))) {
        fs::create_directories(root_);
        fs::copy_file(SampleStrip(), root_ / "walker.bmp");
        fs::copy_file(SampleStrip(), root_ / "strip-named.avi");
        CAnimationDocument doc;
        EXPECT_EQ(1, doc.LoadBitmapStrip(nullptr, SampleStrip(), 100));
        EXPECT_EQ(1, doc.ComposeFromStrip(nullptr, 48));
        EXPECT_EQ(1, doc.SaveAvi(nullptr, root_ / "walker.avi"));
        WriteBytes(root_ / "only-bm.bmp", "BM");
        WriteBytes(root_ / "b-not-m.bmp", "BA and more");
        WriteBytes(root_ / "text.avi", "a text file");
        WriteBytes(root_ / "empty.bmp", "");
        WriteBytes(root_ / "broken.avi", std::string("RIFF\x10\0\0\0AVI junk", 16));
        fs::create_directories(root_ / "folder.avi");
    }
    ~FlowFiles() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::wstring operator()(const wchar_t* name) const { return (root_ / name).wstring(); }

private:
    fs::path root_;
};

// The message boxes shown, as string ids with their types.
struct Shown {
    UINT message = kNoMessage;
    UINT type = 0;
};

Shown OnlyMessage(const RecordingApp& app) {
    EXPECT_GE(1u, app.boxes.size()) << "more than one message";
    if (app.boxes.empty()) {
        return {};
    }
    for (UINT id : {IDS_READ_FAILED, IDS_SAVE_FAILED, IDS_COMPOSE_FAILED, IDS_READ_CANCELLED,
                    IDS_SAVE_CANCELLED, IDS_COMPOSE_CANCELLED, IDS_UNKNOWN_FILE_TYPE}) {
        if (app.boxes[0].text == LoadStringResource(id)) {
            return {id, app.boxes[0].type};
        }
    }
    ADD_FAILURE() << "a message that is none of the flows'";
    return {};
}

TEST_F(MainWindowTest, OpenRowsGiveTheirMessageAndState) {
    struct Case {
        const char* name;
        const wchar_t* file;
        FileSource source;
        int cancelProgress;
        bool frameSettingsOk;
        UINT message;
        UINT type;
        int32_t state;
        bool pathIsFile;  // path names the file afterwards (else it stays as it was)
    };
    constexpr auto kDialog = FileSource::OpenDialog;
    constexpr auto kCommandLine = FileSource::CommandLine;
    const Case cases[] = {
        {"a strip", L"walker.bmp", kDialog, 0, true, kNoMessage, 0, 1, true},
        {"an AVI movie", L"walker.avi", kCommandLine, 0, true, kNoMessage, 0, 1, true},
        {"content decides, not the name", L"strip-named.avi", kDialog, 0, true, kNoMessage, 0, 1,
         true},
        {"only the two bytes BM", L"only-bm.bmp", kDialog, 0, true, IDS_READ_FAILED, MB_ICONHAND,
         -1, true},
        {"B without M", L"b-not-m.bmp", kDialog, 0, true, IDS_UNKNOWN_FILE_TYPE, MB_ICONHAND, -1,
         true},
        {"neither BM nor RIFF", L"text.avi", kDialog, 0, true, IDS_UNKNOWN_FILE_TYPE, MB_ICONHAND,
         -1, true},
        {"an empty file", L"empty.bmp", kDialog, 0, true, IDS_UNKNOWN_FILE_TYPE, MB_ICONHAND, -1,
         true},
        {"a broken AVI", L"broken.avi", kDialog, 0, true, IDS_READ_FAILED, MB_ICONHAND, -1, true},
        {"reading a strip stopped", L"walker.bmp", kDialog, 1, true, IDS_READ_CANCELLED, MB_OK, -1,
         true},
        {"reading an AVI stopped", L"walker.avi", kDialog, 1, true, IDS_READ_CANCELLED, MB_OK, -1,
         true},
        {"frame settings cancelled", L"walker.bmp", kDialog, 0, false, kNoMessage, 0, -1, true},
        {"composing stopped", L"walker.bmp", kDialog, 2, true, IDS_COMPOSE_CANCELLED, MB_ICONHAND,
         -1, true},
        {"chosen file gone", L"gone.bmp", kDialog, 0, true, IDS_READ_FAILED, MB_ICONHAND, -1,
         false},
        {"command-line file gone", L"gone.bmp", kCommandLine, 0, true, kNoMessage, 0, -1, false},
    };
    FlowFiles files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.boxes.clear();
        DialogAnswers answers{c.cancelProgress, c.frameSettingsOk};
        RecordingMainDialog dialog;
        int32_t frames = -1;
        std::wstring before = L"unset";
        std::wstring path = L"unset";
        EXPECT_EQ(IDOK, Run(dialog, {Do([&](CMainDialog& d) {
                                before = d.path;
                                AnsweredDialogs answering(answers);
                                d.OpenFile(files(c.file).c_str(), c.source);
                                frames = d.preview.frameCount;
                                path = d.path;
                            })}));
        const Shown shown = OnlyMessage(app);
        EXPECT_EQ(c.message, shown.message);
        EXPECT_EQ(c.type, shown.type);
        EXPECT_EQ(c.state, dialog.documentState);
        EXPECT_EQ(c.state == 1 ? kSampleFrames : 0, frames);
        EXPECT_EQ(c.pathIsFile ? files(c.file) : before, path);
        EXPECT_EQ(0u, dialog.started.size());
    }
}

TEST_F(MainWindowTest, SaveRowsGiveTheirMessageAndKeepTheMovie) {
    enum class Written { Nothing, Avi, PlainBitmap, CompressedBitmap };
    struct Case {
        const char* name;
        const wchar_t* file;
        const wchar_t* extension;  // as the save dialog reports it
        DWORD filterIndex;
        int cancelProgress;
        UINT message;
        UINT type;
        bool pathIsFile;  // path names the chosen file afterwards (else the opened strip)
        Written written;
    };
    const Case cases[] = {
        {"AVI", L"clip.avi", L"avi", 1, 0, kNoMessage, 0, true, Written::Avi},
        {"compressed bitmap", L"clip.bmp", L"bmp", 3, 0, kNoMessage, 0, true,
         Written::CompressedBitmap},
        {"the name decides: AVI", L"clip.AVI", L"AVI", 3, 0, kNoMessage, 0, true, Written::Avi},
        {"the name decides: bitmap", L"clip.BMP", L"BMP", 1, 0, kNoMessage, 0, true,
         Written::PlainBitmap},
        {"mixed-case extension", L"clip.Bmp", L"Bmp", 2, 0, IDS_UNKNOWN_FILE_TYPE, MB_ICONHAND,
         true, Written::Nothing},
        {"AVI stopped", L"clip.avi", L"avi", 1, 1, IDS_SAVE_CANCELLED, MB_OK, true,
         Written::Nothing},
        {"bitmap stopped", L"clip.bmp", L"bmp", 3, 1, IDS_SAVE_CANCELLED, MB_OK, true,
         Written::Nothing},
        {"AVI into a missing folder", L"missing\\clip.avi", L"avi", 1, 0, IDS_SAVE_FAILED,
         MB_ICONHAND, false, Written::Nothing},
        {"bitmap into a missing folder", L"missing\\clip.bmp", L"bmp", 3, 0, IDS_SAVE_FAILED,
         MB_ICONHAND, false, Written::Nothing},
        // Everything is encoded and written before the file cannot take the folder's place.
        {"AVI over a folder", L"folder.avi", L"avi", 1, 0, IDS_SAVE_FAILED, MB_ICONHAND, false,
         Written::Nothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowFiles files;
        const std::wstring strip = files(L"walker.bmp");
        DialogAnswers opening;
        DialogAnswers saving{c.cancelProgress};
        RecordingMainDialog dialog;
        int32_t frames = -1;
        std::wstring path;
        std::wstring shownName;
        EXPECT_EQ(IDOK, Run(dialog, {Do([&](CMainDialog& d) {
                                         AnsweredDialogs answering(opening);
                                         d.OpenFile(strip.c_str(), FileSource::CommandLine);
                                     }),
                                     Do([&](CMainDialog& d) {
                                         app.boxes.clear();
                                         AnsweredDialogs answering(saving);
                                         d.SaveMovie(files(c.file), c.extension, c.filterIndex);
                                         frames = d.preview.frameCount;
                                         path = d.path;
                                         shownName = TextOf(d.viewBar.m_hWnd);
                                     })}));
        const Shown shown = OnlyMessage(app);
        EXPECT_EQ(c.message, shown.message);
        EXPECT_EQ(c.type, shown.type);
        EXPECT_EQ(1, dialog.documentState);
        EXPECT_EQ(kSampleFrames, frames);
        EXPECT_EQ(c.pathIsFile ? files(c.file) : strip, path);
        EXPECT_EQ(c.pathIsFile ? fs::path(files(c.file)).stem().wstring() : L"walker", shownName);

        const std::vector<uint8_t> bytes = ReadBytes(files(c.file));
        const std::string head(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 2));
        const int compression = bytes.size() > 30 ? bytes[30] : -1;
        switch (c.written) {
            case Written::Nothing:
                EXPECT_EQ(0u, bytes.size());
                break;
            case Written::Avi:
                EXPECT_EQ("RI", head);
                break;
            case Written::PlainBitmap:
            case Written::CompressedBitmap:
                EXPECT_EQ("BM", head);
                EXPECT_EQ(c.written == Written::CompressedBitmap ? 1 : 0, compression);
                break;
        }
    }
}

TEST_F(MainWindowTest, FailedSaveLeavesTheMovieAsItWas) {
    FlowFiles files;
    DialogAnswers answers;
    RecordingMainDialog dialog;
    EXPECT_EQ(IDOK, Run(dialog, {Do([&](CMainDialog& d) {
                            AnsweredDialogs answering(answers);
                            d.OpenFile(files(L"walker.bmp").c_str(), FileSource::CommandLine);
                            d.SaveMovie(files(L"folder.avi"), L"avi", 1);
                            d.SaveMovie(files(L"after-failure.avi"), L"avi", 1);
                        })}));
    ASSERT_EQ(1u, app.boxes.size());
    EXPECT_EQ(LoadStringResource(IDS_SAVE_FAILED), app.boxes[0].text);
    // The movie saved after the failure is the one a fresh document saves: same size, and the
    // first difference at the end.
    const std::vector<uint8_t> expected = ReadBytes(files(L"walker.avi"));
    const std::vector<uint8_t> saved = ReadBytes(files(L"after-failure.avi"));
    ASSERT_EQ(expected.size(), saved.size());
    EXPECT_EQ(expected.size(),
              size_t(std::mismatch(expected.begin(), expected.end(), saved.begin()).first -
                     expected.begin()));
}

TEST_F(MainWindowTest, OpeningWhileAMovieIsShownStartsASecondCopy) {
    FlowFiles files;
    DialogAnswers answers;
    RecordingMainDialog dialog;
    const std::wstring strip = files(L"walker.bmp");
    const std::wstring movie = files(L"walker.avi");
    int32_t frames = 0;
    EXPECT_EQ(IDOK, Run(dialog, {Do([&](CMainDialog& d) {
                                     AnsweredDialogs answering(answers);
                                     d.OpenFile(strip.c_str(), FileSource::CommandLine);
                                     d.OpenFile(movie.c_str(), FileSource::OpenDialog);
                                     d.ShowWindow(SW_MAXIMIZE);
                                 }),
                                 Do([&](CMainDialog& d) {
                                     d.OpenFile(L"C:\\a b\\x.avi", FileSource::OpenDialog);
                                     d.ShowWindow(SW_RESTORE);
                                     frames = d.preview.frameCount;
                                 })}));
    wchar_t program[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    wchar_t directory[MAX_PATH]{};
    ::GetCurrentDirectoryW(MAX_PATH, directory);
    ASSERT_EQ(2u, dialog.started.size());
    const struct {
        std::wstring parameters;
        int show;
    } expected[] = {{L"\"" + movie + L"\"/n", SW_SHOWDEFAULT},
                    {L"\"C:\\a b\\x.avi\"/n", SW_SHOWMAXIMIZED}};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(std::wstring(program), dialog.started[i].program);
        EXPECT_EQ(expected[i].parameters, dialog.started[i].parameters);
        EXPECT_EQ(std::wstring(directory), dialog.started[i].directory);
        EXPECT_EQ(expected[i].show, dialog.started[i].show);
    }
    // This window keeps its movie and its file; the second copy shows no message here.
    EXPECT_EQ(1, answers.frameSettingsDialogs);
    EXPECT_EQ(1, dialog.documentState);
    EXPECT_EQ(kSampleFrames, frames);
    EXPECT_EQ(strip, dialog.path);
    EXPECT_EQ(0u, app.boxes.size());
}

}  // namespace
}  // namespace kx::test
