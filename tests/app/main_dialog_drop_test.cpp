// Files dropped on the main window: the first opens as the Open command would open it, every
// other one in a new copy of the program.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/main_window_fixture.h"

namespace kx::test {
namespace {

class DropRecordingDialog : public CMainDialog {
public:
    std::vector<std::wstring> started;  // the parameters of each copy started

protected:
    void StartSecondCopy(const SecondCopyStart& start) override {
        started.push_back(start.parameters);
    }
};

// A drop of files as the shell hands it to a window: a DROPFILES header and the names, each
// ended by a zero, the list by another.
HDROP MakeDrop(const std::vector<std::wstring>& files) {
    size_t chars = 1;
    for (const std::wstring& f : files) {
        chars += f.size() + 1;
    }
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* name = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& f : files) {
        name = std::copy(f.begin(), f.end(), name) + 1;
    }
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(MainWindowTest, DroppedFilesOpenAsTheOpenCommandWouldWithTheRestInNewCopies) {
    wchar_t folder[MAX_PATH]{};
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring text = std::wstring(folder) + L"kx-drop-text.avi";
    ::DeleteFileW(text.c_str());
    HANDLE file = ::CreateFileW(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, "not a movie", 11, &written, nullptr);
    ::CloseHandle(file);

    struct Case {
        const char* name;
        bool movieShown;
        std::vector<std::wstring> dropped;
        std::vector<std::wstring> copies;  // parameters of the copies started
        size_t messages;                   // the unknown-type message of the first file
    };
    const Case cases[] = {
        {"a movie is shown: every file to a new copy",
         true,
         {L"C:\\a.bmp", L"C:\\b c.avi"},
         {L"\"C:\\b c.avi\"/n", L"\"C:\\a.bmp\"/n"},
         0},
        {"no movie: the first into this window",
         false,
         {text, L"C:\\b.avi", L"C:\\c.bmp"},
         {L"\"C:\\b.avi\"/n", L"\"C:\\c.bmp\"/n"},
         1},
        {"no movie, one file", false, {text}, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.boxes.clear();
        DropRecordingDialog dialog;
        LONG_PTR exStyle = 0;
        Run(dialog, {Do([&](CMainDialog& d) {
                exStyle = ::GetWindowLongPtrW(d.m_hWnd, GWL_EXSTYLE);
                if (c.movieShown) {
                    FillMovie(d.document, 3);
                    d.documentState = CMainDialog::kLoaded;
                    d.ShowLoadedMovie();
                }
                d.SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(c.dropped)));
            })});
        EXPECT_EQ(WS_EX_ACCEPTFILES, exStyle & WS_EX_ACCEPTFILES);
        EXPECT_EQ(c.copies, dialog.started);
        ASSERT_EQ(c.messages, app.boxes.size());
        if (c.messages != 0) {
            EXPECT_EQ(LoadStringResource(IDS_UNKNOWN_FILE_TYPE), app.boxes[0].text);
            EXPECT_EQ(text, dialog.path);
        }
    }
    ::DeleteFileW(text.c_str());
}

}  // namespace
}  // namespace kx::test
