#include "controls/button_strip.h"

#include <new>

#include "framework/app.h"

namespace kx {

CButtonStrip::CButtonStrip() {
    LoadSystemColors();
}

CButtonStrip::~CButtonStrip() = default;

void CButtonStrip::LoadSystemColors() {
    m_faceColor = ::GetSysColor(COLOR_BTNFACE);
    m_highlightColor = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    m_shadowColor = ::GetSysColor(COLOR_BTNSHADOW);
    m_textColor = ::GetSysColor(COLOR_BTNTEXT);
    m_faceBrush = ::GetSysColorBrush(COLOR_BTNFACE);
}

bool CButtonStrip::SetBitmap(int32_t bitmapId, COLORREF transparentColor, COLORREF glyphColor) {
    m_bitmapId = bitmapId;
    m_transparentColor = transparentColor;
    m_glyphColor = glyphColor;
    return PrepareImages(false);
}

bool CButtonStrip::PrepareImages(bool relayout) {
    m_imageSize = 16;
    if (relayout) {
        LayOut();
    }
    return true;
}

bool CButtonStrip::SetButtons(const StripButtonDef* defs, int32_t count) {
    m_buttons.clear();
    if (count > 0) {
        try {
            m_buttons.resize(static_cast<size_t>(count));
        } catch (const std::bad_alloc&) {
            m_buttons.clear();
            return false;
        }
    }
    int32_t image = 0;
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const StripButtonDef& def = defs[i];
        StripButton& entry = m_buttons[i];
        entry.id = def.id;
        entry.stringId = def.stringId;
        if (def.id != 0) {
            entry.style = def.style;
            entry.helpId = def.helpId;
            entry.image = image++;
        }
        entry.x = kUnplaced;
        entry.state = entry.style & (StripState::kDisabled | StripState::kHidden);
    }
    while (!m_buttons.empty() && m_buttons.back().IsSeparator()) {
        m_buttons.pop_back();
    }
    LayOut();
    return true;
}

int32_t CButtonStrip::FindById(int32_t id, int32_t start) const {
    return FindEntryById(m_buttons, id, start);
}

void CButtonStrip::ChangeBits(int32_t key, uint32_t value, uint16_t mask) {
    const auto bits = static_cast<uint16_t>(LOWORD(value));
    if (value & kByIndex) {
        if (key >= 0 && static_cast<size_t>(key) < m_buttons.size() &&
            !m_buttons[size_t(key)].IsSeparator()) {
            SetButtonState(key, bits, mask);
        }
        return;
    }
    for (int32_t i = FindById(key, 0); i >= 0;) {
        SetButtonState(i, bits, mask);
        const int32_t next = FindById(key, i + 1);
        if (next <= i) {
            break;
        }
        i = next;
    }
}

void CButtonStrip::SetButtonCheck(int32_t key, uint32_t value) {
    ChangeBits(key, value, StripState::kCheckMask);
}

void CButtonStrip::SetButtonDisabled(int32_t key, uint32_t value) {
    ChangeBits(key, value, StripState::kDisabled);
}

uint16_t CButtonStrip::SetButtonState(int32_t index, uint16_t value, uint16_t mask) {
    if (index == kChevronIndex) {
        const uint16_t old = m_chevronState;
        m_chevronState = static_cast<uint16_t>((old & ~mask) | (value & mask));
        return static_cast<uint16_t>(old ^ m_chevronState);
    }
    if (index < 0 || static_cast<size_t>(index) >= m_buttons.size()) {
        return 0;
    }
    StripButton& entry = m_buttons[size_t(index)];
    bool radioCheck = false;
    if ((entry.style & StripStyle::kRadio) && (value & mask & StripState::kCheckMask)) {
        value = static_cast<uint16_t>((value & ~StripState::kIndeterminate) | StripState::kChecked);
        mask |= StripState::kCheckMask;
        radioCheck = true;
    }
    const uint16_t old = entry.state;
    entry.state = static_cast<uint16_t>((old & ~mask) | (value & mask));
    const auto changed = static_cast<uint16_t>(old ^ entry.state);
    if ((changed & StripState::kHidden) && m_hWnd != nullptr) {
        LayOut();
    }
    if (radioCheck) {
        const int32_t start = RadioGroupStart(m_buttons, index);
        const int32_t end = RadioGroupEnd(m_buttons, start);
        for (int32_t i = start; i < end; ++i) {
            if (i != index) {
                SetButtonState(i, 0, StripState::kCheckMask);
            }
        }
    }
    return changed;
}

void CButtonStrip::SetCaption(const wchar_t* text) {
    int32_t length = 0;
    if (text != nullptr) {
        while (length < kMaxCaption && text[length] != L'\0') {
            ++length;
        }
    }
    for (int32_t i = 0; i < length; ++i) {
        m_caption[i] = text[i];
    }
    m_caption[length] = L'\0';
    m_captionLength = length;
}

void CButtonStrip::LayOut() {
    if (m_hWnd == nullptr) {
        return;
    }
    const RECT client = GetClientRect();
    StripMetrics metrics;
    metrics.clientWidth = client.right - client.left;
    metrics.clientHeight = client.bottom - client.top;
    metrics.style = LOWORD(GetStyle());
    metrics.imageSize = m_imageSize;
    m_geometry = LayOutStrip(metrics, m_buttons);
}

void CButtonStrip::Draw(HDC dc) {
    const RECT client = GetClientRect();
    ::FillRect(dc, &client, m_faceBrush);
}

void CButtonStrip::PreSubclassWindow() {
    CDrawnControl::PreSubclassWindow();
    SetCaption(GetWindowText().c_str());
    PrepareImages(true);
}

BOOL CButtonStrip::PreTranslateMessage(MSG* msg) {
    return CDrawnControl::PreTranslateMessage(msg);
}

UINT CButtonStrip::TrackChevronMenu(HMENU menu, UINT flags, POINT screen, const TPMPARAMS& params) {
    TPMPARAMS copy = params;
    return static_cast<UINT>(::TrackPopupMenuEx(menu, flags, screen.x, screen.y, m_hWnd, &copy));
}

LRESULT CButtonStrip::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SETTEXT:
            SetCaption(reinterpret_cast<const wchar_t*>(lParam));
            Default();
            LayOut();
            Invalidate(FALSE);
            return TRUE;
        case WM_SIZE:
            m_lastMouseX = -1;
            m_lastMouseY = -1;
            LayOut();
            return 0;
        default:
            return CDrawnControl::WindowProc(msg, wParam, lParam);
    }
}

}  // namespace kx
