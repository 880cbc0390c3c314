#include "dialogs/frame_settings_dialog.h"

#include <algorithm>
#include <string>

#include "dialogs/about_dialog.h"
#include "framework/app.h"
#include "resources/resource.h"

namespace kx {

namespace {

constexpr wchar_t kSection[] = L"Setting";
constexpr wchar_t kHeightValue[] = L"Height";

// The size the dialog opens with at most, whatever the strip.
constexpr int kMaxInitialWidth = 640;
constexpr int kMaxInitialHeight = 480;

std::wstring TextOf(HWND window) {
    if (window == nullptr) {
        return {};
    }
    std::wstring text(size_t(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(::GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

}  // namespace

HelpTopic FrameSettingsHelpTopic(int controlId) {
    switch (controlId) {
        case IDOK:
            return {IDH_FRAME_SETTINGS_OK, HELP_CONTEXTPOPUP};
        case IDC_FRAME_HEIGHT:
        case IDC_FRAME_HEIGHT_SPIN:
        case IDC_FRAME_HEIGHT_LABEL:
        case IDC_FRAME_HEIGHT_UNIT:
            return {IDH_FRAME_HEIGHT, HELP_CONTEXTPOPUP};
        case IDC_STRIP_PREVIEW:
            return {IDH_STRIP_PREVIEW, HELP_CONTEXTPOPUP};
        case IDC_FRAME_COUNT:
        case IDC_FRAME_COUNT_SPIN:
        case IDC_FRAME_COUNT_LABEL:
            return {IDH_FRAME_COUNT, HELP_CONTEXTPOPUP};
        case IDC_REMAINDER:
        case IDC_REMAINDER_LABEL:
        case IDC_REMAINDER_UNIT:
            return {IDH_REMAINDER, HELP_CONTEXTPOPUP};
        case IDC_LOGO:
            return {IDH_LOGO, HELP_CONTEXTPOPUP};
        default:
            return {IDH_FRAME_SETTINGS, HELP_CONTEXT};
    }
}

CFrameSettingsDialog::CFrameSettingsDialog(CWnd* parent) : CDialog(IDD_FRAME_SETTINGS, parent) {
    m_settings.SetSection(kSection);
}

CFrameSettingsDialog::~CFrameSettingsDialog() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

BOOL CFrameSettingsDialog::DestroyWindow() {
    // A window that never finished its initialisation has shown no height of the user's.
    if (m_hWnd != nullptr && m_bInitialized) {
        m_settings.WriteInt(kHeightValue, m_fields.height);
    }
    return CDialog::DestroyWindow();
}

void CFrameSettingsDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_STRIP_PREVIEW, m_preview);
    DDX_Control(dx, IDC_FRAME_HEIGHT_SPIN, m_spinHeight);
    DDX_Control(dx, IDC_FRAME_COUNT_SPIN, m_spinCount);
    DDX_Text(dx, IDC_FRAME_HEIGHT, m_fields.height);
    DDX_Text(dx, IDC_FRAME_COUNT, m_fields.count);
    DDX_Text(dx, IDC_REMAINDER, m_fields.remainder);
}

BOOL CFrameSettingsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    // A freshly read strip is one frame of the strip's full height. Without a strip the fields
    // still work on one row, so nothing ever divides by zero.
    const int32_t stripHeight = std::max(m_preview.shownHeight, 1);
    m_nStripHeight = stripHeight;
    m_fields.height = ProposedFrameHeight(stripHeight, m_settings.ReadInt(kHeightValue, 0));
    m_preview.SetFit(TRUE);
    m_spinHeight.SetRange32(1, stripHeight);
    m_spinCount.SetRange32(1, stripHeight);
    m_logo.SubclassDlgItem(IDC_LOGO, this);
    UpdateData(FALSE);
    m_bInitialized = true;
    OnHeightChanged();
    MeasureLayout();
    PlaceInitially();
    return TRUE;
}

void CFrameSettingsDialog::Show(const FrameFields& fields) {
    m_fields = fields;
    m_preview.SetShownHeight(fields.height);
    // Each field whose text changes raises its EN_UPDATE at once, inside this call. The fields
    // already agree, and a typed height must stay as typed: a count handler run now would
    // replace it by the smallest height giving the same count.
    // A rewrite of the field being typed in puts its caret at the start; the user's next digit
    // belongs at its end, as it would without the rewrite.
    HWND typing = ::GetFocus();
    if (typing != GetDlgItem(IDC_FRAME_HEIGHT) && typing != GetDlgItem(IDC_FRAME_COUNT)) {
        typing = nullptr;
    }
    const std::wstring before = TextOf(typing);
    m_writingBack = true;
    UpdateData(FALSE);
    m_writingBack = false;
    const std::wstring after = TextOf(typing);
    if (typing != nullptr && after != before) {
        const auto lengthAfter = static_cast<int>(after.size());
        ::SendMessageW(typing, EM_SETSEL, WPARAM(lengthAfter), LPARAM(lengthAfter));
    }
}

void CFrameSettingsDialog::OnHeightChanged() {
    if (!m_bInitialized || m_writingBack) {
        return;
    }
    // Text that is not a number keeps the values from before it, which are written back.
    UpdateData(TRUE);
    Show(FieldsFromHeight(m_nStripHeight, m_fields.height));
}

void CFrameSettingsDialog::OnCountChanged() {
    if (!m_bInitialized || m_writingBack) {
        return;
    }
    UpdateData(TRUE);
    Show(FieldsFromCount(m_nStripHeight, m_fields.count));
}

void CFrameSettingsDialog::MeasureLayout() {
    // Measured against the client area, so that a layout at the first size leaves every
    // control where the template put it.
    const RECT client = GetClientRect();
    const RECT preview = GetChildRect(IDC_STRIP_PREVIEW);
    m_previewSlackX = preview.left + (client.right - preview.right);
    m_previewSlackY = preview.top + (client.bottom - preview.bottom);
    for (Anchor& anchor : m_anchors) {
        const RECT r = GetChildRect(anchor.id);
        anchor.fromRight = client.right - r.left;
        anchor.y = anchor.toBottom ? client.bottom - r.top : r.top;
    }
    m_layoutMeasured = true;
}

void CFrameSettingsDialog::Layout(int cx, int cy) {
    constexpr UINT kMoveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    constexpr UINT kSizeFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    HDWP batch = ::BeginDeferWindowPos(kAnchoredControls + 1);
    // Without a batch each control is placed at once.
    const auto place = [&batch](HWND control, int x, int y, int w, int h, UINT flags) {
        if (control == nullptr) {
            return;
        }
        if (batch != nullptr) {
            batch = ::DeferWindowPos(batch, control, nullptr, x, y, w, h, flags);
        } else {
            ::SetWindowPos(control, nullptr, x, y, w, h, flags);
        }
    };
    place(GetDlgItem(IDC_STRIP_PREVIEW), 0, 0, std::max(cx - m_previewSlackX, 0),
          std::max(cy - m_previewSlackY, 0), kSizeFlags);
    for (const Anchor& anchor : m_anchors) {
        place(GetDlgItem(anchor.id), cx - anchor.fromRight,
              anchor.toBottom ? cy - anchor.y : anchor.y, 0, 0, kMoveFlags);
    }
    if (batch != nullptr) {
        ::EndDeferWindowPos(batch);
    }
}

void CFrameSettingsDialog::PlaceInitially() {
    RECT own{};
    ::GetWindowRect(m_hWnd, &own);
    int width = std::max<int>(own.right - own.left, m_previewSlackX + (m_preview.frameWidth >> 1));
    int height = std::max<int>(own.bottom - own.top, m_previewSlackY + (m_nStripHeight >> 2));
    width = std::min(width, kMaxInitialWidth);
    height = std::min(height, kMaxInitialHeight);
    // Where the system would put a new window of that size.
    RECT place{};
    if (!DefaultWindowRect(width, height, &place)) {
        return;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!::GetWindowPlacement(m_hWnd, &placement)) {
        return;
    }
    const RECT& normal = placement.rcNormalPosition;
    // The same size keeps the placement centred over the owner.
    if (place.right - place.left != normal.right - normal.left ||
        place.bottom - place.top != normal.bottom - normal.top) {
        placement.rcNormalPosition = place;
        ::SetWindowPlacement(m_hWnd, &placement);
    }
}

bool CFrameSettingsDialog::OnCommand(int id, int code, HWND control) {
    if (id == IDC_FRAME_HEIGHT && code == EN_UPDATE) {
        OnHeightChanged();
        return true;
    }
    if (id == IDC_FRAME_COUNT && code == EN_UPDATE) {
        OnCountChanged();
        return true;
    }
    if (id == IDC_LOGO && code == BN_CLICKED) {
        CAboutDialog about;
        about.DoModal();
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

bool CFrameSettingsDialog::OnHelp(const HELPINFO& info) {
    const HelpTopic topic = FrameSettingsHelpTopic(info.iCtrlId);
    AfxHelp(topic.context, topic.command);
    return true;
}

void CFrameSettingsDialog::OnSize(UINT kind, int clientWidth, int clientHeight) {
    if (m_layoutMeasured && kind != SIZE_MINIMIZED) {
        Layout(clientWidth, clientHeight);
    }
}

}  // namespace kx
