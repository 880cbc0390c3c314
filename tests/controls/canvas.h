// A 32-bit top-down bitmap in a memory DC that a control paints into, read back pixel by pixel.
#ifndef KINETRIX_TESTS_CONTROLS_CANVAS_H
#define KINETRIX_TESTS_CONTROLS_CANVAS_H

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace kx::test {

class Canvas {
public:
    Canvas(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<const uint32_t*>(bits);
        m_dc = ::CreateCompatibleDC(nullptr);
        m_previous = ::SelectObject(m_dc, m_bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        ::SelectObject(m_dc, m_previous);
        ::DeleteDC(m_dc);
        ::DeleteObject(m_bitmap);
    }

    HDC Dc() const { return m_dc; }
    RECT All() const { return RECT{0, 0, m_width, m_height}; }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        const uint32_t p = m_bits[y * m_width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // The pixels of r, row by row.
    std::vector<COLORREF> Pixels(const RECT& r) const {
        std::vector<COLORREF> pixels;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                pixels.push_back(At(x, y));
            }
        }
        return pixels;
    }
    // The points of a square of side n at (x, y) that have colour c, relative to its corner.
    std::vector<std::pair<int, int>> Where(int x, int y, int n, COLORREF c) const {
        std::vector<std::pair<int, int>> found;
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                if (At(x + i, y + j) == c) {
                    found.emplace_back(i, j);
                }
            }
        }
        return found;
    }

private:
    int m_width;
    int m_height;
    HBITMAP m_bitmap = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
    const uint32_t* m_bits = nullptr;
};

}  // namespace kx::test

#endif  // KINETRIX_TESTS_CONTROLS_CANVAS_H
