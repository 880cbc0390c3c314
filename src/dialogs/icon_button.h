// An owner-drawn push button showing an icon resource, scaled to the largest square that fits.
#ifndef KINETRIX_DIALOGS_ICON_BUTTON_H
#define KINETRIX_DIALOGS_ICON_BUTTON_H

#include <windows.h>

#include <cstdint>

#include "framework/controls.h"

namespace kx {

class CIconButton : public CButton {
public:
    // Style flags.
    static constexpr uint32_t kFrame = 0x10;       // soft raised edge, sunken while pressed
    static constexpr uint32_t kSquareWell = 0x20;  // square, raised edge and sunken well
    static constexpr uint32_t kLeft = 0x1;         // horizontal placement (else centred)
    static constexpr uint32_t kRight = 0x2;
    static constexpr uint32_t kHorizontalMask = 0x3;
    static constexpr uint32_t kTop = 0x4;  // vertical placement (else centred)
    static constexpr uint32_t kBottom = 0x8;
    static constexpr uint32_t kVerticalMask = 0xC;

    uint32_t m_nStyle = 0;
    // Icon resource id (its low 16 bits), 0 for none.
    uint32_t m_nIconId = 0;

    void SetStyle(uint32_t style) { m_nStyle = style; }
    void SetIcon(uint32_t iconId) { m_nIconId = iconId; }

    // Paints the button for its owner's WM_DRAWITEM.
    BOOL DrawItem(const DRAWITEMSTRUCT* item) override;
};

}  // namespace kx

#endif  // KINETRIX_DIALOGS_ICON_BUTTON_H
