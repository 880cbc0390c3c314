// Opening and saving files from the main window.
//
// Each flow asks for a file, runs the document's long operation under a progress window,
// reports a failure or a stop with a message box and moves the document state. One window holds
// one movie: a file opened while a movie is shown goes to a new copy of the program.
#include "app/main_dialog.h"

#include <shellapi.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/file_dialog_with_help.h"
#include "dialogs/frame_settings_dialog.h"
#include "dialogs/progress_dialog.h"
#include "doc/frame_delta.h"
#include "doc/frame_rules.h"
#include "doc/gif_format.h"
#include "framework/app.h"
#include "resources/resource.h"

namespace kx {

namespace {

constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_SHAREAWARE | OFN_NONETWORKBUTTON | OFN_EXPLORER;
constexpr DWORD kSaveFlags = kOpenFlags | OFN_OVERWRITEPROMPT;
// The save dialog's file type that asks for a run-length compressed bitmap.
constexpr DWORD kCompressedBitmapFilter = 3;
// Room for the longest path Windows knows.
constexpr DWORD kLongPathChars = 32768;

// Runs one document operation under the progress window, created with a caption; the window
// goes as soon as the operation returns, before any message is shown.
template <class Operation>
int RunUnderProgress(CProgressDialog& progress, UINT captionId, Operation operation) {
    progress.CreateWithCaption(captionId);
    CProgressWindowSink sink(progress.m_hWnd);
    const int result = operation(&sink);
    if (progress.m_hWnd != nullptr) {
        progress.DestroyWindow();
    }
    return result;
}

// After an operation failed: the continue flag tells a failure from a stop by the user.
void ReportFailure(const CProgressDialog& progress, UINT failedId, UINT stoppedId,
                   UINT stoppedType) {
    if (progress.m_bContinue) {
        AfxMessageBox(failedId, MB_ICONHAND);
    } else {
        AfxMessageBox(stoppedId, stoppedType);
    }
}

std::wstring ModuleFileName() {
    std::wstring name(kLongPathChars, L'\0');
    name.resize(::GetModuleFileNameW(nullptr, name.data(), kLongPathChars));
    return name;
}

std::wstring CurrentDirectory() {
    std::wstring directory(kLongPathChars, L'\0');
    directory.resize(::GetCurrentDirectoryW(kLongPathChars, directory.data()));
    return directory;
}

int32_t Passes(int32_t repeat) {
    return repeat ? CPreviewWindow::kRepeatPasses : CMainDialog::kSinglePass;
}

// Runs a file dialog with playback paused, and then what the chosen file is for; the playing
// flag stays set, so that playback goes on afterwards.
template <class Chosen>
void RunFileDialog(CMainDialog& window, CFileDialogWithHelp& dialog, Chosen chosen) {
    if (window.playing) {
        window.preview.Play(0);
    }
    if (dialog.DoModal() == IDOK) {
        chosen();
    }
    if (window.playing) {
        window.preview.Play(Passes(window.repeat));
    }
}

}  // namespace

SecondCopyStart SecondCopyFor(const std::wstring& filePath, const std::wstring& program,
                              const std::wstring& directory, bool zoomed) {
    // No blank between the quoted name and the switch: the command line reads "/n" right after
    // a closing quote as the switch.
    return {program, L"\"" + filePath + L"\"/n", directory,
            zoomed ? SW_SHOWMAXIMIZED : SW_SHOWDEFAULT};
}

void CMainDialog::StartSecondCopy(const SecondCopyStart& start) {
    ::ShellExecuteW(nullptr, nullptr, start.program.c_str(), start.parameters.c_str(),
                    start.directory.c_str(), start.show);
}

void CMainDialog::OnFileOpen() {
    const std::wstring filter = LoadStringResource(IDS_OPEN_FILTER);
    const std::wstring title = LoadStringResource(IDS_OPEN_TITLE);
    CFileDialogWithHelp dialog(TRUE, IDH_OPEN_DIALOG, nullptr, path.c_str(), kOpenFlags,
                               filter.c_str(), this);
    dialog.m_ofn.lpstrTitle = title.c_str();
    dialog.m_ofn.nFilterIndex = 1;
    RunFileDialog(*this, dialog,
                  [&] { OpenFile(dialog.GetPathName().c_str(), FileSource::OpenDialog); });
}

void CMainDialog::StartCopyFor(const std::wstring& filePath) {
    StartSecondCopy(
        SecondCopyFor(filePath, ModuleFileName(), CurrentDirectory(), ::IsZoomed(m_hWnd)));
}

void CMainDialog::OnDropFiles(HDROP drop) {
    // A drop is posted, so every modal loop inside this window's work dispatches it (the frame
    // settings of an open, a message, the About box, a file dialog): it is taken only while the
    // window is enabled and no file is being read.
    const bool idle = ::IsWindowEnabled(m_hWnd) && documentState != kLoading;
    std::vector<std::wstring> files;
    const UINT count = idle ? ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) : 0;
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
        if (!name.empty() && ::DragQueryFileW(drop, i, name.data(), UINT(name.size() + 1)) != 0) {
            files.push_back(std::move(name));
        }
    }
    ::DragFinish(drop);
    // A drop of many files starts no crowd of copies.
    const bool tooMany = files.size() > kMaxFilesDropped;
    if (tooMany) {
        files.resize(kMaxFilesDropped);
    }
    // The first file opens as the Open command would open it; every other one in a copy of its
    // own, started first so that it does not wait for the dialogs the first file may bring up.
    for (size_t i = 1; i < files.size(); ++i) {
        StartCopyFor(files[i]);
    }
    if (tooMany) {
        AfxMessageBox(IDS_DROP_LIMIT, MB_ICONEXCLAMATION);
    }
    if (!files.empty()) {
        OpenFile(files[0].c_str(), FileSource::OpenDialog);
    }
}

void CMainDialog::OpenFile(const wchar_t* filePath, FileSource source) {
    if (filePath == nullptr) {
        return;
    }
    if (HasMovie()) {
        StartCopyFor(filePath);
        return;
    }
    if (*filePath != L'\0') {
        LoadFile(filePath, source);
    }
    if (documentState == kLoaded) {
        ShowLoadedMovie();
    } else if (documentState == kLoading) {
        DiscardMovie();
        document.ReleaseFrames();
    }
}

void CMainDialog::LoadFile(const std::wstring& filePath, FileSource source) {
    const ReaderChoice choice = ChooseReader(filePath);
    if (choice.outcome == ReaderChoice::Outcome::Unreadable) {
        // A file named on the command line may simply be gone; one chosen a moment ago in the
        // open dialog that cannot be read deserves a word.
        if (source == FileSource::OpenDialog) {
            AfxMessageBox(IDS_READ_FAILED, MB_ICONHAND);
        }
        return;
    }
    path = filePath;
    if (choice.reader == nullptr) {
        AfxMessageBox(IDS_UNKNOWN_FILE_TYPE, MB_ICONHAND);
    } else if (choice.reader->isStrip) {
        LoadStrip(*choice.reader);
    } else {
        LoadMovie(*choice.reader);
    }
}

void CMainDialog::LoadStrip(const FileReader& reader) {
    documentState = kLoading;
    CProgressDialog progress;
    if (!RunUnderProgress(progress, IDS_READ_CAPTION, [this, &reader](ProgressSink* sink) {
            return reader.load(document, sink, path, speedMs);
        })) {
        ReportFailure(progress, IDS_READ_FAILED, IDS_READ_CANCELLED, MB_OK);
        return;
    }
    CutStrip(progress);
}

void CMainDialog::CutStrip(CProgressDialog& progress) {
    documentState = kLoading;
    CFrameSettingsDialog settings;
    if (!m_settingsApplication.empty()) {
        settings.m_settings.SetApplication(m_settingsApplication.c_str());
    }
    settings.m_preview.SetDocument(&document);
    if (settings.DoModal() != IDOK) {
        return;
    }
    // The same progress object again: its continue flag carries over from the reading.
    const int32_t frameHeight = settings.m_fields.height;
    if (RunUnderProgress(progress, IDS_COMPOSE_CAPTION, [this, frameHeight](ProgressSink* sink) {
            return document.ComposeFromStrip(sink, frameHeight);
        })) {
        documentState = kLoaded;
    } else {
        ReportFailure(progress, IDS_COMPOSE_FAILED, IDS_COMPOSE_CANCELLED, MB_ICONHAND);
    }
}

void CMainDialog::LoadMovie(const FileReader& reader) {
    CProgressDialog progress;
    if (RunUnderProgress(progress, IDS_READ_CAPTION, [this, &reader](ProgressSink* sink) {
            return reader.load(document, sink, path, speedMs);
        })) {
        if (LoadedAsStrip(reader, document)) {
            CutStrip(progress);  // a movie file holding a single picture
            return;
        }
        documentState = kLoaded;
        // A period the speed field cannot hold (below a millisecond, above a minute) is shown
        // as the nearest one it can, so the window never holds a speed it refuses.
        const auto ms = static_cast<int64_t>(document.MicroSecPerFrame() / 1000);
        speedMs = static_cast<int32_t>(
            std::clamp<int64_t>(ms, kShortestFramePeriodMs, kLongestFramePeriodMs));
    } else {
        ReportFailure(progress, IDS_READ_FAILED, IDS_READ_CANCELLED, MB_OK);
        documentState = kLoading;
    }
}

void CMainDialog::OnFileSaveAs() {
    if (!HasMovie()) {
        return;
    }
    // The proposed name is the current one without its extension (cut at the last dot).
    std::wstring proposed = path;
    if (const size_t dot = proposed.rfind(L'.'); dot != std::wstring::npos) {
        proposed.erase(dot);
    }
    const std::wstring filter = LoadStringResource(IDS_SAVE_FILTER);
    const std::wstring title = LoadStringResource(IDS_SAVE_TITLE);
    CFileDialogWithHelp dialog(FALSE, IDH_SAVE_DIALOG, L"avi", proposed.c_str(), kSaveFlags,
                               filter.c_str(), this);
    dialog.m_ofn.lpstrTitle = title.c_str();
    dialog.m_ofn.nFilterIndex = 1;
    RunFileDialog(*this, dialog, [&] {
        SaveMovie(dialog.GetPathName(), dialog.GetFileExt(), dialog.GetFilterIndex());
    });
}

void CMainDialog::SaveMovie(const std::wstring& newPath, const std::wstring& extension,
                            DWORD filterIndex) {
    // The extension alone chooses the writer; the file type only asks for compression.
    const bool bitmap = extension == L"BMP" || extension == L"bmp";
    const bool movie = extension == L"AVI" || extension == L"avi";
    const bool gif = extension == L"GIF" || extension == L"gif";
    const bool apng = extension == L"PNG" || extension == L"png";
    if (!bitmap && !movie && !gif && !apng) {
        AfxMessageBox(IDS_UNKNOWN_FILE_TYPE, MB_ICONHAND);
        path = newPath;  // as it always did, the name is taken even though nothing was written
        ShowFileName();
        return;
    }
    if (!bitmap && speedMs != static_cast<int32_t>(document.MicroSecPerFrame() / 1000)) {
        document.SetSpeed(speedMs);
    }
    CProgressDialog progress;
    const int saved = RunUnderProgress(progress, IDS_SAVE_CAPTION, [&](ProgressSink* sink) {
        if (gif) {
            return document.SaveGif(sink, newPath, AnimationChoices());
        }
        if (apng) {
            return document.SaveApng(sink, newPath, AnimationChoices());
        }
        return bitmap ? document.SaveBitmap(sink, newPath, filterIndex == kCompressedBitmapFilter)
                      : document.SaveAvi(sink, newPath);
    });
    // An AVI save compacts the colour table; the frames come back with it whatever the
    // outcome, so the preview's palette follows.
    if (movie) {
        preview.RefreshPalette(&document);
    }
    if (!saved) {
        ReportFailure(progress, IDS_SAVE_FAILED, IDS_SAVE_CANCELLED, MB_OK);
        // A failed save wrote nothing and left the movie as it was: it stays shown under
        // the name of the file it came from.
        if (progress.m_bContinue) {
            return;
        }
    } else if (gif && GifDelayRaised(document.MicroSecPerFrame())) {
        AfxMessageBox(IDS_GIF_DELAY_RAISED, MB_ICONINFORMATION);
    }
    path = newPath;
    ShowFileName();
}

AnimationOptions CMainDialog::AnimationChoices() const {
    // What the window shows: the transparent colour drawn transparent, playing for ever or once.
    AnimationOptions options;
    options.transparent = transparent != 0 && document.TransparencyUsable();
    options.plays = repeat != 0 ? 0 : 1;
    return options;
}

}  // namespace kx
