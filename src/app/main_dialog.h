// The program's main window: a resizable dialog with the menu, the accelerators, the two tool
// strips, the preview, the frame slider, the frame number and the speed field.
//
// It owns the movie and keeps the document state that decides which commands are available,
// reads the user's choices from the settings at start and writes them back when it is
// destroyed, lays its controls out again on every resize, and routes help requests to the
// application's help. The keyboard never closes it: Enter and Escape do nothing; Exit, Alt+F4
// and the system menu's Close end it only when the speed field holds a valid number.
#ifndef KINETRIX_APP_MAIN_DIALOG_H
#define KINETRIX_APP_MAIN_DIALOG_H

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <string>

#include "app/main_layout.h"
#include "controls/button_strip.h"
#include "controls/logo_button.h"
#include "controls/size_grip.h"
#include "doc/animation_document.h"
#include "doc/file_readers.h"
#include "doc/frame_delta.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "settings/registry_settings.h"
#include "view/preview_window.h"

namespace kx {

// Ids of the controls in the order of the layout table (MainControl).
extern const int kMainControlIds[kMainControlCount];

// What a help request becomes: a call of the application's help with a context and a command,
// or no call at all.
struct HelpCall {
    bool call = false;
    DWORD context = 0;
    UINT command = 0;
};
// The help for a menu item (HELPINFO_MENUITEM, id the command) or a control (HELPINFO_WINDOW,
// id the control's id, ownContext the help context the control carries).
HelpCall MainWindowHelp(int contextType, int id, DWORD ownContext);

// Where a file to open was named: a file chosen a moment ago in the open dialog that cannot be
// read is worth a message, one named on the command line may simply be gone.
enum class FileSource { CommandLine, OpenDialog };

// What starting another copy of the program for a file hands the shell.
struct SecondCopyStart {
    std::wstring program;       // this program's own file
    std::wstring parameters;    // the file name in double quotes followed directly by /n
    std::wstring directory;     // the current directory
    int show = SW_SHOWDEFAULT;  // SW_SHOWMAXIMIZED when this window is maximised
};
SecondCopyStart SecondCopyFor(const std::wstring& filePath, const std::wstring& program,
                              const std::wstring& directory, bool zoomed);

class CMainDialog : public CDialog {
public:
    // Passes of a play: without end with repeat on, else one.
    static constexpr int32_t kSinglePass = 1;
    // Where the window is with its movie. A movie is there in the states above 0.
    enum DocumentState : int32_t {
        kLoading = -2,  // a file is being read; a read that stops here is discarded
        kNoMovie = -1,
        kShown = 1,
        kLoaded = 2,  // read and composed, not yet shown
    };

    explicit CMainDialog(CWnd* parent = nullptr);
    ~CMainDialog() override;

    CPreviewWindow preview;
    CButtonStrip viewBar;  // upper strip: fit, repeat, transparency, context help; file name
    CButtonStrip playBar;  // lower strip: open, save, the transport commands
    CSliderCtrl slider;
    CSpinButtonCtrl spin;
    int32_t frameNumber = 1;  // 1-based number of the frame shown
    int32_t speedMs =
        100;  // milliseconds per frame, within kShortestFramePeriodMs .. kLongestFramePeriodMs
    HICON icon = nullptr;
    CAnimationDocument document;
    CLogoButton logoButton;
    CSizeGrip sizeGrip;
    std::wstring path;  // the file shown, or the last path used
    HACCEL accelerators = nullptr;
    DocumentState documentState = kNoMovie;
    int32_t playing = 0;
    int32_t fit = 0;
    int32_t repeat = 1;
    int32_t transparent = 0;
    int32_t minWidth = 0;  // the window's size at start-up: the smallest it can be made
    int32_t minHeight = 0;

    // The settings key's application part; empty for the program's own (tests use another).
    std::wstring m_settingsApplication;
    // The file named on the command line, opened at the end of the window's start-up; null for
    // none.
    const wchar_t* m_startupFile = nullptr;

    // Opening and saving files. A file opened while a movie is shown goes to a second copy of
    // the program; otherwise its first bytes choose the bitmap or the AVI reader.
    void OpenFile(const wchar_t* filePath, FileSource source = FileSource::CommandLine);
    void OnFileOpen();
    void OnFileSaveAs();
    // Saves the movie as the file type its extension (as the save dialog reports it, without the
    // dot) names: "AVI" or "avi", "BMP" or "bmp", compressed for the dialog's file type 3.
    void SaveMovie(const std::wstring& newPath, const std::wstring& extension, DWORD filterIndex);
    // The name of path without its folder and its last extension, on the upper strip.
    void ShowFileName();

    // The most files one drop opens.
    static constexpr size_t kMaxFilesDropped = 8;
    // Files dropped on the window: the first opens as the Open command would open it, each
    // other one in a new copy of the program; at most kMaxFilesDropped, and none while the
    // window is disabled or reading a file.
    void OnDropFiles(HDROP drop);

    // A movie was loaded or composed (kLoaded): show it and enable the movie commands (kShown).
    void ShowLoadedMovie();
    // A load failed or was cancelled (kLoading): unbind the movie and gray the movie commands
    // (kNoMovie). The movie's frames are the caller's to release.
    void DiscardMovie();

    // A movie is loaded or shown: the movie commands apply to it.
    bool HasMovie() const { return documentState == kShown || documentState == kLoaded; }

    // Stops playback, releases the movie and writes the settings, then destroys the window.
    BOOL DestroyWindow() override;
    // Accelerators first, then the dialog keys.
    BOOL PreTranslateMessage(MSG* msg) override;
    // Enter and Escape: nothing, so the keyboard never closes the window.
    void OnOK() override;
    void OnCancel() override;

protected:
    // Starts another copy of the program through the shell; tests keep the start instead.
    virtual void StartSecondCopy(const SecondCopyStart& start);
    // Starts another copy of the program for a file, shown as this window is.
    void StartCopyFor(const std::wstring& filePath);
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    CRegistrySettings Settings() const;
    void ReadSettings(int32_t& width, int32_t& height);
    void WriteSettings();
    void MeasureLayout();
    void PlaceWindow(int32_t width, int32_t height);
    void ApplyLayout(int32_t cw, int32_t ch);
    void PaintMinimised();

    bool OnCommand(int id, int code, HWND control) override;
    // Every help request is answered, by MainWindowHelp's call.
    bool OnHelp(const HELPINFO& info) override;
    void OnSize(UINT kind, int clientWidth, int clientHeight) override;
    void SetMovieCommandsEnabled(bool enabled);
    void CheckMenu(int id, int32_t on);
    void StopPlayingMark();
    void ToggleView(int id, int32_t& flag);

    // The open flow's readers: the first bytes choose the file's kind.
    void LoadFile(const std::wstring& filePath, FileSource source);
    void LoadStrip(const FileReader& reader);
    void LoadMovie(const FileReader& reader);
    // The transparency and repeat settings as an animation file's options.
    AnimationOptions AnimationChoices() const;
    // The frame settings dialog and the composition of the strip just read.
    void CutStrip(class CProgressDialog& progress);

    // Menu commands besides the file and transport ones.
    void OnExit();
    void OnFit();
    void OnTransparent();
    void OnContextHelp();
    void OnHelpContents();
    void OnAbout();

    // Transport.
    void OnPlayPause();
    void ShowFrameNumber();
    void OnStepBack();
    void OnStepForward();
    void OnFirstFrame();
    void OnLastFrame();
    void OnRepeat();
    void OnSliderMoved();
    void OnSpeedChanged();
    void OnFrameStepped();

    MainLayout m_layout;  // distances measured at start-up
    bool m_layoutMeasured = false;
};

}  // namespace kx

#endif  // KINETRIX_APP_MAIN_DIALOG_H
