// Builds dialog templates in memory, for tests that need a dialog without the program's
// resources.
#ifndef KINETRIX_TESTS_FRAMEWORK_DIALOG_TEMPLATE_H
#define KINETRIX_TESTS_FRAMEWORK_DIALOG_TEMPLATE_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kx::test {

class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const wchar_t* title) {
        Dword(style | DS_SETFONT);
        Dword(0);  // extended style
        m_countAt = m_words.size();
        Word(0);  // item count, filled in by Add
        Word(0);  // x
        Word(0);  // y
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(0);  // no menu
        Word(0);  // the standard dialog class
        Text(title);
        Word(9);  // font size in points
        Text(L"Tahoma");
    }

    // An item of a class given by name ("Button", "Edit", "Static", a common control class).
    DialogTemplate& Add(const wchar_t* className, int id, DWORD style, short x, short y, short cx,
                        short cy, const wchar_t* text = L"") {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(static_cast<WORD>(id));
        Text(className);
        Text(text);
        Word(0);  // no creation data
        ++m_words[m_countAt];
        return *this;
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Text(const wchar_t* s) {
        for (; *s; ++s) {
            Word(static_cast<WORD>(*s));
        }
        Word(0);
    }
    // Items start on 4-byte boundaries.
    void Align() {
        if (m_words.size() % 2 != 0) {
            Word(0);
        }
    }

    std::vector<WORD> m_words;
    size_t m_countAt = 0;
};

}  // namespace kx::test

#endif  // KINETRIX_TESTS_FRAMEWORK_DIALOG_TEMPLATE_H
