#include "app/main_dialog.h"

#include <shlwapi.h>

#include <iterator>
#include <utility>

#include "app/main_strips.h"
#include "dialogs/about_dialog.h"
#include "doc/frame_rules.h"
#include "framework/app.h"
#include "resources/resource.h"

namespace kx {

const int kMainControlIds[kMainControlCount] = {
    IDC_VIEW_BAR,     IDC_PREVIEW,  IDC_SLIDER_PANEL, IDC_FRAME_SLIDER, IDC_FRAME_NUMBER_LABEL,
    IDC_FRAME_NUMBER, IDC_PLAY_BAR, IDC_SPEED_LABEL,  IDC_SPEED,        IDC_SPEED_SPIN,
    IDC_SPEED_UNIT,   IDC_LOGO,     IDC_SIZE_GRIP,
};

const MovieCommand kMovieCommands[9] = {
    {ID_FILE_SAVE_AS, IDC_PLAY_BAR},     {ID_FIRST_FRAME, IDC_PLAY_BAR},
    {ID_PREV_FRAME, IDC_PLAY_BAR},       {ID_PLAY_PAUSE, IDC_PLAY_BAR},
    {ID_NEXT_FRAME, IDC_PLAY_BAR},       {ID_LAST_FRAME, IDC_PLAY_BAR},
    {ID_VIEW_FIT, IDC_VIEW_BAR},         {ID_PLAY_REPEAT, IDC_VIEW_BAR},
    {ID_VIEW_TRANSPARENT, IDC_VIEW_BAR},
};

namespace {

constexpr int kSliderPageSize = 10;
// CW_USEDEFAULT as a stored size: the system's default size.
constexpr int32_t kDefaultSize = static_cast<int32_t>(0x80000000u);

// Help contexts.
constexpr DWORD kHelpContents = 1;
constexpr DWORD kHelpGeneral = 513;

struct HelpEntry {
    int id;
    DWORD context;
};

constexpr HelpEntry kMenuHelp[] = {
    {ID_FILE_OPEN, 516},        {ID_FILE_SAVE_AS, 517},  {ID_PLAY_PAUSE, 518},
    {ID_PREV_FRAME, 519},       {ID_NEXT_FRAME, 520},    {ID_FIRST_FRAME, 521},
    {ID_LAST_FRAME, 522},       {ID_VIEW_FIT, 526},      {ID_PLAY_REPEAT, 527},
    {ID_VIEW_TRANSPARENT, 528}, {ID_HELP_CONTENTS, 530}, {ID_CONTEXT_HELP, 531},
    {ID_APP_EXIT, 532},         {ID_APP_ABOUT, 533},
};

constexpr HelpEntry kControlHelp[] = {
    {IDC_PREVIEW, 514},
    {IDC_FRAME_SLIDER, 515},
    {IDC_SLIDER_PANEL, 523},
    {IDC_FRAME_NUMBER, 524},
    {IDC_FRAME_NUMBER_LABEL, 524},
    {IDC_SPEED, 525},
    {IDC_SPEED_SPIN, 525},
    {IDC_SPEED_UNIT, 525},
    {IDC_SPEED_LABEL, 525},
    {IDC_VIEW_BAR, 529},
    {IDC_LOGO, 2},
    {IDC_SIZE_GRIP, 3},
};

const HelpEntry* FindHelp(const HelpEntry* begin, const HelpEntry* end, int id) {
    for (const HelpEntry* e = begin; e != end; ++e) {
        if (e->id == id) {
            return e;
        }
    }
    return nullptr;
}

void Help(DWORD context, UINT command) {
    if (CWinApp* app = AfxGetApp()) {
        app->WinHelp(context, command);
    }
}

}  // namespace

HelpCall MainWindowHelp(int contextType, int id, DWORD ownContext) {
    if (contextType == HELPINFO_MENUITEM) {
        const HelpEntry* e = FindHelp(std::begin(kMenuHelp), std::end(kMenuHelp), id);
        return e ? HelpCall{true, e->context, HELP_CONTEXTPOPUP}
                 : HelpCall{true, kHelpGeneral, HELP_CONTEXT};
    }
    // The lower strip answers help for its own buttons from their help ids.
    if (id == IDC_PLAY_BAR) {
        return {};
    }
    if (const HelpEntry* e = FindHelp(std::begin(kControlHelp), std::end(kControlHelp), id)) {
        return {true, e->context, HELP_CONTEXTPOPUP};
    }
    return ownContext != 0 ? HelpCall{true, ownContext, HELP_CONTEXTPOPUP}
                           : HelpCall{true, kHelpGeneral, HELP_CONTEXT};
}

CMainDialog::CMainDialog(CWnd* parent) : CDialog(IDD_MAIN, parent) {
    icon = static_cast<HICON>(::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                           IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    viewBar.SetBitmap(IDB_VIEW_BAR, RGB(192, 192, 192), RGB(0, 0, 128));
    viewBar.SetButtons(kViewBarButtons);
    playBar.SetBitmap(IDB_PLAY_BAR, RGB(0, 255, 255), RGB(128, 0, 128));
    playBar.SetButtons(kPlayBarButtons);
}

CMainDialog::~CMainDialog() = default;

void CMainDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_PREVIEW, preview);
    DDX_Control(dx, IDC_VIEW_BAR, viewBar);
    DDX_Control(dx, IDC_PLAY_BAR, playBar);
    DDX_Control(dx, IDC_FRAME_SLIDER, slider);
    DDX_Control(dx, IDC_SPEED_SPIN, spin);
    DDX_Text(dx, IDC_FRAME_NUMBER, frameNumber);
    DDX_Text(dx, IDC_SPEED, speedMs);
    DDV_MinMaxInt(dx, speedMs, kShortestFramePeriodMs, kLongestFramePeriodMs);
}

CRegistrySettings CMainDialog::Settings() const {
    CRegistrySettings settings;
    if (!settingsApplication.empty()) {
        settings.SetApplication(settingsApplication.c_str());
    }
    return settings;
}

void CMainDialog::ReadSettings(int32_t& width, int32_t& height) {
    CRegistrySettings settings = Settings();
    settings.SetSection(L"Setting");
    speedMs = settings.ReadInt(L"Speed", 100);
    fit = settings.ReadInt(L"Fit", 0);
    repeat = settings.ReadInt(L"Repeat", 1);
    transparent = settings.ReadInt(L"Transparent", 0);
    path = settings.ReadString(L"Path", L"");
    if (!path.empty() && !::PathFileExistsW(path.c_str())) {
        path.clear();
    }
    settings.SetSection(L"Window");
    width = settings.ReadInt(L"Width", kDefaultSize);
    height = settings.ReadInt(L"Height", kDefaultSize);
}

void CMainDialog::WriteSettings() {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    ::GetWindowPlacement(m_hWnd, &placement);
    CRegistrySettings settings = Settings();
    settings.SetSection(L"Setting");
    settings.WriteInt(L"Speed", speedMs);
    settings.WriteInt(L"Fit", fit);
    settings.WriteInt(L"Repeat", repeat);
    settings.WriteInt(L"Transparent", transparent);
    settings.WriteString(L"Path", path.c_str());
    settings.SetSection(L"Window");
    // The restored size, also for a window closed maximised or minimised.
    const RECT& normal = placement.rcNormalPosition;
    settings.WriteInt(L"Width", normal.right - normal.left);
    settings.WriteInt(L"Height", normal.bottom - normal.top);
}

BOOL CMainDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    accelerators =
        ::LoadAcceleratorsW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
    slider.SetPageSize(kSliderPageSize);
    spin.SetRange32(kShortestFramePeriodMs, kLongestFramePeriodMs);
    logoButton.SubclassDlgItem(IDC_LOGO, this);
    ::DragAcceptFiles(m_hWnd, TRUE);
    sizeGrip.SubclassDlgItem(IDC_SIZE_GRIP, this);

    int32_t width = kDefaultSize;
    int32_t height = kDefaultSize;
    ReadSettings(width, height);
    preview.SetInterval(speedMs);
    preview.SetFit(fit);
    preview.SetTransparent(transparent);
    for (const auto& [id, flag] : {std::pair{ID_VIEW_FIT, fit}, std::pair{ID_PLAY_REPEAT, repeat},
                                   std::pair{ID_VIEW_TRANSPARENT, transparent}}) {
        if (flag) {
            CheckMenu(id, 1);
            viewBar.SetButtonCheck(id, 1);
        }
    }
    UpdateData(FALSE);

    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    minWidth = window.right - window.left;
    minHeight = window.bottom - window.top;
    MeasureLayout();
    PlaceWindow(width, height);
    // The file named on the command line, if any.
    OpenFile(startupFile);
    return TRUE;
}

void CMainDialog::MeasureLayout() {
    // The client size from the window size and the frame the style gives, menu included.
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(GetStyle()), TRUE,
                         static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
    const int32_t cw = (window.right - window.left) - (frame.right - frame.left);
    const int32_t ch = (window.bottom - window.top) - (frame.bottom - frame.top);
    MainControlBoxes boxes;
    for (int slot = 0; slot < kMainControlCount; ++slot) {
        const RECT r = GetChildRect(kMainControlIds[slot]);
        boxes[slot] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    layout = MeasureMainLayout(cw, ch, boxes);
    m_layoutMeasured = true;
}

void CMainDialog::PlaceWindow(int32_t width, int32_t height) {
    // Where the system would put a new window, and the size it gets for the stored size (or its
    // default size when none is stored).
    RECT wanted{};
    if (!DefaultWindowRect(width, height, &wanted)) {
        return;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    ::GetWindowPlacement(m_hWnd, &placement);
    const RECT& normal = placement.rcNormalPosition;
    if (wanted.right - wanted.left == normal.right - normal.left &&
        wanted.bottom - wanted.top == normal.bottom - normal.top) {
        const RECT client = GetClientRect();
        ApplyLayout(client.right, client.bottom);
        return;
    }
    // Moves and resizes the window, which lays the controls out through WM_SIZE.
    placement.rcNormalPosition = wanted;
    ::SetWindowPlacement(m_hWnd, &placement);
}

void CMainDialog::ApplyLayout(int32_t cw, int32_t ch) {
    const MainPlacements placements = ArrangeMainLayout(layout, cw, ch);
    HDWP batch = ::BeginDeferWindowPos(kMainControlCount);
    for (int slot = 0; slot < kMainControlCount; ++slot) {
        const ControlPlacement& p = placements[slot];
        HWND control = GetDlgItem(kMainControlIds[slot]);
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        flags |= p.move ? 0 : SWP_NOMOVE;
        flags |= p.resize ? 0 : SWP_NOSIZE;
        if (batch != nullptr) {
            // A failed deferral frees the batch; the rest is placed one by one.
            batch = ::DeferWindowPos(batch, control, nullptr, p.box.x, p.box.y, p.box.width,
                                     p.box.height, flags);
        }
        if (batch == nullptr) {
            ::SetWindowPos(control, nullptr, p.box.x, p.box.y, p.box.width, p.box.height, flags);
        }
    }
    if (batch != nullptr) {
        ::EndDeferWindowPos(batch);
    }
}

void CMainDialog::PaintMinimised() {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const RECT client = GetClientRect();
    const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon);
    ::EndPaint(m_hWnd, &paint);
}

void CMainDialog::OnOK() {}

void CMainDialog::OnCancel() {}

BOOL CMainDialog::PreTranslateMessage(MSG* msg) {
    if (accelerators != nullptr && m_hWnd != nullptr &&
        ::TranslateAcceleratorW(m_hWnd, accelerators, msg)) {
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

BOOL CMainDialog::DestroyWindow() {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    if (playing) {
        preview.Play(0);
        playing = 0;
    }
    preview.SetDocument(nullptr);
    document.ReleaseFrames();
    // Written while the window still exists, so that its placement can be read.
    WriteSettings();
    return CDialog::DestroyWindow();
}

void CMainDialog::CheckMenu(int id, int32_t on) {
    ::CheckMenuItem(::GetMenu(m_hWnd), static_cast<UINT>(id),
                    MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void CMainDialog::StopPlayingMark() {
    playing = 0;
    CheckMenu(ID_PLAY_PAUSE, 0);
    playBar.SetButtonCheck(ID_PLAY_PAUSE, 0);
}

void CMainDialog::SetMovieCommandsEnabled(bool enabled) {
    HMENU menu = ::GetMenu(m_hWnd);
    for (const MovieCommand& c : kMovieCommands) {
        ::EnableMenuItem(menu, static_cast<UINT>(c.id),
                         MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
    for (int id : {IDC_FRAME_SLIDER, IDC_SPEED, IDC_SPEED_SPIN}) {
        ::EnableWindow(GetDlgItem(id), enabled ? TRUE : FALSE);
    }
    for (const MovieCommand& c : kMovieCommands) {
        CButtonStrip& strip = c.stripId == IDC_PLAY_BAR ? playBar : viewBar;
        strip.SetButtonDisabled(c.id, enabled ? 0 : StripState::kDisabled);
    }
}

void CMainDialog::ShowLoadedMovie() {
    documentState = kShown;
    frameNumber = 1;
    if (playing) {
        StopPlayingMark();
    }
    SetMovieCommandsEnabled(true);
    preview.SetDocument(&document);
    ShowFileName();
    slider.SetRange(1, preview.frameCount, TRUE);
    slider.SetPos(frameNumber);
    UpdateData(FALSE);
}

void CMainDialog::ShowFileName() {
    // The file name without its folder and its last extension; the window caption stays.
    std::wstring name = ::PathFindFileNameW(path.c_str());
    if (const size_t dot = name.rfind(L'.'); dot != std::wstring::npos) {
        name.erase(dot);
    }
    viewBar.SetWindowText(name.c_str());
}

void CMainDialog::DiscardMovie() {
    documentState = kNoMovie;
    if (playing) {
        StopPlayingMark();
    }
    SetMovieCommandsEnabled(false);
    preview.SetDocument(nullptr);
    viewBar.SetWindowText(L"");
    UpdateData(FALSE);
}

void CMainDialog::ToggleView(int id, int32_t& flag) {
    flag = flag ? 0 : 1;
    CheckMenu(id, flag);
    viewBar.SetButtonCheck(id, static_cast<uint32_t>(flag));
}

void CMainDialog::OnHelp(const HELPINFO* info) {
    const HelpCall call =
        MainWindowHelp(info->iContextType, info->iCtrlId, static_cast<DWORD>(info->dwContextId));
    if (call.call) {
        Help(call.context, call.command);
    }
}

bool CMainDialog::OnCommand(int id, int code, HWND) {
    // Menus (code 0), accelerators (code 1) and the strips (code 0) share the command ids.
    const bool command = code == 0 || code == 1;
    switch (id) {
        case ID_FILE_OPEN:
            if (command) {
                OnFileOpen();
            }
            return command;
        case ID_FILE_SAVE_AS:
            if (command) {
                OnFileSaveAs();
            }
            return command;
        case ID_APP_EXIT:
            if (command) {
                CDialog::OnOK();
            }
            return command;
        case ID_PLAY_PAUSE:
            if (command) {
                OnPlayPause();
            }
            return command;
        case ID_PREV_FRAME:
            if (command) {
                OnStepBack();
            }
            return command;
        case ID_NEXT_FRAME:
            if (command) {
                OnStepForward();
            }
            return command;
        case ID_FIRST_FRAME:
            if (command) {
                OnFirstFrame();
            }
            return command;
        case ID_LAST_FRAME:
            if (command) {
                OnLastFrame();
            }
            return command;
        case ID_PLAY_REPEAT:
            if (command) {
                OnRepeat();
            }
            return command;
        case ID_VIEW_FIT:
            if (command) {
                ToggleView(ID_VIEW_FIT, fit);
                preview.SetFit(fit);
            }
            return command;
        case ID_VIEW_TRANSPARENT:
            if (command) {
                ToggleView(ID_VIEW_TRANSPARENT, transparent);
                preview.SetTransparent(transparent);
            }
            return command;
        case ID_APP_ABOUT:
        case IDC_LOGO:
            if (code == 0) {
                CAboutDialog about;
                about.DoModal();
            }
            return code == 0;
        case ID_CONTEXT_HELP:
            if (command) {
                // The system's what's-this mode, started where the pointer is.
                SendMessage(WM_SYSCOMMAND, SC_CONTEXTHELP, static_cast<LPARAM>(::GetMessagePos()));
            }
            return command;
        case ID_HELP_CONTENTS:
            if (command) {
                Help(kHelpContents, HELP_CONTEXT);
            }
            return command;
        case IDC_PREVIEW:
            // The preview stepped a frame during playback.
            if (code == 0) {
                OnFrameStepped();
            }
            return code == 0;
        case IDC_SPEED:
            if (code == EN_CHANGE) {
                OnSpeedChanged();
                return true;
            }
            return false;
        default:
            return false;
    }
}

LRESULT CMainDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) {
                return 0;
            }
            break;
        case WM_CLOSE:
            // The dialog manager would turn Close into IDCANCEL, which this window ignores.
            CDialog::OnOK();
            return 0;
        case WM_HELP:
            OnHelp(reinterpret_cast<const HELPINFO*>(lParam));
            return TRUE;
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) == slider.m_hWnd && slider.m_hWnd != nullptr) {
                OnSliderMoved();
            }
            break;
        case WM_PAINT:
            if (::IsIconic(m_hWnd)) {
                PaintMinimised();
                return 0;
            }
            preview.Invalidate(TRUE);
            break;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(icon);
        case WM_SIZE: {
            const LRESULT result = Default();
            if (m_layoutMeasured) {
                ApplyLayout(LOWORD(lParam), HIWORD(lParam));
            }
            return result;
        }
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {minWidth, minHeight};
            return Default();
        }
        case WM_QUERYNEWPALETTE: {
            const BOOL realized = preview.QueryNewPalette();
            return static_cast<LRESULT>(realized) | Default();
        }
        case WM_PALETTECHANGED: {
            const LRESULT result = Default();
            preview.PaletteChanged(reinterpret_cast<HWND>(wParam));
            return result;
        }
        case WM_DESTROY: {
            const LRESULT result = CDialog::WindowProc(msg, wParam, lParam);
            // Closes the help window.
            Help(0, HELP_QUIT);
            return result;
        }
        default:
            break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

}  // namespace kx
