// A 32-bit top-down bitmap in a memory DC that a control paints into, read back pixel by pixel;
// it starts filled with a sentinel colour that no drawing uses.
#ifndef KINETRIX_TESTS_FRAMEWORK_CANVAS_H
#define KINETRIX_TESTS_FRAMEWORK_CANVAS_H

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace kx::test {

class Canvas {
public:
    static constexpr COLORREF kSentinel = RGB(1, 2, 3);

    Canvas(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<uint32_t*>(bits);
        m_dc = ::CreateCompatibleDC(nullptr);
        m_previous = ::SelectObject(m_dc, m_bitmap);
        Fill(kSentinel);
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
    void Fill(COLORREF c) {
        ::GdiFlush();
        for (int i = 0; i < m_width * m_height; ++i) {
            m_bits[i] = uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
        }
    }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        const uint32_t p = m_bits[size_t(y) * size_t(m_width) + size_t(x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Columns x0 .. x1 - 1 of rows y0 .. y1 - 1 that are not colour c.
    int CountOther(int x0, int y0, int x1, int y1, COLORREF c) const {
        int n = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                n += At(x, y) != c ? 1 : 0;
            }
        }
        return n;
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
    uint32_t* m_bits = nullptr;
};

}  // namespace kx::test

#endif  // KINETRIX_TESTS_FRAMEWORK_CANVAS_H
