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
#include <utility>
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

// Where two files first differ; the common size when they are the same.
size_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return a.size() != b.size()
               ? 0
               : size_t(std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin());
}

// A folder of its own with the files the rows open: the sample strip, the same strip under an
// AVI name, AVI movies made of it (at 80 ms per frame, at the default 100 and one of 0.5 ms),
// and files too short or of no known type.
class FlowFiles {
public:
    FlowFiles()
        : root_(fs::temp_directory_path() / ("kx-flows-" + std::to_string(::GetTickCount()))) {
        const fs::path sample = fs::path(KX_SOURCE_DIR) / "samples" / "walker.bmp";
        fs::create_directories(root_ / "folder.avi");
        fs::copy_file(sample, root_ / "walker.bmp");
        fs::copy_file(sample, root_ / "strip-named.avi");
        for (int32_t speed : {80, 100}) {
            CAnimationDocument doc;
            EXPECT_EQ(1, doc.LoadBitmapStrip(nullptr, sample, speed));
            EXPECT_EQ(1, doc.ComposeFromStrip(nullptr, 48));
            EXPECT_EQ(1,
                      doc.SaveAvi(nullptr, root_ / (speed == 80 ? "walker.avi" : "reference.avi")));
        }
        // The main header's microseconds per frame (bytes 32 to 35) set to 500.
        std::vector<uint8_t> fast = ReadBytes(root_ / "walker.avi");
        fast[32] = 0xF4;
        fast[33] = 0x01;
        fast[34] = fast[35] = 0;
        WriteBytes(root_ / "fast.avi", std::string(fast.begin(), fast.end()));
        WriteBytes(root_ / "only-bm.bmp", "BM");
        WriteBytes(root_ / "b-not-m.bmp", "BA and more");
        WriteBytes(root_ / "text.avi", "a text file");
        WriteBytes(root_ / "empty.bmp", "");
        WriteBytes(root_ / "broken.avi", std::string("RIFF\x10\0\0\0AVI junk", 16));
    }
    ~FlowFiles() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::wstring operator()(const wchar_t* name) const { return (root_ / name).wstring(); }

private:
    fs::path root_;
};

// The one message shown, as its string id and type; 0 and 0 for none.
std::pair<UINT, UINT> OnlyMessage(const RecordingApp& app) {
    EXPECT_GE(1u, app.boxes.size()) << "more than one message";
    for (UINT id : {IDS_READ_FAILED, IDS_SAVE_FAILED, IDS_COMPOSE_FAILED, IDS_READ_CANCELLED,
                    IDS_SAVE_CANCELLED, IDS_COMPOSE_CANCELLED, IDS_UNKNOWN_FILE_TYPE}) {
        if (!app.boxes.empty() && app.boxes[0].text == LoadStringResource(id)) {
            return {id, app.boxes[0].type};
        }
    }
    EXPECT_TRUE(app.boxes.empty()) << "a message that is none of the flows'";
    return {kNoMessage, 0};
}

TEST_F(MainWindowTest, OpenRowsGiveTheirMessageAndState) {
    struct Case {
        const char* name;
        const wchar_t* file;
        FileSource source;
        int cancelProgress;
        bool frameSettingsOk;
        std::pair<UINT, UINT> message;  // string id and type
        int32_t state;
        bool pathIsFile;  // path names the file afterwards (else it stays as it was)
        int32_t speed;    // the speed field afterwards; 0: as it was
    };
    constexpr auto kDialog = FileSource::OpenDialog;
    constexpr auto kCommandLine = FileSource::CommandLine;
    constexpr std::pair<UINT, UINT> kNone{kNoMessage, 0};
    constexpr UINT kStop = MB_ICONHAND;
    const Case cases[] = {
        {"a strip", L"walker.bmp", kDialog, 0, true, kNone, 1, true, 0},
        {"an AVI movie", L"walker.avi", kCommandLine, 0, true, kNone, 1, true, 80},
        {"an AVI of half a millisecond a frame", L"fast.avi", kDialog, 0, true, kNone, 1, true, 1},
        {"content decides, not the name", L"strip-named.avi", kDialog, 0, true, kNone, 1, true, 0},
        {"only the two bytes BM",
         L"only-bm.bmp",
         kDialog,
         0,
         true,
         {IDS_READ_FAILED, kStop},
         -1,
         true,
         0},
        {"B without M",
         L"b-not-m.bmp",
         kDialog,
         0,
         true,
         {IDS_UNKNOWN_FILE_TYPE, kStop},
         -1,
         true,
         0},
        {"neither BM nor RIFF",
         L"text.avi",
         kDialog,
         0,
         true,
         {IDS_UNKNOWN_FILE_TYPE, kStop},
         -1,
         true,
         0},
        {"an empty file",
         L"empty.bmp",
         kDialog,
         0,
         true,
         {IDS_UNKNOWN_FILE_TYPE, kStop},
         -1,
         true,
         0},
        {"a broken AVI", L"broken.avi", kDialog, 0, true, {IDS_READ_FAILED, kStop}, -1, true, 0},
        {"reading a strip stopped",
         L"walker.bmp",
         kDialog,
         1,
         true,
         {IDS_READ_CANCELLED, MB_OK},
         -1,
         true,
         0},
        {"reading an AVI stopped",
         L"walker.avi",
         kDialog,
         1,
         true,
         {IDS_READ_CANCELLED, MB_OK},
         -1,
         true,
         0},
        {"frame settings cancelled", L"walker.bmp", kDialog, 0, false, kNone, -1, true, 0},
        {"composing stopped",
         L"walker.bmp",
         kDialog,
         2,
         true,
         {IDS_COMPOSE_CANCELLED, kStop},
         -1,
         true,
         0},
        {"chosen file gone", L"gone.bmp", kDialog, 0, true, {IDS_READ_FAILED, kStop}, -1, false, 0},
        {"command-line file gone", L"gone.bmp", kCommandLine, 0, true, kNone, -1, false, 0},
    };
    FlowFiles files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.boxes.clear();
        DialogAnswers answers{c.cancelProgress, c.frameSettingsOk};
        RecordingMainDialog dialog;
        int32_t frames = -1;
        std::wstring pathBefore;
        int32_t speedBefore = 0;
        EXPECT_EQ(IDOK, Run(dialog, {Do([&](CMainDialog& d) {
                                pathBefore = d.path;
                                speedBefore = d.speedMs;
                                AnsweredDialogs answering(answers);
                                d.OpenFile(files(c.file).c_str(), c.source);
                                frames = d.preview.frameCount;
                            })}));
        EXPECT_EQ(c.message, OnlyMessage(app));
        EXPECT_EQ(c.state, dialog.documentState);
        EXPECT_EQ(c.state == 1 ? kSampleFrames : 0, frames);
        EXPECT_EQ(c.pathIsFile ? files(c.file) : pathBefore, dialog.path);
        EXPECT_EQ(c.speed ? c.speed : speedBefore, dialog.speedMs);
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
        std::pair<UINT, UINT> message;  // string id and type
        bool pathIsFile;  // path names the chosen file afterwards (else the opened strip)
        Written written;
    };
    constexpr std::pair<UINT, UINT> kNone{kNoMessage, 0};
    constexpr std::pair<UINT, UINT> kFailed{IDS_SAVE_FAILED, MB_ICONHAND};
    constexpr std::pair<UINT, UINT> kStopped{IDS_SAVE_CANCELLED, MB_OK};
    const Case cases[] = {
        {"AVI", L"clip.avi", L"avi", 1, 0, kNone, true, Written::Avi},
        {"compressed bitmap", L"clip.bmp", L"bmp", 3, 0, kNone, true, Written::CompressedBitmap},
        {"the name decides: AVI", L"clip.AVI", L"AVI", 3, 0, kNone, true, Written::Avi},
        {"the name decides: bitmap", L"clip.BMP", L"BMP", 1, 0, kNone, true, Written::PlainBitmap},
        {"mixed-case extension",
         L"clip.Bmp",
         L"Bmp",
         2,
         0,
         {IDS_UNKNOWN_FILE_TYPE, MB_ICONHAND},
         true,
         Written::Nothing},
        {"AVI stopped", L"clip.avi", L"avi", 1, 1, kStopped, true, Written::Nothing},
        {"bitmap stopped", L"clip.bmp", L"bmp", 3, 1, kStopped, true, Written::Nothing},
        {"AVI into a missing folder", L"missing\\clip.avi", L"avi", 1, 0, kFailed, false,
         Written::Nothing},
        {"bitmap into a missing folder", L"missing\\clip.bmp", L"bmp", 3, 0, kFailed, false,
         Written::Nothing},
        // Everything is encoded and written before the file cannot take the folder's place.
        {"AVI over a folder", L"folder.avi", L"avi", 1, 0, kFailed, false, Written::Nothing},
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
        EXPECT_EQ(IDOK,
                  Run(dialog,
                      {Do([&](CMainDialog& d) {
                           AnsweredDialogs answering(opening);
                           d.OpenFile(strip.c_str(), FileSource::CommandLine);
                           app.boxes.clear();
                       }),
                       Do([&](CMainDialog& d) {
                           AnsweredDialogs answering(saving);
                           d.SaveMovie(files(c.file), c.extension, c.filterIndex);
                           frames = d.preview.frameCount;
                           path = d.path;
                           shownName = TextOf(d.viewBar.m_hWnd);
                       }),
                       // Whatever happened, the movie saves as it did at first.
                       Do([&](CMainDialog& d) { d.SaveMovie(files(L"again.avi"), L"avi", 1); })}));
        EXPECT_EQ(c.message, OnlyMessage(app));
        EXPECT_EQ(1, dialog.documentState);
        EXPECT_EQ(kSampleFrames, frames);
        EXPECT_EQ(c.pathIsFile ? files(c.file) : strip, path);
        EXPECT_EQ(c.pathIsFile ? fs::path(files(c.file)).stem().wstring() : L"walker", shownName);
        const std::vector<uint8_t> reference = ReadBytes(files(L"reference.avi"));
        EXPECT_EQ(reference.size(), FirstDifference(reference, ReadBytes(files(L"again.avi"))));

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
    const std::pair<std::wstring, int> expected[] = {{L"\"" + movie + L"\"/n", SW_SHOWDEFAULT},
                                                     {L"\"C:\\a b\\x.avi\"/n", SW_SHOWMAXIMIZED}};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(std::wstring(program), dialog.started[i].program);
        EXPECT_EQ(expected[i].first, dialog.started[i].parameters);
        EXPECT_EQ(std::wstring(directory), dialog.started[i].directory);
        EXPECT_EQ(expected[i].second, dialog.started[i].show);
    }
    // This window keeps its movie and its file, and shows no message.
    EXPECT_EQ(1, answers.frameSettingsDialogs);
    EXPECT_EQ(1, dialog.documentState);
    EXPECT_EQ(kSampleFrames, frames);
    EXPECT_EQ(strip, dialog.path);
    EXPECT_EQ(0u, app.boxes.size());
}

}  // namespace
}  // namespace kx::test
