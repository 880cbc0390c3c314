// A one-row tool strip drawn by the program: an optional caption, square picture buttons and
// separators, and a chevron whose menu lists the buttons that did not fit. Buttons send their
// command id to the parent as WM_COMMAND; they can be plain, check, three-state or radio
// buttons, disabled or hidden, and have a tooltip and a help context id.
//
// The owner calls SetBitmap and SetButtons before the window exists (in its constructor), then
// subclasses the strip onto a button of its dialog, and at run time changes buttons by command
// id with SetButtonCheck and SetButtonDisabled, and the caption with SetWindowText.
#ifndef KINETRIX_CONTROLS_BUTTON_STRIP_H
#define KINETRIX_CONTROLS_BUTTON_STRIP_H

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

#include "controls/drawn_control.h"
#include "controls/strip_layout.h"
#include "framework/gdi.h"

namespace kx {

class CButtonStrip : public CDrawnControl {
public:
    // In the value of SetButtonCheck and SetButtonDisabled: the key is an entry index, not a
    // command id.
    static constexpr uint32_t kByIndex = 0x10000;
    // A colour that is not there (no transparent colour, no glyph colour).
    static constexpr COLORREF kNoColor = static_cast<COLORREF>(-1);
    // Longest caption kept, in UTF-16 units.
    static constexpr int32_t kMaxCaption = 255;

    // Flags of the strip.
    static constexpr uint16_t kFocusFlag = 0x0004;       // the strip has the keyboard focus
    static constexpr uint16_t kKeyPressFlag = 0x0008;    // a press by the space key
    static constexpr uint16_t kTrackingFlag = 0x0020;    // the pointer is followed over an entry
    static constexpr uint16_t kMousePressFlag = 0x0040;  // a press by the left mouse button

    // The notification sent to the parent when the hot entry changes (idFrom: its command id).
    static constexpr UINT kHotItemNotify = 390;

    CButtonStrip();
    ~CButtonStrip() override;

    // The image row: a bitmap resource of square pictures, pixels of transparentColor not
    // drawn, pixels of glyphColor drawn in the button-text colour (kNoColor for none). Builds
    // the pictures when the window exists; neither lays out nor repaints.
    bool SetBitmap(int32_t bitmapId, COLORREF transparentColor, COLORREF glyphColor);
    // Replaces the entries; trailing separators are dropped. Lays out when the window exists.
    bool SetButtons(const StripButtonDef* defs, int32_t count);
    bool SetButtons(std::span<const StripButtonDef> defs) {
        return SetButtons(defs.data(), static_cast<int32_t>(defs.size()));
    }
    // value: 0 unchecked, 1 checked, 2 indeterminate; key a command id (every entry with it),
    // or an entry index when value has kByIndex.
    void SetButtonCheck(int32_t key, uint32_t value);
    // value: StripState::kDisabled (0x0100) or 0; key as for SetButtonCheck.
    void SetButtonDisabled(int32_t key, uint32_t value);
    // Changes state bits of an entry or of the chevron (kChevronIndex), repaints what changed
    // and returns the changed bits. Checking a radio button unchecks the rest of its group.
    uint16_t SetButtonState(int32_t index, uint16_t value, uint16_t mask);
    int32_t FindById(int32_t id, int32_t start) const;
    // Builds the picture and its masks from the bitmap; lays out afterwards when relayout.
    bool PrepareImages(bool relayout);

    void Draw(HDC dc) override;

    // The entries and where the row's parts went.
    std::span<const StripButton> Buttons() const { return m_buttons; }
    const StripGeometry& Geometry() const { return m_geometry; }

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PreSubclassWindow() override;

    // Runs the chevron's menu (TrackPopupMenuEx with TPM_RETURNCMD) and returns the chosen
    // command, 0 for none.
    virtual UINT TrackChevronMenu(HMENU menu, UINT flags, POINT screen, const TPMPARAMS& params);

private:
    class CellPainter;

    // The image row with the glyph colour mapped to mappedGlyph; null when it cannot be loaded.
    HBITMAP LoadPicture(COLORREF mappedGlyph) const;
    // Builds both masks from the picture (memory DCs a and b are work surfaces).
    bool BuildMasks(HDC a, HDC b, const Bitmap& picture, SIZE size);
    void LayOut();
    void LoadSystemColors();
    void SetCaption(const wchar_t* text);
    void ChangeBits(int32_t key, uint32_t value, uint16_t mask);
    void UpdateToolRects();
    void RepaintEntry(int32_t index);
    void DrawContents(HDC dc);
    void DrawEntry(HDC target, CellPainter& painter, int32_t index);
    void DrawDisabledCell(CellPainter& painter, uint16_t state, int32_t offset);
    void DrawEnabledCell(CellPainter& painter, uint16_t state, int32_t offset);
    void DrawChevron(HDC dc);
    void DrawCaption(HDC dc);
    void DrawFocusCue(HDC dc);
    bool FocusCuesShown() const;
    void UpdateUiState(WPARAM change);
    // The system's own F1 help request, which the strip drops, and a change of what the window
    // hides until the keyboard is used.
    LRESULT OnKeyboardCue(UINT msg, WPARAM wParam);
    void FillFace(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
    RECT CellRect(int32_t index) const;
    RECT ChevronRect() const;

    // The pointer, key and focus messages; false for one the strip leaves to default processing.
    bool OnInput(UINT msg, WPARAM wParam, LPARAM lParam);
    bool Selectable(int32_t index) const;
    int32_t HitTest(int32_t x, int32_t y) const;
    void SetHotItem(int32_t index, bool on);
    void Press(bool byMouse);
    void Click(int32_t index);
    void OnMouseDown(int32_t x, int32_t y);
    void OnMouseUp();
    void OnMouseMove(int32_t x, int32_t y);
    void OnMouseLeave();
    void OnCaptureChanged();
    // Ends a press of the given kinds (flags) without a click.
    void EndPress(uint16_t pressFlags);
    // Hot tracking from where the pointer is now.
    void FollowPointer();
    void OnFocus(bool gained);
    // Space, the arrows and F1; false for the keys the strip leaves to default processing.
    bool OnKeyDown(WPARAM key);
    UINT ShowChevronMenu();
    BOOL OnToolTipText(NMTTDISPINFOW* info) const;
    LRESULT OnHelp(WPARAM wParam, const HELPINFO* received);
    void HelpForHotItem();
    LRESULT ForwardHelp(WPARAM wParam, const HELPINFO& info);
    int32_t HelpIdOf(int32_t commandId, int32_t fallback) const;
    void NotifyHotItem(int32_t commandId);
    void SendCommand(int32_t commandId);
    void ReleaseOwnCapture();

    int32_t m_bitmapId = 0;
    COLORREF m_transparentColor = kNoColor;
    COLORREF m_glyphColor = kNoColor;
    std::vector<StripButton> m_buttons;
    wchar_t m_caption[kMaxCaption + 1] = {};
    int32_t m_captionLength = 0;
    uint16_t m_flags = 0;
    int32_t m_hotIndex = -1;
    int32_t m_imageSize = 16;
    StripGeometry m_geometry;
    Bitmap m_imageBitmap;
    Bitmap m_embossMask;        // 0 exactly on the dark, non-transparent pixels
    Bitmap m_transparencyMask;  // 1 where the picture has the transparent colour
    uint16_t m_chevronState = 0;
    COLORREF m_faceColor = 0;
    COLORREF m_highlightColor = 0;
    COLORREF m_shadowColor = 0;
    COLORREF m_textColor = 0;
    HBRUSH m_faceBrush = nullptr;  // a system brush, never deleted
    CToolTipCtrl m_tooltip;
    // Tools registered with the tooltip, one per entry index (tool id index + 1).
    int32_t m_toolCount = 0;
    int32_t m_lastMouseX = -1;
    int32_t m_lastMouseY = -1;
    bool m_helpMenuMode = false;
    WORD m_uiState = 0;  // UISF_ bits: what the window hides until the keyboard is used
};

}  // namespace kx

#endif  // KINETRIX_CONTROLS_BUTTON_STRIP_H
