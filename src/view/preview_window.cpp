#include "view/preview_window.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "view/preview_geometry.h"

namespace kx {

namespace {

void FillButtonFace(HDC dc, const RECT& r) {
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
}

// The header at the start of a movie's DisplayInfo, when the buffer holds a header for 8-bit
// plain rows followed by the palette-index table that GDI reads with it.
bool ReadDisplayHeader(const std::vector<uint8_t>& info, BITMAPINFOHEADER& header) {
    if (info.size() < sizeof(BITMAPINFOHEADER)) {
        return false;
    }
    std::memcpy(&header, info.data(), sizeof header);
    if (header.biBitCount != 8 || header.biCompression != BI_RGB || header.biWidth <= 0 ||
        header.biHeight <= 0) {
        return false;
    }
    // An 8-bit header with biClrUsed 0 stands for a full table of 256 indices.
    const size_t colours = header.biClrUsed == 0 ? 256 : size_t(header.biClrUsed);
    return colours <= 256 && info.size() >= sizeof header + colours * sizeof(WORD);
}

}  // namespace

void CPreviewWindow::SetDocument(const CAnimationDocument* doc) {
    if (doc != nullptr) {
        document = doc;
        frameCount = doc->FrameCount();
        currentFrame = 0;
        frameWidth = doc->FrameWidth();
        frameHeight = doc->FrameHeight();
        shownHeight = frameHeight;
        intervalMs = static_cast<int32_t>(doc->MicroSecPerFrame() / 1000u);
        BuildPalette();
        if (transparent) {
            ApplyTransparency(true);
        }
    } else {
        if (m_hWnd != nullptr) {
            ::KillTimer(m_hWnd, kPlaybackTimer);
        }
        document = nullptr;
        frameCount = 0;
        currentFrame = 0;
        frameWidth = 0;
        shownHeight = 0;
        intervalMs = 0;
        passesLeft = 0;
    }
    Redraw(TRUE);
}

void CPreviewWindow::RefreshPalette(const CAnimationDocument* doc) {
    if (doc == nullptr) {
        return;
    }
    BuildPalette();
    if (transparent) {
        ApplyTransparency(true);
    }
}

void CPreviewWindow::SetFrame(int32_t index) {
    if (index == currentFrame) {
        return;
    }
    currentFrame = frameCount > 0 ? std::clamp(index, 0, frameCount - 1) : 0;
    Redraw(FALSE);
}

void CPreviewWindow::SetShownHeight(int32_t rows) {
    if (rows == shownHeight) {
        return;
    }
    shownHeight = std::min(std::max(rows, 1), frameHeight);
    Redraw(TRUE);
}

void CPreviewWindow::SetFit(BOOL on) {
    fit = on;
    Redraw(TRUE);
}

void CPreviewWindow::SetTransparent(BOOL on) {
    transparent = on;
    ApplyTransparency(on != FALSE);
    Redraw(TRUE);
}

void CPreviewWindow::SetInterval(int32_t ms) {
    if (ms == intervalMs) {
        return;
    }
    // Compared unsigned: only 0 is raised to 1.
    intervalMs = static_cast<uint32_t>(ms) <= 1u ? 1 : ms;
    if (passesLeft > 0 && m_hWnd != nullptr) {
        ::KillTimer(m_hWnd, kPlaybackTimer);
        ::SetTimer(m_hWnd, kPlaybackTimer, static_cast<UINT>(intervalMs), nullptr);
    }
}

void CPreviewWindow::Play(int32_t passes) {
    if (passes <= 0) {
        if (m_hWnd != nullptr) {
            ::KillTimer(m_hWnd, kPlaybackTimer);
        }
        passesLeft = 0;
        return;
    }
    if (frameCount <= 0) {
        return;
    }
    passesLeft = passes;
    currentFrame = (currentFrame + 1) % frameCount;
    Redraw(FALSE);
    if (m_hWnd != nullptr) {
        ::SetTimer(m_hWnd, kPlaybackTimer, static_cast<UINT>(intervalMs), nullptr);
    }
}

BOOL CPreviewWindow::Redraw(BOOL erase) {
    if (m_hWnd == nullptr) {
        return 0;
    }
    CClientDC dc(m_hWnd);
    return dc.Get() != nullptr ? Draw(dc.Get(), erase) : 0;
}

BOOL CPreviewWindow::QueryNewPalette() {
    if (m_hWnd == nullptr) {
        return 0;
    }
    CClientDC dc(m_hWnd);
    // Selected as a foreground palette, then put back as a background palette by the guard.
    PaletteGuard selected(dc.Get(), palette.Get(), FALSE);
    if (!selected.Selected()) {
        return 0;
    }
    const UINT mapped = ::RealizePalette(dc.Get());
    if (mapped != 0 && mapped != GDI_ERROR) {
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
    return 1;
}

void CPreviewWindow::PaletteChanged(HWND changedBy) {
    if (changedBy != m_hWnd && m_hWnd != nullptr) {
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
}

bool CPreviewWindow::BuildPalette() {
    palette.Reset();
    if (document == nullptr) {
        return false;
    }
    const PaletteTable& table = document->Palette();
    const int32_t n = std::clamp(table.count, 0, 256);
    // A LOGPALETTE of n entries; the entries are addressed through the block, not through the
    // header's one-element array, which the compiler may take at its word.
    alignas(LOGPALETTE) std::array<BYTE, sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)> block{};
    auto* head = reinterpret_cast<LOGPALETTE*>(block.data());
    head->palVersion = 0x300;
    head->palNumEntries = static_cast<WORD>(n);
    auto* entries =
        reinterpret_cast<PALETTEENTRY*>(block.data() + offsetof(LOGPALETTE, palPalEntry));
    for (int32_t i = 0; i < n; ++i) {
        const RgbQuad& c = table.entries[size_t(i)];
        entries[i] = {c.red, c.green, c.blue, 0};
    }
    palette.Reset(::CreatePalette(head));
    return static_cast<bool>(palette);
}

void CPreviewWindow::ApplyTransparency(bool on) {
    if (document == nullptr || !palette || !document->TransparencyUsable()) {
        return;
    }
    const uint8_t t = document->TransparentIndex();
    PALETTEENTRY entry{};
    if (on) {
        // The button-face colour is sampled now; a later change of it shows only after the
        // next toggle or palette rebuild.
        const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
        entry = {GetRValue(face), GetGValue(face), GetBValue(face), 0};
    } else {
        const RgbQuad& c = document->Palette().entries[t];
        entry = {c.red, c.green, c.blue, 0};
    }
    ::SetPaletteEntries(palette.Get(), t, 1, &entry);
}

bool CPreviewWindow::CopyFrame(HDC dc, HBITMAP bitmap, int32_t rows) const {
    const std::vector<uint8_t>& info = document->DisplayInfo();
    BITMAPINFOHEADER header{};
    if (!ReadDisplayHeader(info, header) || header.biHeight > rows ||
        size_t(currentFrame) >= document->movieList.frames.size()) {
        return false;
    }
    const kx::FrameBytes& bits = document->Frame(currentFrame).data;
    const BitmapInfoHeader& format = document->headerList.stream.format.header;
    // Bottom-up rows: the top rows of a frame taller than the device bitmap are at its end.
    const int64_t offset = DisplayBitsOffset(header.biWidth, format.biHeight, format.biSizeImage,
                                             header.biHeight, header.biSizeImage, bits.size());
    if (offset < 0) {
        return false;
    }
    return ::SetDIBits(dc, bitmap, 0, static_cast<UINT>(header.biHeight), bits.data() + offset,
                       reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_PAL_COLORS) != 0;
}

BOOL CPreviewWindow::Draw(HDC dc, BOOL erase) {
    const RECT client = GetClientRect();
    if (document == nullptr || currentFrame < 0 || currentFrame >= frameCount) {
        FillButtonFace(dc, client);
        return 1;
    }
    const int32_t bitmapRows = std::min(frameHeight, kMaxDisplayRows);
    Bitmap bitmap(::CreateCompatibleBitmap(dc, frameWidth, bitmapRows));
    if (!bitmap) {
        return 0;
    }
    // Declared after the bitmap so that the palette is put back (as a background palette)
    // before the bitmap is deleted.
    PaletteGuard selectedPalette(dc, palette.Get(), FALSE);
    if (!selectedPalette.Selected()) {
        return 0;
    }
    ::RealizePalette(dc);
    if (!CopyFrame(dc, bitmap.Get(), bitmapRows)) {
        return 0;
    }
    MemoryDC memory(dc);
    if (memory.Get() == nullptr) {
        return 0;
    }

    const int32_t rows = DisplayRows(shownHeight);
    const ImagePlacement image =
        PlaceImage(client.right, client.bottom, frameWidth, rows, fit != 0);
    if (erase) {
        // The image area itself is left alone, so a draw without erase does not flicker.
        for (const PixelRect& m : MarginRects(client.right, client.bottom, image)) {
            FillButtonFace(dc, RECT{m.left, m.top, m.Right(), m.Bottom()});
        }
    }

    SelectGuard selectedBitmap(memory.Get(), bitmap.Get());
    if (!selectedBitmap.Selected()) {
        return 0;
    }
    if (fit) {
        return ::StretchBlt(dc, image.x, image.y, image.destWidth, image.destHeight, memory.Get(),
                            0, 0, frameWidth, rows, SRCCOPY);
    }
    return ::BitBlt(dc, image.x, image.y, image.width, image.height, memory.Get(), 0, 0, SRCCOPY);
}

void CPreviewWindow::NotifyOwner() {
    const HWND owner = GetParent();
    if (owner != nullptr) {
        ::SendMessageW(owner, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), 0),
                       reinterpret_cast<LPARAM>(m_hWnd));
    }
}

void CPreviewWindow::Step() {
    ++currentFrame;
    if (currentFrame >= frameCount) {
        // The pass has ended: wrap to the first frame, or keep the last one after the last pass.
        --passesLeft;
        currentFrame = passesLeft > 0 ? 0 : frameCount - 1;
    }
    // Set again after each step, so the period runs from the end of one step to the next.
    if (passesLeft > 0) {
        ::SetTimer(m_hWnd, kPlaybackTimer, static_cast<UINT>(intervalMs), nullptr);
    }
    // The owner updates its frame number and slider before the new frame appears.
    NotifyOwner();
    Redraw(FALSE);
}

LRESULT CPreviewWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            CPaintDC dc(m_hWnd);
            Draw(dc.Get(), TRUE);
            return 0;
        }
        case WM_SIZE: {
            const LRESULT result = Default();
            Redraw(TRUE);
            return result;
        }
        case WM_TIMER:
            ::KillTimer(m_hWnd, wParam);
            // A tick that was already queued when playback stopped, or one with no frames to step
            // through, changes nothing.
            if (passesLeft > 0 && frameCount > 0) {
                Step();
            }
            return Default();
        case WM_DESTROY: {
            const LRESULT result = Default();
            ::KillTimer(m_hWnd, kPlaybackTimer);
            palette.Reset();
            return result;
        }
        default:
            return CStatic::WindowProc(msg, wParam, lParam);
    }
}

}  // namespace kx
