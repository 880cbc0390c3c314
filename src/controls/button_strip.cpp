#include "controls/button_strip.h"

#include <windowsx.h>

#include <new>
#include <string>

#include "framework/app.h"

namespace kx {

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
// Pixels whose three components are all at least this light count as light in the masks.
constexpr COLORREF kLightLimit = RGB(192, 192, 192);

// What the system makes of an F1 key press after its key down: a help request of its own.
constexpr UINT kKeyF1Message = 0x004D;

// Characters a tooltip shows: the notification's own buffer less its terminating NUL.
constexpr size_t kTooltipChars = sizeof(NMTTDISPINFOW::szText) / sizeof(wchar_t) - 1;

bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

// The off-screen square a button is composed in, and the memory DC its pictures and masks are
// selected into.
class CButtonStrip::CellPainter {
public:
    CellPainter(HDC target, int32_t cellSize)
        : m_canvas(target),
          m_source(target),
          m_cell(::CreateCompatibleBitmap(target, cellSize, cellSize)),
          m_cellSelected(m_canvas.Get(), m_cell.Get()),
          m_sourcePrevious(m_source.Get() ? ::GetCurrentObject(m_source.Get(), OBJ_BITMAP)
                                          : nullptr) {}
    CellPainter(const CellPainter&) = delete;
    CellPainter& operator=(const CellPainter&) = delete;
    ~CellPainter() {
        if (m_sourcePrevious != nullptr) {
            ::SelectObject(m_source.Get(), m_sourcePrevious);
        }
    }

    bool Ready() const { return m_source.Get() != nullptr && m_cellSelected.Selected(); }
    HDC Canvas() const { return m_canvas.Get(); }

    // The picture the following calls draw: the square at (sourceX, 0) of the image row, whose
    // pictures are imageSize wide, drawn size x size (scaled when the sizes differ).
    void SetPicture(int32_t sourceX, int32_t imageSize, int32_t size) {
        m_sourceX = sourceX;
        m_imageSize = imageSize;
        m_size = size;
    }
    // The 0-pixels of a mask turn black in the canvas, at (at, at).
    void Clear(HBITMAP mask, int32_t at) {
        if (Use(mask)) {
            ::SetTextColor(m_canvas.Get(), kBlack);
            ::SetBkColor(m_canvas.Get(), kWhite);
            Blit(at, SRCAND);
        }
    }
    // The 0-pixels of a mask get a colour ORed in.
    void Paint(HBITMAP mask, COLORREF colour, int32_t at) {
        if (Use(mask)) {
            ::SetTextColor(m_canvas.Get(), colour);
            ::SetBkColor(m_canvas.Get(), kBlack);
            Blit(at, SRCPAINT);
        }
    }
    // The 0-pixels of a mask in one colour.
    void Stamp(HBITMAP mask, COLORREF colour, int32_t at) {
        Clear(mask, at);
        Paint(mask, colour, at);
    }
    // A picture whose transparent pixels are black, ORed into a cleared area.
    void Picture(HBITMAP picture, int32_t at) {
        if (Use(picture)) {
            Blit(at, SRCPAINT);
        }
    }

private:
    // Selects a picture or mask as the source; false when there is none.
    bool Use(HBITMAP bitmap) {
        return bitmap != nullptr && ::SelectObject(m_source.Get(), bitmap) != nullptr;
    }
    void Blit(int32_t at, DWORD rop) const {
        if (m_size == m_imageSize) {
            ::BitBlt(m_canvas.Get(), at, at, m_size, m_size, m_source.Get(), m_sourceX, 0, rop);
        } else {
            ::StretchBlt(m_canvas.Get(), at, at, m_size, m_size, m_source.Get(), m_sourceX, 0,
                         m_imageSize, m_imageSize, rop);
        }
    }

    MemoryDC m_canvas;
    MemoryDC m_source;
    Bitmap m_cell;
    SelectGuard m_cellSelected;
    HGDIOBJ m_sourcePrevious;
    int32_t m_sourceX = 0;
    int32_t m_imageSize = 16;
    int32_t m_size = 16;
};

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

// ---------------------------------------------------------------------------------------------
// Model

bool CButtonStrip::SetBitmap(int32_t bitmapId, COLORREF transparentColor, COLORREF glyphColor) {
    m_bitmapId = bitmapId;
    m_transparentColor = transparentColor;
    m_glyphColor = glyphColor;
    return PrepareImages(false);
}

bool CButtonStrip::SetButtons(const StripButtonDef* defs, int32_t count) {
    m_buttons.clear();
    if (count > 0 && defs != nullptr) {
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
        entry.state = ((entry.style & StripStyle::kStartsDisabled) ? StripState::kDisabled : 0) |
                      ((entry.style & StripStyle::kStartsHidden) ? StripState::kHidden : 0);
    }
    while (!m_buttons.empty() && m_buttons.back().IsSeparator()) {
        m_buttons.pop_back();
    }
    if (m_hotIndex != kChevronIndex && static_cast<size_t>(m_hotIndex) >= m_buttons.size()) {
        m_hotIndex = -1;
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
    // Every entry with the id once, in increasing index order.
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
    constexpr uint16_t kLook = 0x000F | StripState::kDisabled;
    if (index == kChevronIndex) {
        const uint16_t old = m_chevronState;
        m_chevronState = static_cast<uint16_t>((old & ~mask) | (value & mask));
        const auto changed = static_cast<uint16_t>(old ^ m_chevronState);
        if ((changed & 0x000F) && m_hWnd != nullptr) {
            CClientDC dc(m_hWnd);
            if (dc.Get() != nullptr) {
                DrawChevron(dc.Get());
            }
        }
        return changed;
    }
    if (index < 0 || static_cast<size_t>(index) >= m_buttons.size()) {
        return 0;
    }
    StripButton& entry = m_buttons[size_t(index)];
    // Any check of a radio button checks it (indeterminate included) and unchecks its group.
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
        RedrawNow();
    } else if (changed & kLook) {
        RepaintEntry(index);
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
            m_caption[length] = text[length];
            ++length;
        }
    }
    m_caption[length] = L'\0';
    m_captionLength = length;
}

// ---------------------------------------------------------------------------------------------
// Pictures and layout

HBITMAP CButtonStrip::LoadPicture(COLORREF mappedGlyph) const {
    HINSTANCE instance = AfxGetInstanceHandle();
    if (m_glyphColor == kNoColor) {
        return ::LoadBitmapW(instance, MAKEINTRESOURCEW(m_bitmapId));
    }
    COLORMAP map{m_glyphColor, mappedGlyph};
    return ::CreateMappedBitmap(instance, m_bitmapId, 0, &map, 1);
}

bool CButtonStrip::PrepareImages(bool relayout) {
    m_imageSize = 16;
    if (m_bitmapId == 0 || m_hWnd == nullptr) {
        return true;
    }
    CClientDC windowDc(m_hWnd);
    if (windowDc.Get() == nullptr) {
        return false;
    }
    m_imageBitmap.Reset();
    m_embossMask.Reset();
    m_transparencyMask.Reset();
    // For the masks the glyph is black, so that it counts as dark; dark red when black is the
    // transparent colour.
    Bitmap picture(LoadPicture(m_transparentColor == kBlack ? RGB(128, 0, 0) : kBlack));
    if (!picture) {
        return false;
    }
    BITMAP info{};
    ::GetObjectW(picture.Get(), sizeof info, &info);
    m_imageSize = info.bmHeight;
    const SIZE size{info.bmWidth, info.bmHeight};
    MemoryDC a(windowDc.Get());
    MemoryDC b(windowDc.Get());
    if (a.Get() == nullptr || b.Get() == nullptr || !BuildMasks(a.Get(), b.Get(), picture, size)) {
        return false;
    }
    picture.Reset();
    m_imageBitmap.Reset(LoadPicture(m_textColor));
    if (!m_imageBitmap) {
        return false;
    }
    // Transparent pixels become black, so that the picture can be ORed into a cleared area.
    SelectGuard image(a.Get(), m_imageBitmap.Get());
    SelectGuard mask(b.Get(), m_transparencyMask.Get());
    ::SetBkColor(a.Get(), kBlack);
    ::SetTextColor(a.Get(), kWhite);
    ::BitBlt(a.Get(), 0, 0, size.cx, size.cy, b.Get(), 0, 0, SRCAND);
    if (relayout) {
        LayOut();
    }
    return true;
}

bool CButtonStrip::BuildMasks(HDC a, HDC b, const Bitmap& picture, SIZE size) {
    const int width = size.cx;
    const int height = size.cy;
    m_embossMask.Reset(::CreateBitmap(width, height, 1, 1, nullptr));
    m_transparencyMask.Reset(::CreateBitmap(width, height, 1, 1, nullptr));
    if (!m_embossMask || !m_transparencyMask) {
        return false;
    }
    HGDIOBJ aPrevious = ::SelectObject(a, m_transparencyMask.Get());
    HGDIOBJ bPrevious = ::SelectObject(b, picture.Get());
    // A colour-to-monochrome copy gives 1 where the source has the source DC's background
    // colour; a monochrome-to-colour copy gives the text colour for 0 and the background for 1.
    if (m_transparentColor != kNoColor) {
        ::SetBkColor(b, m_transparentColor);
        ::BitBlt(a, 0, 0, width, height, b, 0, 0, SRCCOPY);
    } else {
        ::PatBlt(a, 0, 0, width, height, BLACKNESS);
    }
    ::SelectObject(a, m_embossMask.Get());
    ::PatBlt(a, 0, 0, width, height, BLACKNESS);
    // Every picture pixel ANDed with light grey: light grey exactly where all three components
    // are 192 or more.
    ::SetTextColor(b, kLightLimit);
    ::BitBlt(b, 0, 0, width, height, a, 0, 0, SRCAND);
    ::SetBkColor(b, kLightLimit);
    ::BitBlt(a, 0, 0, width, height, b, 0, 0, SRCCOPY);
    // Transparent pixels are not dark either.
    ::SelectObject(b, m_transparencyMask.Get());
    ::BitBlt(a, 0, 0, width, height, b, 0, 0, SRCPAINT);
    ::SelectObject(a, aPrevious);
    ::SelectObject(b, bPrevious);
    return true;
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
    if (m_captionLength > 0) {
        CClientDC dc(m_hWnd);
        if (dc.Get() != nullptr) {
            const auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
            SelectGuard selected(dc.Get(), font);
            RECT text{0, 0, 16, 16};
            ::DrawTextW(dc.Get(), m_caption, m_captionLength, &text,
                        DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
            metrics.hasCaption = true;
            metrics.textWidth = text.right - text.left;
            metrics.textHeight = text.bottom - text.top;
        }
    }
    m_geometry = LayOutStrip(metrics, m_buttons);
    UpdateToolRects();
}

void CButtonStrip::UpdateToolRects() {
    if (m_tooltip.m_hWnd == nullptr) {
        return;
    }
    const auto count = static_cast<int32_t>(m_buttons.size());
    for (int32_t i = m_toolCount; i < count; ++i) {
        m_tooltip.AddTool(m_hWnd, LPSTR_TEXTCALLBACKW, RECT{}, static_cast<UINT_PTR>(i) + 1);
    }
    if (count > m_toolCount) {
        m_toolCount = count;
    }
    // Tools of separators, of entries outside the row and of entries a later SetButtons
    // removed cover nothing.
    for (int32_t i = 0; i < m_toolCount; ++i) {
        const bool button = i < count && !m_buttons[size_t(i)].IsSeparator();
        m_tooltip.SetToolRect(m_hWnd, static_cast<UINT_PTR>(i) + 1, button ? CellRect(i) : RECT{});
    }
}

RECT CButtonStrip::CellRect(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_buttons.size() ||
        m_buttons[size_t(index)].x < 0) {
        return RECT{};
    }
    const StripButton& entry = m_buttons[size_t(index)];
    return RECT{entry.x, m_geometry.stripTop, entry.x + EntryWidth(entry, m_geometry.cellSize),
                m_geometry.stripTop + m_geometry.cellSize};
}

RECT CButtonStrip::ChevronRect() const {
    return RECT{m_geometry.chevronX, m_geometry.stripTop,
                m_geometry.chevronX + m_geometry.chevronWidth,
                m_geometry.stripTop + m_geometry.cellSize};
}

// ---------------------------------------------------------------------------------------------
// Painting

void CButtonStrip::FillFace(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const RECT r{left, top, right, bottom};
    if (!IsEmpty(r)) {
        ::FillRect(dc, &r, m_faceBrush);
    }
}

void CButtonStrip::Draw(HDC dc) {
    const RECT client = GetClientRect();
    const StripGeometry& g = m_geometry;
    FillFace(dc, client.left, client.top, client.right, g.stripTop);
    FillFace(dc, client.left, g.stripTop + g.cellSize, client.right, client.bottom);
    if (!(GetStyle() & BS_FLAT)) {
        RECT frame{client.left, g.stripTop - 1, client.right, g.stripTop + g.cellSize + 1};
        ::DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
    }
    DrawContents(dc);
}

void CButtonStrip::DrawContents(HDC dc) {
    const StripGeometry& g = m_geometry;
    const int32_t top = g.stripTop;
    const int32_t bottom = g.stripTop + g.cellSize;
    FillFace(dc, g.captionLeft + g.captionWidth, top, g.firstButtonX, bottom);
    if (g.chevronX < 0) {
        FillFace(dc, g.stripLeft, top, g.captionLeft, bottom);
        FillFace(dc, g.firstButtonX + g.buttonsWidth, top, g.stripRight, bottom);
    }
    DrawCaption(dc);
    CellPainter painter(dc, g.cellSize);
    if (painter.Ready()) {
        for (size_t i = 0; i < m_buttons.size() && m_buttons[i].x != kUnplaced; ++i) {
            DrawEntry(dc, painter, static_cast<int32_t>(i));
        }
    }
    DrawChevron(dc);
}

void CButtonStrip::RepaintEntry(int32_t index) {
    if (m_hWnd == nullptr || m_buttons[size_t(index)].x < 0) {
        return;
    }
    CClientDC dc(m_hWnd);
    if (dc.Get() == nullptr) {
        return;
    }
    CellPainter painter(dc.Get(), m_geometry.cellSize);
    if (painter.Ready()) {
        DrawEntry(dc.Get(), painter, index);
    }
}

void CButtonStrip::DrawEntry(HDC target, CellPainter& painter, int32_t index) {
    const StripButton& entry = m_buttons[size_t(index)];
    if (entry.x < 0) {
        return;
    }
    const int32_t cell = m_geometry.cellSize;
    const int32_t top = m_geometry.stripTop;
    if (entry.IsSeparator()) {
        FillFace(target, entry.x, top, entry.x + kSeparatorWidth, top + cell);
        RECT line{entry.x + 3, top + 2, entry.x + 5, top + cell - 2};
        ::DrawEdge(target, &line, BDR_SUNKENOUTER, BF_LEFT | BF_RIGHT | BF_MIDDLE);
        return;
    }
    // Picture size at an offset: shrunk to the cell less 2 on each side when it does not fit,
    // else centred when the cell leaves 3 on each side, else 2 from the corner.
    int32_t size = m_imageSize;
    int32_t offset = 2;
    if (cell - 4 < m_imageSize) {
        size = cell - 4;
    } else if (cell - 6 >= m_imageSize) {
        offset = (cell - m_imageSize) / 2;
    }
    painter.SetPicture(entry.image * m_imageSize, m_imageSize, size);
    if (entry.state & StripState::kDisabled) {
        DrawDisabledCell(painter, entry.state, offset);
    } else {
        DrawEnabledCell(painter, entry.state, offset);
    }
    ::BitBlt(target, entry.x, top, cell, cell, painter.Canvas(), 0, 0, SRCCOPY);
}

void CButtonStrip::DrawDisabledCell(CellPainter& painter, uint16_t state, int32_t offset) {
    RECT square{0, 0, m_geometry.cellSize, m_geometry.cellSize};
    if (state & StripState::kCheckMask) {
        ::DrawEdge(painter.Canvas(), &square, BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE);
    } else {
        ::FillRect(painter.Canvas(), &square, m_faceBrush);
    }
    // An embossed picture: the dark pixels in highlight, one pixel down and right, under the
    // same pixels in shadow.
    painter.Clear(m_transparencyMask.Get(), offset);
    painter.Clear(m_transparencyMask.Get(), offset + 1);
    painter.Paint(m_transparencyMask.Get(), m_faceColor, offset);
    painter.Paint(m_transparencyMask.Get(), m_faceColor, offset + 1);
    painter.Stamp(m_embossMask.Get(), m_highlightColor, offset + 1);
    painter.Stamp(m_embossMask.Get(), m_shadowColor, offset);
}

void CButtonStrip::DrawEnabledCell(CellPainter& painter, uint16_t state, int32_t offset) {
    HDC canvas = painter.Canvas();
    const int32_t cell = m_geometry.cellSize;
    RECT square{0, 0, cell, cell};
    const uint16_t check = state & StripState::kCheckMask;
    const bool pressed = (state & StripState::kPressed) != 0;
    const bool hot = (state & StripState::kHot) != 0;
    if (check) {
        RECT wide{-4, -4, cell + 4, cell + 4};
        ::DrawFrameControl(canvas, &wide, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_CHECKED);
        const bool soft = hot && (m_flags & kFocusFlag) && !pressed;
        ::DrawEdge(canvas, &square, BDR_SUNKENOUTER, BF_RECT | (soft ? BF_SOFT : 0));
    } else if (pressed) {
        ::DrawEdge(canvas, &square, BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE);
    } else if (hot) {
        ::DrawEdge(canvas, &square, BDR_RAISEDINNER, BF_RECT | BF_MIDDLE);
    } else {
        ::FillRect(canvas, &square, m_faceBrush);
    }
    const int32_t at = pressed ? offset + 1 : offset;
    painter.Clear(m_transparencyMask.Get(), at);
    if (check == StripState::kIndeterminate) {
        // A flat glyph in shadow.
        painter.Paint(m_transparencyMask.Get(), m_faceColor, at);
        painter.Stamp(m_embossMask.Get(), m_shadowColor, at);
    } else {
        painter.Picture(m_imageBitmap.Get(), at);
    }
}

void CButtonStrip::DrawChevron(HDC dc) {
    const StripGeometry& g = m_geometry;
    if (g.chevronX < 0) {
        return;
    }
    RECT cell = ChevronRect();
    const int32_t n = (g.cellSize >> 3) + 1;
    int32_t cornerX = g.chevronX + n;
    int32_t cornerY = g.stripTop + (g.cellSize >> 4) + 2;
    if (m_chevronState & StripState::kPressed) {
        ::DrawEdge(dc, &cell, BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE);
        ++cornerX;
        ++cornerY;
    } else if (m_chevronState & StripState::kHot) {
        ::DrawEdge(dc, &cell, BDR_RAISEDINNER, BF_RECT | BF_MIDDLE);
    } else {
        ::FillRect(dc, &cell, m_faceBrush);
    }
    // A solid triangle pointing right: column k covers rows k to 2n - 2 - k.
    const COLORREF previous = ::SetBkColor(dc, m_textColor);
    for (int32_t k = 0; k < n; ++k) {
        const RECT column{cornerX + k, cornerY + k, cornerX + k + 1, cornerY + 2 * n - 1 - k};
        ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &column, nullptr, 0, nullptr);
    }
    ::SetBkColor(dc, previous);
}

void CButtonStrip::DrawCaption(HDC dc) {
    const StripGeometry& g = m_geometry;
    if (g.captionWidth <= 0) {
        return;
    }
    // The caption cell is face even without text: a narrow strip gives it the row up to the
    // chevron.
    RECT r{g.captionLeft, g.stripTop, g.captionLeft + g.captionWidth, g.stripTop + g.cellSize};
    const int previousMode = ::SetBkMode(dc, OPAQUE);
    const COLORREF previousBack = ::SetBkColor(dc, m_faceColor);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    if (m_captionLength > 0) {
        ::InflateRect(&r, -1, -1);
        const auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
        SelectGuard selected(dc, font);
        const COLORREF previousText = ::SetTextColor(dc, m_textColor);
        ::DrawTextW(dc, m_caption, m_captionLength, &r,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        ::SetTextColor(dc, previousText);
        if ((m_flags & kFocusFlag) && FocusCuesShown()) {
            DrawFocusCue(dc);
        }
    }
    ::SetBkColor(dc, previousBack);
    ::SetBkMode(dc, previousMode);
}

void CButtonStrip::DrawFocusCue(HDC dc) {
    const StripGeometry& g = m_geometry;
    if (g.captionWidth <= 0 || m_captionLength <= 0) {
        return;
    }
    // Drawn only over a freshly painted caption: DrawFocusRect inverts.
    const COLORREF previousBack = ::SetBkColor(dc, m_faceColor);
    const COLORREF previousText = ::SetTextColor(dc, m_textColor);
    const RECT r{g.captionLeft + 1, g.stripTop + 2, g.captionLeft + g.captionWidth - 1,
                 g.stripTop + g.cellSize - 2};
    ::DrawFocusRect(dc, &r);
    ::SetTextColor(dc, previousText);
    ::SetBkColor(dc, previousBack);
}

bool CButtonStrip::FocusCuesShown() const {
    return (m_uiState & UISF_HIDEFOCUS) == 0;
}

LRESULT CButtonStrip::OnKeyboardCue(UINT msg, WPARAM wParam) {
    if (msg == kKeyF1Message) {
        // F1 asked for help on its key down already.
        return 0;
    }
    const LRESULT result = Default();
    UpdateUiState(wParam);
    RedrawNow();
    return result;
}

void CButtonStrip::UpdateUiState(WPARAM change) {
    // The system hides focus cues until the keyboard is used in the window and tells its
    // controls with this message; the strip keeps the state itself, since not every system
    // answers WM_QUERYUISTATE with it.
    WORD flags = HIWORD(change);
    WORD action = LOWORD(change);
    if (action == UIS_INITIALIZE) {
        BOOL cues = FALSE;
        ::SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
        action = cues ? UIS_CLEAR : UIS_SET;
        flags = UISF_HIDEFOCUS;
    }
    if (action == UIS_SET) {
        m_uiState |= flags;
    } else if (action == UIS_CLEAR) {
        m_uiState &= static_cast<WORD>(~flags);
    }
}

// ---------------------------------------------------------------------------------------------
// Hot entry, press and click

bool CButtonStrip::Selectable(int32_t index) const {
    return IsSelectable(m_geometry, m_buttons, index);
}

int32_t CButtonStrip::HitTest(int32_t x, int32_t y) const {
    return StripHitTest(m_geometry, m_buttons, x, y);
}

void CButtonStrip::NotifyHotItem(int32_t commandId) {
    HWND parent = GetParent();
    if (parent == nullptr) {
        return;
    }
    NMHDR header{};
    header.hwndFrom = m_hWnd;
    header.idFrom = static_cast<UINT_PTR>(commandId);
    header.code = kHotItemNotify;
    ::SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()),
                   reinterpret_cast<LPARAM>(&header));
}

void CButtonStrip::SendCommand(int32_t commandId) {
    HWND parent = GetParent();
    if (parent != nullptr) {
        ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(commandId, BN_CLICKED),
                       reinterpret_cast<LPARAM>(m_hWnd));
    }
}

void CButtonStrip::ReleaseOwnCapture() {
    if (::GetCapture() == m_hWnd) {
        ::ReleaseCapture();
    }
}

void CButtonStrip::SetHotItem(int32_t index, bool on) {
    constexpr uint16_t kHotPressed = StripState::kHot | StripState::kPressed;
    const int32_t old = m_hotIndex;
    if (old != index) {
        SetButtonState(old, 0, kHotPressed);
        m_flags &= static_cast<uint16_t>(~(kMousePressFlag | kKeyPressFlag));
    }
    if (on && Selectable(index)) {
        SetButtonState(index, StripState::kHot, StripState::kHot);
    } else if (old == index) {
        SetButtonState(index, 0, StripState::kHot);
    }
    m_hotIndex = index;
    const bool entry = index >= 0 && index != kChevronIndex;
    NotifyHotItem(on && entry ? m_buttons[size_t(index)].id : 0);
}

void CButtonStrip::Press(bool byMouse) {
    constexpr uint16_t kHotPressed = StripState::kHot | StripState::kPressed;
    if (Selectable(m_hotIndex)) {
        SetButtonState(m_hotIndex, kHotPressed, kHotPressed);
        if (byMouse) {
            m_flags |= kTrackingFlag | kMousePressFlag;
            m_flags &= static_cast<uint16_t>(~kKeyPressFlag);
        } else {
            m_flags |= kKeyPressFlag;
            m_flags &= static_cast<uint16_t>(~kMousePressFlag);
        }
    }
    // The start of every press, also when nothing selectable is hot.
    SendCommand(GetDlgCtrlID());
}

void CButtonStrip::OnMouseDown(int32_t x, int32_t y) {
    const int32_t hit = HitTest(x, y);
    if (!Selectable(hit)) {
        return;
    }
    // The capture is held for the press only, so that the release is seen wherever it is.
    if (::GetCapture() != m_hWnd) {
        ::SetCapture(m_hWnd);
    }
    SetHotItem(hit, true);
    Press(true);
    if (m_hWnd == nullptr) {
        return;
    }
    SetButtonState(hit, StripState::kPressed, StripState::kPressed);
    m_flags |= kTrackingFlag | kMousePressFlag;
    m_flags &= static_cast<uint16_t>(~kKeyPressFlag);
}

void CButtonStrip::OnMouseUp() {
    if (!(m_flags & kTrackingFlag)) {
        // Released off the pressed entry: a cancelled press.
        ReleaseOwnCapture();
        SetButtonState(m_hotIndex, 0, StripState::kPressed);
        m_flags &= static_cast<uint16_t>(~kMousePressFlag);
    } else if (m_flags & kMousePressFlag) {
        Click(m_hotIndex);
    }
}

void CButtonStrip::OnMouseMove(int32_t x, int32_t y) {
    const bool focused = (m_flags & kFocusFlag) != 0;
    if (!::IsChild(::GetActiveWindow(), m_hWnd)) {
        m_lastMouseX = -1;
        m_lastMouseY = -1;
        if (m_flags & kTrackingFlag) {
            if (!focused) {
                SetHotItem(m_hotIndex, false);
            }
            SetButtonState(m_hotIndex, 0, StripState::kPressed);
            m_flags &= static_cast<uint16_t>(~kTrackingFlag);
            ReleaseOwnCapture();
        }
        return;
    }
    if (x == m_lastMouseX && y == m_lastMouseY) {
        return;
    }
    m_lastMouseX = x;
    m_lastMouseY = y;
    const int32_t hit = HitTest(x, y);
    if (m_flags & (kMousePressFlag | kKeyPressFlag)) {
        if (hit == m_hotIndex) {
            // Back on the pressed entry: pressed again, and the release will click.
            SetButtonState(m_hotIndex, StripState::kPressed, StripState::kPressed);
            SetHotItem(m_hotIndex, true);
            m_flags |= kTrackingFlag;
        } else {
            // Off it: the capture stays, so that the release is still seen.
            if (!focused) {
                SetHotItem(m_hotIndex, false);
            }
            SetButtonState(m_hotIndex, 0, StripState::kPressed);
            m_flags &= static_cast<uint16_t>(~kTrackingFlag);
        }
        return;
    }
    if (Selectable(hit)) {
        // Hovering holds no capture: with the capture held, the keyboard's accelerators would
        // send no commands while the pointer rests on a button. The system reports the pointer
        // leaving the strip instead.
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&track);
        SetHotItem(hit, true);
        m_flags |= kTrackingFlag;
    } else if (m_flags & kTrackingFlag) {
        if (!focused) {
            SetHotItem(m_hotIndex, false);
        }
        m_flags &= static_cast<uint16_t>(~kTrackingFlag);
    }
}

void CButtonStrip::OnMouseLeave() {
    // During a mouse press the capture still reports the pointer.
    if (m_flags & kMousePressFlag) {
        return;
    }
    m_lastMouseX = -1;
    m_lastMouseY = -1;
    if (m_flags & kTrackingFlag) {
        if (!(m_flags & kFocusFlag)) {
            SetHotItem(m_hotIndex, false);
        }
        m_flags &= static_cast<uint16_t>(~kTrackingFlag);
    }
}

void CButtonStrip::OnCaptureChanged() {
    // The capture is only held during a mouse press, which ends here without a click.
    EndPress(kMousePressFlag);
    FollowPointer();
}

void CButtonStrip::EndPress(uint16_t pressFlags) {
    if (m_flags & pressFlags) {
        m_flags &= static_cast<uint16_t>(~(kMousePressFlag | kKeyPressFlag));
        SetButtonState(m_hotIndex, 0, StripState::kPressed);
    }
}

void CButtonStrip::FollowPointer() {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    if (::WindowFromPoint(cursor) == m_hWnd) {
        ::ScreenToClient(m_hWnd, &cursor);
        m_lastMouseX = -1;
        OnMouseMove(cursor.x, cursor.y);
    } else {
        OnMouseLeave();
    }
}

void CButtonStrip::Click(int32_t index) {
    const bool wasTracking = (m_flags & kTrackingFlag) != 0;
    // Not a press any more, so that giving the capture back does not cancel it.
    m_flags &= static_cast<uint16_t>(~kMousePressFlag);
    ReleaseOwnCapture();

    int32_t command = 0;
    int32_t entry = -1;
    if (index == kChevronIndex && Selectable(index)) {
        command = static_cast<int32_t>(ShowChevronMenu());
        if (m_hWnd == nullptr) {
            return;
        }
        entry = command != 0 ? FindById(command, 0) : -1;
    } else if (Selectable(index)) {
        command = m_buttons[size_t(index)].id;
        entry = index;
    }
    SetButtonState(index, 0, StripState::kPressed);
    m_flags &= static_cast<uint16_t>(~(kMousePressFlag | kKeyPressFlag));

    if (command != 0) {
        if (entry >= 0) {
            const StripButton& button = m_buttons[size_t(entry)];
            const uint16_t style = button.style;
            SetButtonState(entry, CheckAfterClick(style, button.state & StripState::kCheckMask),
                           StripState::kCheckMask);
            if (style & StripStyle::kRadio) {
                // A radio group answers with the id of its first entry.
                command = m_buttons[size_t(RadioGroupStart(m_buttons, entry))].id;
            }
        }
        SendCommand(command);
        // The parent may have destroyed the strip's window.
        if (m_hWnd == nullptr) {
            return;
        }
    }

    if (wasTracking && ::GetCapture() == nullptr) {
        // Hot tracking goes on where the pointer is now.
        FollowPointer();
    }
}

// ---------------------------------------------------------------------------------------------
// Keyboard and focus

void CButtonStrip::OnFocus(bool gained) {
    if (gained) {
        m_flags |= kFocusFlag;
        SetHotItem(Selectable(m_hotIndex) ? m_hotIndex
                                          : StepSelectable(m_geometry, m_buttons, m_hotIndex, true),
                   true);
    } else {
        // A press the user can no longer finish ends without a click.
        const bool mousePress = (m_flags & kMousePressFlag) != 0;
        EndPress(kMousePressFlag | kKeyPressFlag);
        if (mousePress) {
            ReleaseOwnCapture();
        }
        if (m_flags & kTrackingFlag) {
            // The entry under the pointer stays hot.
            SetHotItem(HitTest(m_lastMouseX, m_lastMouseY), true);
        } else {
            SetHotItem(m_hotIndex, false);
        }
        m_flags &= static_cast<uint16_t>(~kFocusFlag);
    }
    // The caption with or without the focus cue.
    CClientDC dc(m_hWnd);
    if (dc.Get() != nullptr) {
        DrawCaption(dc.Get());
    }
}

bool CButtonStrip::OnKeyDown(WPARAM key) {
    switch (key) {
        case VK_SPACE:
            Press(false);
            break;
        case VK_LEFT:
        case VK_RIGHT:
            SetHotItem(StepSelectable(m_geometry, m_buttons, m_hotIndex, key == VK_RIGHT), true);
            break;
        case VK_UP:
        case VK_DOWN: {
            // The arrows across the row move the dialog focus through the strip's group.
            HWND parent = GetParent();
            if (parent != nullptr) {
                HWND next = ::GetNextDlgGroupItem(parent, m_hWnd, key == VK_UP);
                ::SendMessageW(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
            }
            break;
        }
        case VK_F1:
            HelpForHotItem();
            break;
        default:
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Chevron menu

UINT CButtonStrip::TrackChevronMenu(HMENU menu, UINT flags, POINT screen, const TPMPARAMS& params) {
    TPMPARAMS copy = params;
    return static_cast<UINT>(::TrackPopupMenuEx(menu, flags, screen.x, screen.y, m_hWnd, &copy));
}

UINT CButtonStrip::ShowChevronMenu() {
    HMENU menu = ::CreatePopupMenu();
    if (menu == nullptr) {
        return 0;
    }
    UINT position = 0;
    for (const StripButton& entry : m_buttons) {
        if (entry.x != kUnplaced) {
            continue;
        }
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        std::wstring text;
        if (entry.IsSeparator()) {
            if (position == 0) {
                continue;
            }
            item.fMask = MIIM_FTYPE;
            item.fType = MFT_SEPARATOR;
        } else {
            // The TAB in the text shows the accelerator on the right.
            text = LoadStringResource(static_cast<UINT>(entry.stringId));
            item.fMask = MIIM_STATE | MIIM_ID | MIIM_FTYPE | MIIM_STRING;
            item.fType = (entry.style & StripStyle::kRadio) ? MFT_RADIOCHECK : MFT_STRING;
            item.wID = static_cast<UINT>(entry.id);
            item.fState = ((entry.state & StripState::kDisabled) ? MFS_DISABLED : 0) |
                          ((entry.state & StripState::kCheckMask) ? MFS_CHECKED : 0);
            item.dwTypeData = text.data();
        }
        if (::InsertMenuItemW(menu, position, TRUE, &item)) {
            ++position;
        }
    }
    UINT command = 0;
    if (position > 0) {
        // The menu opens at the top right corner of the chevron and keeps off the row.
        const RECT chevron = ChevronRect();
        POINT corner{chevron.right, chevron.top};
        ::ClientToScreen(m_hWnd, &corner);
        TPMPARAMS params{};
        params.cbSize = sizeof params;
        params.rcExclude = RECT{0, chevron.top, chevron.right, chevron.bottom};
        ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&params.rcExclude), 2);
        command = TrackChevronMenu(menu, TPM_RETURNCMD | TPM_VERTICAL, corner, params);
        if (m_hWnd != nullptr) {
            // The click that closed the menu on the chevron must not open it again.
            MSG pending;
            if (::PeekMessageW(&pending, m_hWnd, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE)) {
                const POINT at{GET_X_LPARAM(pending.lParam), GET_Y_LPARAM(pending.lParam)};
                if (::PtInRect(&chevron, at)) {
                    ::PeekMessageW(&pending, m_hWnd, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE);
                }
            }
            // Hot tracking resumes where the pointer is; on the chevron it counts as off the
            // row.
            POINT cursor{};
            ::GetCursorPos(&cursor);
            ::ScreenToClient(m_hWnd, &cursor);
            if (::PtInRect(&chevron, cursor)) {
                cursor.y = -1;
                m_lastMouseX = -1;
            }
            PostMessage(WM_MOUSEMOVE, 0, MAKELPARAM(cursor.x, cursor.y));
        }
    }
    ::DestroyMenu(menu);
    return command;
}

// ---------------------------------------------------------------------------------------------
// Tooltips and help

BOOL CButtonStrip::OnToolTipText(NMTTDISPINFOW* info) const {
    if (info->uFlags & TTF_IDISHWND) {
        return FALSE;
    }
    const UINT_PTR tool = info->hdr.idFrom;
    if (tool == 0 || tool > m_buttons.size() || m_buttons[tool - 1].IsSeparator()) {
        return FALSE;
    }
    const std::wstring text = LoadStringResource(static_cast<UINT>(m_buttons[tool - 1].stringId));
    if (text.empty()) {
        return FALSE;
    }
    const std::wstring shown = TooltipText(text, kTooltipChars);
    shown.copy(info->szText, shown.size());
    info->szText[shown.size()] = L'\0';
    info->lpszText = info->szText;
    return TRUE;
}

int32_t CButtonStrip::HelpIdOf(int32_t commandId, int32_t fallback) const {
    const int32_t entry = FindById(commandId, 0);
    return entry >= 0 ? m_buttons[size_t(entry)].helpId : fallback;
}

LRESULT CButtonStrip::ForwardHelp(WPARAM wParam, const HELPINFO& info) {
    // The default window procedure hands a child's WM_HELP to its parent.
    HELPINFO copy = info;
    return ::DefWindowProcW(m_hWnd, WM_HELP, wParam, reinterpret_cast<LPARAM>(&copy));
}

void CButtonStrip::HelpForHotItem() {
    HELPINFO info{};
    info.cbSize = sizeof info;
    const DWORD pos = ::GetMessagePos();
    info.MousePos = POINT{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    info.hItemHandle = m_hWnd;
    const bool entry = m_hotIndex >= 0 && static_cast<size_t>(m_hotIndex) < m_buttons.size();
    if (entry && !m_buttons[size_t(m_hotIndex)].IsSeparator()) {
        const StripButton& button = m_buttons[size_t(m_hotIndex)];
        info.iContextType = HELPINFO_MENUITEM;
        info.iCtrlId = button.id;
        info.dwContextId = static_cast<DWORD_PTR>(button.helpId);
    } else {
        info.iContextType = HELPINFO_WINDOW;
        info.iCtrlId = GetDlgCtrlID();
        info.dwContextId = ::GetWindowContextHelpId(m_hWnd);
    }
    ForwardHelp(0, info);
}

LRESULT CButtonStrip::OnHelp(WPARAM wParam, const HELPINFO* received) {
    if (received == nullptr) {
        return FALSE;
    }
    HELPINFO info = *received;
    info.cbSize = sizeof info;
    if (received->iContextType != HELPINFO_WINDOW) {
        // F1 on an item of the chevron menu, which the strip owns.
        info.hItemHandle = m_hWnd;
        info.dwContextId = static_cast<DWORD_PTR>(
            HelpIdOf(received->iCtrlId, static_cast<int32_t>(received->dwContextId)));
        return ForwardHelp(wParam, info);
    }
    // A click on the strip in context-help mode.
    POINT at = received->MousePos;
    ::ScreenToClient(m_hWnd, &at);
    const int32_t hit = HitTest(at.x, at.y);
    if (hit == kHitOffRow) {
        return TRUE;
    }
    if (hit == kChevronIndex) {
        m_helpMenuMode = true;
        SetButtonState(kChevronIndex, StripState::kPressed, StripState::kPressed);
        const auto command = static_cast<int32_t>(ShowChevronMenu());
        if (m_hWnd == nullptr) {
            return TRUE;
        }
        SetButtonState(kChevronIndex, 0, StripState::kPressed);
        m_helpMenuMode = false;
        if (command == 0) {
            // Cancelled: the context-help mode starts again.
            HWND parent = GetParent();
            if (parent != nullptr) {
                ::SendMessageW(parent, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
            }
            return TRUE;
        }
        POINT corner{m_geometry.chevronX, m_geometry.stripTop};
        ::ClientToScreen(m_hWnd, &corner);
        info.iContextType = HELPINFO_MENUITEM;
        info.iCtrlId = command;
        info.hItemHandle = m_hWnd;
        info.dwContextId = static_cast<DWORD_PTR>(HelpIdOf(command, 0));
        info.MousePos = corner;
        return ForwardHelp(wParam, info);
    }
    if (hit >= 0) {
        const StripButton& button = m_buttons[size_t(hit)];
        info.iContextType = HELPINFO_MENUITEM;
        info.iCtrlId = button.id;
        info.hItemHandle = m_hWnd;
        info.dwContextId = static_cast<DWORD_PTR>(button.helpId);
    }
    return ForwardHelp(wParam, info);
}

// ---------------------------------------------------------------------------------------------
// Window

void CButtonStrip::PreSubclassWindow() {
    CDrawnControl::PreSubclassWindow();
    SetCaption(GetWindowText().c_str());
    m_uiState = static_cast<WORD>(SendMessage(WM_QUERYUISTATE));
    if (m_tooltip.m_hWnd == nullptr && m_tooltip.Create(this, 0)) {
        m_toolCount = 0;
    }
    PrepareImages(true);
    m_tooltip.Activate(TRUE);
}

BOOL CButtonStrip::PreTranslateMessage(MSG* msg) {
    m_tooltip.RelayEvent(msg);
    return CDrawnControl::PreTranslateMessage(msg);
}

bool CButtonStrip::OnInput(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnMouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return true;
        case WM_LBUTTONUP:
            OnMouseUp();
            return true;
        case WM_MOUSEMOVE:
            OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return true;
        case WM_CAPTURECHANGED:
            OnCaptureChanged();
            return true;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return true;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            OnFocus(msg == WM_SETFOCUS);
            return true;
        case WM_KEYDOWN:
            return OnKeyDown(wParam);
        case WM_KEYUP:
            if (wParam != VK_SPACE) {
                return false;
            }
            if (m_flags & kKeyPressFlag) {
                Click(m_hotIndex);
            }
            return true;
        default:
            return false;
    }
}

LRESULT CButtonStrip::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The pointer, the keys and the focus; each of them answers 0 when handled.
    if (OnInput(msg, wParam, lParam)) {
        return 0;
    }
    switch (msg) {
        case WM_GETDLGCODE:
            return DLGC_BUTTON | DLGC_WANTARROWS;
        case WM_SETTEXT:
            // The window keeps the same (shortened) text that the strip shows.
            SetCaption(reinterpret_cast<const wchar_t*>(lParam));
            ::DefWindowProcW(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_caption));
            LayOut();
            RedrawNow();
            return TRUE;
        case BM_SETSTYLE:
            if (ApplyStyleLowWord(wParam, 0)) {
                LayOut();
                if (LOWORD(lParam) != 0) {
                    RedrawNow();
                }
            }
            return 0;
        case BM_GETSTATE:
            return ((m_flags & kFocusFlag) ? BST_FOCUS : 0) |
                   ((m_flags & (kMousePressFlag | kKeyPressFlag)) ? BST_PUSHED : 0);
        case WM_SIZE: {
            const LRESULT result = Default();
            m_lastMouseX = -1;
            m_lastMouseY = -1;
            LayOut();
            return result;
        }
        case WM_SYSCOLORCHANGE: {
            const LRESULT result = Default();
            LoadSystemColors();
            PrepareImages(false);
            return result;
        }
        case kKeyF1Message:
        case WM_UPDATEUISTATE:
            return OnKeyboardCue(msg, wParam);
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header != nullptr && header->hwndFrom == m_tooltip.m_hWnd &&
                header->code == TTN_NEEDTEXTW) {
                return OnToolTipText(reinterpret_cast<NMTTDISPINFOW*>(lParam));
            }
            break;
        }
        case WM_HELP:
            return OnHelp(wParam, reinterpret_cast<const HELPINFO*>(lParam));
        case WM_SETCURSOR:
            if (m_helpMenuMode) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_HELP));
                return TRUE;
            }
            break;
        case WM_MENUSELECT:
            // While the chevron menu is open; 0 when it closes.
            NotifyHotItem(HIWORD(wParam) == 0xFFFF && lParam == 0 ? 0 : LOWORD(wParam));
            return 0;
        case WM_DESTROY:
            m_tooltip.DestroyWindow();
            break;
        default:
            break;
    }
    return CDrawnControl::WindowProc(msg, wParam, lParam);
}

}  // namespace kx
