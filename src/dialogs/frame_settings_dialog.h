// The dialog that asks how tall one frame of a freshly read strip is, or how many frames it
// holds: a preview of the strip beside two linked fields, frame count and frame height, and the
// rows left over at the bottom. Changing either field recomputes the others at once: a typed
// height stays as typed, a typed count gives the smallest height that makes it. The chosen
// height is remembered in the settings and proposed the next time.
#ifndef KINETRIX_DIALOGS_FRAME_SETTINGS_DIALOG_H
#define KINETRIX_DIALOGS_FRAME_SETTINGS_DIALOG_H

#include <windows.h>

#include <cstdint>

#include "controls/logo_button.h"
#include "doc/frame_rules.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "resources/resource.h"
#include "settings/registry_settings.h"
#include "view/preview_window.h"

namespace kx {

// Help contexts of the dialog's controls, and the command that shows them.
struct HelpTopic {
    DWORD context;
    UINT command;
};
HelpTopic FrameSettingsHelpTopic(int controlId);

class CFrameSettingsDialog : public CDialog {
public:
    explicit CFrameSettingsDialog(CWnd* parent = nullptr);
    ~CFrameSettingsDialog() override;

    // Writes the height last shown to the settings (after OK and cancel alike), then destroys
    // the window.
    BOOL DestroyWindow() override;

    // Bound by the caller to the document holding the strip (SetDocument) before DoModal.
    CPreviewWindow m_preview;
    CSpinButtonCtrl m_spinHeight;
    CSpinButtonCtrl m_spinCount;
    // What the three fields show. The result: after IDOK the caller composes the movie with its
    // height.
    FrameFields m_fields{1, 1, 0};
    CLogoButton m_logo;
    int32_t m_nStripHeight = 1;
    bool m_bInitialized = false;
    // Set while the fields are written back, whose own change notifications are then ignored.
    bool m_writingBack = false;
    // Where the height is remembered: section "Setting", value "Height".
    CRegistrySettings m_settings;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnHelp(const HELPINFO& info) override;
    void OnSize(UINT kind, int clientWidth, int clientHeight) override;

private:
    void OnHeightChanged();
    void OnCountChanged();
    void Show(const FrameFields& fields);
    void MeasureLayout();
    void Layout(int cx, int cy);
    void PlaceInitially();

    // A control that keeps its distance from the dialog's right edge, and its top or its
    // distance from the bottom edge; measured at initialisation in client coordinates.
    struct Anchor {
        int id;
        bool toBottom;
        int fromRight = 0;
        int y = 0;
    };
    static constexpr int kAnchoredControls = 12;
    Anchor m_anchors[kAnchoredControls] = {
        {IDC_FRAME_COUNT_LABEL, false},
        {IDC_FRAME_COUNT, false},
        {IDC_FRAME_COUNT_SPIN, false},
        {IDC_FRAME_HEIGHT_LABEL, false},
        {IDC_FRAME_HEIGHT, false},
        {IDC_FRAME_HEIGHT_SPIN, false},
        {IDC_FRAME_HEIGHT_UNIT, false},
        {IDC_REMAINDER_LABEL, false},
        {IDC_REMAINDER, false},
        {IDC_REMAINDER_UNIT, false},
        {IDOK, true},
        {IDC_LOGO, true},
    };
    // The preview grows with the dialog: its margins to the four edges together.
    int m_previewSlackX = 0;
    int m_previewSlackY = 0;
    bool m_layoutMeasured = false;
};

}  // namespace kx

#endif  // KINETRIX_DIALOGS_FRAME_SETTINGS_DIALOG_H
