// Owners of GDI objects and device contexts, and guards for objects selected into a DC.
#ifndef KINETRIX_FRAMEWORK_GDI_H
#define KINETRIX_FRAMEWORK_GDI_H

#include <windows.h>

#include <utility>

namespace kx {

// Owns one GDI object (bitmap, palette, brush, font, pen, region) and deletes it.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_handle, nullptr));
        }
        return *this;
    }
    ~GdiObject() { Reset(); }

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // Takes ownership of a new handle (or none), deleting the one held.
    void Reset(Handle handle = nullptr) {
        if (m_handle != nullptr) {
            ::DeleteObject(m_handle);
        }
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

using Bitmap = GdiObject<HBITMAP>;
using Palette = GdiObject<HPALETTE>;
using Brush = GdiObject<HBRUSH>;
using Font = GdiObject<HFONT>;

// Selects an object into a DC and puts the previous one back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object)
        : m_dc(dc), m_previous(dc && object ? ::SelectObject(dc, object) : nullptr) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (m_previous != nullptr) {
            ::SelectObject(m_dc, m_previous);
        }
    }
    bool Selected() const { return m_previous != nullptr; }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// Selects a palette into a DC and puts the previous one back as a background palette, which is
// how a palette is released before it is deleted.
class PaletteGuard {
public:
    PaletteGuard(HDC dc, HPALETTE palette, BOOL forceBackground)
        : m_dc(dc),
          m_previous(dc && palette ? ::SelectPalette(dc, palette, forceBackground) : nullptr) {}
    PaletteGuard(const PaletteGuard&) = delete;
    PaletteGuard& operator=(const PaletteGuard&) = delete;
    ~PaletteGuard() {
        if (m_previous != nullptr) {
            ::SelectPalette(m_dc, m_previous, TRUE);
        }
    }
    bool Selected() const { return m_previous != nullptr; }

private:
    HDC m_dc;
    HPALETTE m_previous;
};

// The DC of a window's client area (GetDC / ReleaseDC).
class CClientDC {
public:
    explicit CClientDC(HWND hwnd) : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    ~CClientDC() {
        if (m_dc != nullptr) {
            ::ReleaseDC(m_hwnd, m_dc);
        }
    }
    HDC Get() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// The DC of a WM_PAINT (BeginPaint / EndPaint).
class CPaintDC {
public:
    explicit CPaintDC(HWND hwnd) : m_hwnd(hwnd), m_dc(::BeginPaint(hwnd, &m_paint)) {}
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    ~CPaintDC() { ::EndPaint(m_hwnd, &m_paint); }
    HDC Get() const { return m_dc; }
    const PAINTSTRUCT& Paint() const { return m_paint; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

// A memory DC compatible with another DC (CreateCompatibleDC / DeleteDC).
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : m_dc(::CreateCompatibleDC(compatibleWith)) {}
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC() {
        if (m_dc != nullptr) {
            ::DeleteDC(m_dc);
        }
    }
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

}  // namespace kx

#endif  // KINETRIX_FRAMEWORK_GDI_H
