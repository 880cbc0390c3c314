#include "app/main_dialog.h"

#include <shlwapi.h>

#include <utility>

#include "app/main_commands.h"
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

namespace {

constexpr int kSliderPageSize = 10;
// CW_USEDEFAULT as a stored size: the system's default size.
constexpr int32_t kDefaultSize = static_cast<int32_t>(0x80000000u);

// The help topics of the controls that are not command buttons.
struct ControlHelp {
    int id;
    DWORD context;
};
constexpr ControlHelp kControlHelp[] = {
    {IDC_PREVIEW, IDH_PREVIEW},
    {IDC_FRAME_SLIDER, IDH_FRAME_SLIDER},
    {IDC_SLIDER_PANEL, IDH_SLIDER_PANEL},
    {IDC_FRAME_NUMBER, IDH_FRAME_NUMBER},
    {IDC_FRAME_NUMBER_LABEL, IDH_FRAME_NUMBER},
    {IDC_SPEED, IDH_SPEED},
    {IDC_SPEED_SPIN, IDH_SPEED},
    {IDC_SPEED_UNIT, IDH_SPEED},
    {IDC_SPEED_LABEL, IDH_SPEED},
    {IDC_VIEW_BAR, IDH_VIEW_BAR},
    {IDC_LOGO, IDH_LOGO},
    {IDC_SIZE_GRIP, IDH_SIZE_GRIP},
};

}  // namespace

HelpCall MainWindowHelp(int contextType, int id, DWORD ownContext) {
    constexpr HelpCall kGeneral{true, IDH_MAIN_WINDOW, HELP_CONTEXT};
    if (contextType == HELPINFO_MENUITEM) {
        const MainCommand* command = FindMainCommand(id);
        return command ? HelpCall{true, static_cast<DWORD>(command->helpContext), HELP_CONTEXTPOPUP}
                       : kGeneral;
    }
    // The lower strip answers help for its own buttons from their help ids.
    if (id == IDC_PLAY_BAR) {
        return {};
    }
    for (const ControlHelp& control : kControlHelp) {
        if (control.id == id) {
            return {true, control.context, HELP_CONTEXTPOPUP};
        }
    }
    return ownContext != 0 ? HelpCall{true, ownContext, HELP_CONTEXTPOPUP} : kGeneral;
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
    if (!m_settingsApplication.empty()) {
        settings.SetApplication(m_settingsApplication.c_str());
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
    OpenFile(m_startupFile);
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
    m_layout = MeasureMainLayout(cw, ch, boxes);
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
    const MainPlacements placements = ArrangeMainLayout(m_layout, cw, ch);
    HDWP batch = ::BeginDeferWindowPos(kMainControlCount);
    for (int slot = 0; slot < kMainControlCount; ++slot) {
        const ControlPlacement& p = placements[slot];
        HWND control = GetDlgItem(kMainControlIds[slot]);
        // The system would copy a moved control's old pixels to its new place and repaint only
        // what that leaves uncovered; the window is painted whole below instead.
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;
        flags |= p.move ? 0 : SWP_NOMOVE;
        flags |= p.resize ? 0 : SWP_NOSIZE;
        if (batch != nullptr) {
            // A failed deferral frees the batch; the rest is placed one by one.
            batch = ::DeferWindowPos(batch, control, nullptr, p.box.left, p.box.top, p.box.width,
                                     p.box.height, flags);
        }
        if (batch == nullptr) {
            ::SetWindowPos(control, nullptr, p.box.left, p.box.top, p.box.width, p.box.height,
                           flags);
        }
    }
    if (batch != nullptr) {
        ::EndDeferWindowPos(batch);
    }
    // Every control stands somewhere else now, and what stood there before is stale: the
    // background and every control are painted again.
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
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
    for (const MainCommand& c : kMainCommands) {
        if (c.needsMovie) {
            ::EnableMenuItem(menu, static_cast<UINT>(c.id),
                             MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        }
    }
    for (int id : {IDC_FRAME_SLIDER, IDC_SPEED, IDC_SPEED_SPIN}) {
        ::EnableWindow(GetDlgItem(id), enabled ? TRUE : FALSE);
    }
    for (const MainCommand& c : kMainCommands) {
        if (c.needsMovie) {
            CButtonStrip& strip = HasButton(kPlayBarLayout, c.id) ? playBar : viewBar;
            strip.SetButtonDisabled(c.id, enabled ? 0 : StripState::kDisabled);
        }
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

bool CMainDialog::OnHelp(const HELPINFO& info) {
    const HelpCall call =
        MainWindowHelp(info.iContextType, info.iCtrlId, static_cast<DWORD>(info.dwContextId));
    if (call.call) {
        AfxHelp(call.context, call.command);
    }
    return true;
}

void CMainDialog::OnSize(UINT, int clientWidth, int clientHeight) {
    if (m_layoutMeasured) {
        ApplyLayout(clientWidth, clientHeight);
    }
}

void CMainDialog::OnExit() {
    // Ends the window as OK would: only when the speed field holds a valid number.
    CDialog::OnOK();
}

void CMainDialog::OnFit() {
    ToggleView(ID_VIEW_FIT, fit);
    preview.SetFit(fit);
}

void CMainDialog::OnTransparent() {
    ToggleView(ID_VIEW_TRANSPARENT, transparent);
    preview.SetTransparent(transparent);
}

void CMainDialog::OnContextHelp() {
    // The system's what's-this mode, started where the pointer is.
    SendMessage(WM_SYSCOMMAND, SC_CONTEXTHELP, static_cast<LPARAM>(::GetMessagePos()));
}

void CMainDialog::OnHelpContents() {
    AfxHelp(IDH_CONTENTS, HELP_CONTEXT);
}

void CMainDialog::OnAbout() {
    CAboutDialog about;
    about.DoModal();
}

bool CMainDialog::OnCommand(int id, int code, HWND control) {
    // Menus and the strips send code 0, the accelerators code 1.
    constexpr int kMenuOrKey = -1;
    struct Handler {
        int id;
        int code;  // kMenuOrKey for either
        void (CMainDialog::*run)();
    };
    static constexpr Handler kHandlers[] = {
        {ID_FILE_OPEN, kMenuOrKey, &CMainDialog::OnFileOpen},
        {ID_FILE_SAVE_AS, kMenuOrKey, &CMainDialog::OnFileSaveAs},
        {ID_APP_EXIT, kMenuOrKey, &CMainDialog::OnExit},
        {ID_PLAY_PAUSE, kMenuOrKey, &CMainDialog::OnPlayPause},
        {ID_PREV_FRAME, kMenuOrKey, &CMainDialog::OnStepBack},
        {ID_NEXT_FRAME, kMenuOrKey, &CMainDialog::OnStepForward},
        {ID_FIRST_FRAME, kMenuOrKey, &CMainDialog::OnFirstFrame},
        {ID_LAST_FRAME, kMenuOrKey, &CMainDialog::OnLastFrame},
        {ID_PLAY_REPEAT, kMenuOrKey, &CMainDialog::OnRepeat},
        {ID_VIEW_FIT, kMenuOrKey, &CMainDialog::OnFit},
        {ID_VIEW_TRANSPARENT, kMenuOrKey, &CMainDialog::OnTransparent},
        {ID_CONTEXT_HELP, kMenuOrKey, &CMainDialog::OnContextHelp},
        {ID_HELP_CONTENTS, kMenuOrKey, &CMainDialog::OnHelpContents},
        {ID_APP_ABOUT, 0, &CMainDialog::OnAbout},
        {IDC_LOGO, BN_CLICKED, &CMainDialog::OnAbout},
        // The preview stepped a frame during playback.
        {IDC_PREVIEW, 0, &CMainDialog::OnFrameStepped},
        {IDC_SPEED, EN_CHANGE, &CMainDialog::OnSpeedChanged},
    };
    for (const Handler& handler : kHandlers) {
        const bool codeMatches =
            handler.code == kMenuOrKey ? code == 0 || code == 1 : code == handler.code;
        if (handler.id == id && codeMatches) {
            (this->*handler.run)();
            return true;
        }
    }
    return CDialog::OnCommand(id, code, control);
}

LRESULT CMainDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE:
            // The dialog manager would turn Close into IDCANCEL, which this window ignores.
            OnExit();
            return 0;
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
            AfxHelp(0, HELP_QUIT);
            return result;
        }
        default:
            break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

}  // namespace kx
