// Loads every resource of the program the way the windows use them: dialog templates, menu,
// accelerators, strings, bitmaps, the icon and the animation clip.

#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "app/main_commands.h"
#include "resources/resource.h"
#include "support/source_dir.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleW(nullptr);
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                                      ICC_ANIMATE_CLASS | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&init);
    }
    void TearDown() override {
        if (dialog_ != nullptr) {
            DestroyWindow(dialog_);
        }
    }
    HWND Create(int id) {
        dialog_ = CreateDialogParamW(Module(), MAKEINTRESOURCEW(id), nullptr, QuietDialogProc, 0);
        return dialog_;
    }
    HWND dialog_ = nullptr;
};

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[256] = L"\x2603";  // sentinel: a failed call leaves it
    GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buffer[64] = L"";
    GetClassNameW(hwnd, buffer, 64);
    return buffer;
}

// The child windows of a dialog, in template order.
std::vector<HWND> Children(HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

RECT RectIn(HWND dialog, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The key a "&" marks in a text, upper case; 0 when there is none.
wchar_t Mnemonic(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'&') {
            if (text[i + 1] != L'&') {
                return wchar_t(size_t(CharUpperW(reinterpret_cast<LPWSTR>(size_t(text[i + 1])))));
            }
            ++i;
        }
    }
    return 0;
}

// Checks that hold for every dialog template, whatever its controls: each control lies inside
// the client area, has an id of its own, and shows its whole text in the dialog's font; the
// labels' "&" keys differ.
void ExpectSoundTemplate(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    std::vector<int> ids;
    std::vector<wchar_t> mnemonics;
    for (HWND child : Children(dialog)) {
        const int id = GetDlgCtrlID(child);
        const std::wstring text = WindowText(child);
        SCOPED_TRACE("control " + std::to_string(id));
        const RECT r = RectIn(dialog, child);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right &&
                    r.bottom <= client.bottom)
            << "at " << r.left << "," << r.top << " to " << r.right << "," << r.bottom
            << " in a client area of " << client.right << " x " << client.bottom;
        if (id != -1) {  // labels no code looks for share the id -1
            EXPECT_EQ(0, std::count(ids.begin(), ids.end(), id)) << "the id twice";
            ids.push_back(id);
        }
        const std::wstring cls = ClassOf(child);
        const DWORD style = DWORD(GetWindowLongW(child, GWL_STYLE));
        const bool label =
            lstrcmpiW(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT;
        if (label && !text.empty()) {
            RECT need{0, 0, 0, 0};
            DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
            EXPECT_LE(need.right, r.right - r.left) << "the text is cut off";
        }
        if (const wchar_t key = Mnemonic(text); key != 0) {
            EXPECT_EQ(0, std::count(mnemonics.begin(), mnemonics.end(), key))
                << "the key " << char(key) << " twice";
            mnemonics.push_back(key);
        }
    }
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
}

TEST_F(Resources, EveryDialogTemplateLoadsSound) {
    for (int id : {IDD_MAIN, IDD_ABOUTBOX, IDD_FRAME_SETTINGS, IDD_SPLASH, IDD_PROGRESS}) {
        SCOPED_TRACE("dialog " + std::to_string(id));
        HWND d = Create(id);
        ASSERT_NE(nullptr, d);
        EXPECT_LT(0u, Children(d).size());
        ExpectSoundTemplate(d);
        DestroyWindow(d);
        dialog_ = nullptr;
    }
}

// A control of the template by id, with the style bits the program relies on.
void ExpectControl(HWND dialog, int id, const wchar_t* className, DWORD styleBits) {
    SCOPED_TRACE("control " + std::to_string(id));
    HWND item = GetDlgItem(dialog, id);
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(0, lstrcmpiW(className, ClassOf(item).c_str()));
    EXPECT_EQ(styleBits, DWORD(GetWindowLongW(item, GWL_STYLE)) & styleBits);
}

TEST_F(Resources, MainWindowTemplate) {
    HWND d = Create(IDD_MAIN);
    ASSERT_NE(nullptr, d);
    DWORD style = DWORD(GetWindowLongW(d, GWL_STYLE));
    EXPECT_EQ(DWORD(WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU),
              style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU));
    EXPECT_EQ(DWORD(WS_EX_APPWINDOW), DWORD(GetWindowLongW(d, GWL_EXSTYLE)) & WS_EX_APPWINDOW);
    EXPECT_EQ(GetMenuItemCount(LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_MAIN_MENU))),
              GetMenuItemCount(GetMenu(d)));
    ExpectControl(d, IDC_VIEW_BAR, L"Button", WS_TABSTOP);
    ExpectControl(d, IDC_PLAY_BAR, L"Button", WS_TABSTOP);
    ExpectControl(d, IDC_FRAME_SLIDER, TRACKBAR_CLASSW, WS_DISABLED);
    ExpectControl(d, IDC_FRAME_NUMBER, L"Edit", ES_READONLY | ES_NUMBER);
    ExpectControl(d, IDC_SPEED, L"Edit", ES_NUMBER | WS_DISABLED);
    ExpectControl(d, IDC_SPEED_SPIN, UPDOWN_CLASSW,
                  UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_WRAP | UDS_NOTHOUSANDS | WS_DISABLED);
    // The spin control attached itself to the speed field and stands beside it, neither
    // moved onto it nor taking the arrow keys.
    EXPECT_EQ(GetDlgItem(d, IDC_SPEED),
              reinterpret_cast<HWND>(SendDlgItemMessageW(d, IDC_SPEED_SPIN, UDM_GETBUDDY, 0, 0)));
    EXPECT_EQ(0, GetWindowLongW(GetDlgItem(d, IDC_SPEED_SPIN), GWL_STYLE) &
                     (UDS_ALIGNRIGHT | UDS_ALIGNLEFT | UDS_ARROWKEYS));
    const RECT speed = RectIn(d, GetDlgItem(d, IDC_SPEED));
    const RECT spin = RectIn(d, GetDlgItem(d, IDC_SPEED_SPIN));
    EXPECT_GE(spin.left, speed.right - 1) << "the arrows beside the field, not over it";
}

TEST_F(Resources, AboutBoxTemplate) {
    HWND d = Create(IDD_ABOUTBOX);
    ASSERT_NE(nullptr, d);
    ExpectControl(d, IDOK, L"Button", BS_DEFPUSHBUTTON | WS_TABSTOP);
    ExpectControl(d, IDC_ANIMATE, ANIMATE_CLASSW, ACS_TRANSPARENT | ACS_AUTOPLAY);
    ExpectControl(d, IDC_LOGO, L"Button", WS_DISABLED);
}

TEST_F(Resources, FrameSettingsTemplate) {
    HWND d = Create(IDD_FRAME_SETTINGS);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(DWORD(DS_CONTEXTHELP | WS_SYSMENU),
              DWORD(GetWindowLongW(d, GWL_STYLE)) & (DS_CONTEXTHELP | WS_SYSMENU));
    ExpectControl(d, IDC_FRAME_COUNT, L"Edit", WS_TABSTOP);
    ExpectControl(d, IDC_FRAME_HEIGHT, L"Edit", WS_TABSTOP);
    ExpectControl(d, IDC_REMAINDER, L"Edit", ES_READONLY);
    ExpectControl(d, IDOK, L"Button", BS_DEFPUSHBUTTON);
    // The remainder is shown only: no border, and Tab passes it by.
    EXPECT_EQ(0,
              GetWindowLongW(GetDlgItem(d, IDC_REMAINDER), GWL_STYLE) & (WS_BORDER | WS_TABSTOP));
    for (const auto& [spin, field] : {std::pair{IDC_FRAME_COUNT_SPIN, IDC_FRAME_COUNT},
                                      std::pair{IDC_FRAME_HEIGHT_SPIN, IDC_FRAME_HEIGHT}}) {
        ExpectControl(d, spin, UPDOWN_CLASSW, UDS_WRAP | UDS_SETBUDDYINT | UDS_ARROWKEYS);
        EXPECT_EQ(GetDlgItem(d, field),
                  reinterpret_cast<HWND>(SendDlgItemMessageW(d, spin, UDM_GETBUDDY, 0, 0)));
    }
    EXPECT_EQ(nullptr, GetDlgItem(d, IDCANCEL));
}

TEST_F(Resources, SplashTemplate) {
    HWND d = Create(IDD_SPLASH);
    ASSERT_NE(nullptr, d);
    DWORD style = DWORD(GetWindowLongW(d, GWL_STYLE));
    EXPECT_EQ(DWORD(WS_VISIBLE), style & WS_VISIBLE);
    EXPECT_EQ(0u, style & WS_CAPTION);
    ExpectControl(d, IDC_ICON_BUTTON, L"Button", BS_OWNERDRAW | WS_DISABLED);
}

TEST_F(Resources, ProgressTemplate) {
    HWND d = Create(IDD_PROGRESS);
    ASSERT_NE(nullptr, d);
    DWORD style = DWORD(GetWindowLongW(d, GWL_STYLE));
    EXPECT_EQ(DWORD(WS_VISIBLE | WS_CAPTION), style & (WS_VISIBLE | WS_CAPTION));
    EXPECT_EQ(0u, style & WS_SYSMENU);
    EXPECT_EQ(DWORD(WS_EX_TOOLWINDOW), DWORD(GetWindowLongW(d, GWL_EXSTYLE)) & WS_EX_TOOLWINDOW);
    ExpectControl(d, IDC_PROGRESS_CANCEL, L"Button", WS_TABSTOP);
    ExpectControl(d, IDC_PROGRESS_BAR, PROGRESS_CLASSW, PBS_SMOOTH);
    ExpectControl(d, IDC_ANIMATE, ANIMATE_CLASSW, ACS_TRANSPARENT | ACS_AUTOPLAY);
}

std::wstring LoadResourceString(int id) {
    const wchar_t* text = nullptr;
    int length = LoadStringW(Module(), UINT(id), reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, size_t(length)) : std::wstring();
}

// The shortcut a menu or tooltip text names after its tab ("Ctrl+O"), empty when none.
std::wstring ShortcutOf(const std::wstring& text) {
    const size_t tab = text.find(L'\t');
    return tab == std::wstring::npos ? std::wstring() : text.substr(tab + 1);
}

// How a person names the keys of an accelerator: "Ctrl+O", "F5", "Ctrl+Left".
std::wstring ShortcutName(const ACCEL& a) {
    std::wstring name = (a.fVirt & FCONTROL) ? L"Ctrl+" : L"";
    name += (a.fVirt & FSHIFT) ? L"Shift+" : L"";
    name += (a.fVirt & FALT) ? L"Alt+" : L"";
    if (a.key >= VK_F1 && a.key <= VK_F12) {
        return name + L"F" + std::to_wstring(a.key - VK_F1 + 1);
    }
    if (a.key == VK_LEFT || a.key == VK_RIGHT) {
        return name + (a.key == VK_LEFT ? L"Left" : L"Right");
    }
    return name + wchar_t(a.key);
}

std::vector<ACCEL> Accelerators() {
    HACCEL table = LoadAcceleratorsW(Module(), MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
    std::vector<ACCEL> entries(size_t(std::max(CopyAcceleratorTableW(table, nullptr, 0), 0)));
    CopyAcceleratorTableW(table, entries.data(), int(entries.size()));
    DestroyAcceleratorTable(table);
    return entries;
}

struct MenuEntry {
    UINT id;
    std::wstring text;
    bool grayed;
};

// The commands of the main menu's popups, in order; separators left out.
std::vector<MenuEntry> MenuCommands() {
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_MAIN_MENU));
    std::vector<MenuEntry> commands;
    for (int p = 0; p < GetMenuItemCount(menu); ++p) {
        HMENU popup = GetSubMenu(menu, p);
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            MENUITEMINFOW info{};
            wchar_t text[128] = L"";
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = 128;
            if (GetMenuItemInfoW(popup, UINT(i), TRUE, &info) && !(info.fType & MFT_SEPARATOR)) {
                commands.push_back({info.wID, text, (info.fState & MF_GRAYED) != 0});
            }
        }
    }
    DestroyMenu(menu);
    return commands;
}

// Each popup and each command has a text with an "&" key of its own among its neighbours.
TEST(ResourceTables, MenuTextsHaveTheirOwnKeys) {
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_MAIN_MENU));
    ASSERT_NE(nullptr, menu);
    ASSERT_LT(0, GetMenuItemCount(menu));
    auto expectOwnKeys = [](HMENU m, const std::string& where) {
        std::vector<wchar_t> keys;
        for (int i = 0; i < GetMenuItemCount(m); ++i) {
            wchar_t text[128] = L"";
            if (GetMenuStringW(m, UINT(i), text, 128, MF_BYPOSITION) == 0) {
                continue;  // a separator
            }
            const wchar_t key = Mnemonic(text);
            EXPECT_NE(0, key) << where << " item " << i;
            EXPECT_EQ(0, std::count(keys.begin(), keys.end(), key)) << where << " item " << i;
            keys.push_back(key);
        }
    };
    expectOwnKeys(menu, "menu bar");
    for (int p = 0; p < GetMenuItemCount(menu); ++p) {
        expectOwnKeys(GetSubMenu(menu, p), "popup " + std::to_string(p));
    }
    DestroyMenu(menu);
}

// The shortcut a menu command shows is the accelerator that sends it, and every accelerator is
// shown on its command (Alt+F4 closes the window through the system).
TEST(ResourceTables, MenuShortcutsAreTheAccelerators) {
    const std::vector<ACCEL> accelerators = Accelerators();
    ASSERT_LT(0u, accelerators.size());
    const std::vector<MenuEntry> commands = MenuCommands();
    for (const ACCEL& a : accelerators) {
        SCOPED_TRACE("command " + std::to_string(a.cmd));
        EXPECT_EQ(int(FVIRTKEY | FNOINVERT), int(a.fVirt & (FVIRTKEY | FNOINVERT)));
        const auto item = std::find_if(commands.begin(), commands.end(),
                                       [&](const MenuEntry& e) { return e.id == a.cmd; });
        ASSERT_NE(commands.end(), item) << "no menu command";
        EXPECT_EQ(ShortcutName(a), ShortcutOf(item->text));
    }
    for (const MenuEntry& e : commands) {
        const std::wstring shortcut = ShortcutOf(e.text);
        if (shortcut.empty() || shortcut == L"Alt+F4") {
            continue;
        }
        EXPECT_NE(accelerators.end(), std::find_if(accelerators.begin(), accelerators.end(),
                                                   [&](const ACCEL& a) { return a.cmd == e.id; }))
            << "command " << e.id << " shows a shortcut no accelerator sends";
    }
}

// A tool strip button shows the shortcut of its menu command in its tooltip, and a command
// grayed without a movie starts grayed on the menu.
TEST(ResourceTables, ToolStripButtonsAgreeWithTheMenu) {
    const std::vector<MenuEntry> commands = MenuCommands();
    int onTheMenu = 0;
    for (const kx::MainCommand& c : kx::kMainCommands) {
        SCOPED_TRACE("command " + std::to_string(c.id));
        const auto item = std::find_if(commands.begin(), commands.end(),
                                       [&](const MenuEntry& e) { return e.id == UINT(c.id); });
        const std::wstring tip = c.tipId != 0 ? LoadResourceString(c.tipId) : std::wstring();
        EXPECT_EQ(c.tipId != 0, !tip.empty());
        if (item == commands.end()) {
            continue;  // context help: a strip button only
        }
        ++onTheMenu;
        if (c.tipId != 0) {
            EXPECT_EQ(ShortcutOf(item->text), ShortcutOf(tip));
        }
        EXPECT_EQ(c.needsMovie, item->grayed);
    }
    EXPECT_LT(0, onTheMenu);
}

// Every string id the program names loads a text; the file filters are pairs of a name and
// its patterns ending in "||"; the range message has both of its places.
TEST(ResourceTables, EveryNamedStringLoads) {
    std::ifstream header(kx::test::SourceDir() / "src" / "resources" / "resource.h");
    ASSERT_TRUE(header.is_open());
    int named = 0;
    for (std::string line; std::getline(header, line);) {
        char name[64] = {};
        int id = 0;
        if (std::sscanf(line.c_str(), "#define IDS_%63s %d", name, &id) == 2) {
            ++named;
            EXPECT_NE(L"", LoadResourceString(id)) << "IDS_" << name;
        }
    }
    EXPECT_LT(0, named);
    for (int id : {IDS_OPEN_FILTER, IDS_SAVE_FILTER}) {
        const std::wstring filter = LoadResourceString(id);
        SCOPED_TRACE("filter " + std::to_string(id));
        ASSERT_LE(2u, filter.size());
        EXPECT_EQ(L"||", filter.substr(filter.size() - 2));
        std::vector<std::wstring> parts;
        for (size_t at = 0, bar;
             (bar = filter.find(L'|', at)) != std::wstring::npos && bar + 1 < filter.size();
             at = bar + 1) {
            parts.push_back(filter.substr(at, bar - at));
        }
        ASSERT_EQ(0u, parts.size() % 2);
        for (size_t i = 0; i < parts.size(); i += 2) {
            // The name shows the patterns it stands for: "bmpファイル(*.bmp)".
            EXPECT_NE(std::wstring::npos, parts[i].find(L"(" + parts[i + 1] + L")")) << i;
        }
    }
    const std::wstring range = LoadResourceString(IDS_PARSE_INT_RANGE);
    EXPECT_NE(std::wstring::npos, range.find(L"%1"));
    EXPECT_NE(std::wstring::npos, range.find(L"%2"));
}

// The raw DIB of a bitmap resource: the 40-byte header and its colour table.
struct RawBitmap {
    BITMAPINFOHEADER header{};
    std::vector<RGBQUAD> colours;
    const BYTE* bits = nullptr;
};

bool LoadRawBitmap(int id, RawBitmap& out) {
    HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));  // RT_BITMAP
    if (found == nullptr) {
        return false;
    }
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
    DWORD size = SizeofResource(Module(), found);
    if (data == nullptr || size < sizeof(BITMAPINFOHEADER)) {
        return false;
    }
    std::memcpy(&out.header, data, sizeof(BITMAPINFOHEADER));
    DWORD entries = out.header.biClrUsed != 0 ? out.header.biClrUsed : 1u << out.header.biBitCount;
    if (size < sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD)) {
        return false;
    }
    out.colours.resize(entries);
    std::memcpy(out.colours.data(), data + sizeof(BITMAPINFOHEADER), entries * sizeof(RGBQUAD));
    out.bits = data + sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD);
    return true;
}

COLORREF ToColorRef(const RGBQUAD& q) {
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// Colour of pixel (x, y), y counted from the top, of a 4-bit bottom-up DIB.
COLORREF PixelAt(const RawBitmap& b, int x, int y) {
    LONG stride = ((b.header.biWidth * 4 + 31) / 32) * 4;
    const BYTE* row = b.bits + (b.header.biHeight - 1 - y) * stride;
    BYTE pair = row[x / 2];
    return ToColorRef(b.colours[x % 2 == 0 ? pair >> 4 : pair & 0x0F]);
}

TEST(ResourcePictures, LogoBitmapsHaveTheirSizesAndOnlyReferenceColours) {
    struct Logo {
        int id, width, height;
    };
    const Logo logos[] = {{IDB_LOGO_32X12, 32, 12},
                          {IDB_LOGO_42X16, 42, 16},
                          {IDB_LOGO_52X20, 52, 20},
                          {IDB_LOGO_66X24, 66, 24},
                          {IDB_LOGO_86X32, 86, 32}};
    const COLORREF reference[] = {RGB(192, 192, 192), RGB(255, 255, 255), RGB(128, 128, 128),
                                  RGB(255, 0, 255),   RGB(128, 0, 0),     RGB(0, 255, 255),
                                  RGB(0, 128, 0)};
    for (const Logo& logo : logos) {
        SCOPED_TRACE("bitmap " + std::to_string(logo.id));
        HBITMAP loaded = static_cast<HBITMAP>(
            LoadImageW(Module(), MAKEINTRESOURCEW(logo.id), IMAGE_BITMAP, 0, 0, 0));
        ASSERT_NE(nullptr, loaded);
        BITMAP info{};
        GetObjectW(loaded, sizeof(info), &info);
        EXPECT_EQ(logo.width, info.bmWidth);
        EXPECT_EQ(logo.height, info.bmHeight);
        DeleteObject(loaded);

        RawBitmap raw;
        ASSERT_TRUE(LoadRawBitmap(logo.id, raw));
        EXPECT_EQ(4, raw.header.biBitCount);
        EXPECT_EQ(DWORD(BI_RGB), raw.header.biCompression);
        for (const RGBQUAD& q : raw.colours) {
            COLORREF c = ToColorRef(q);
            EXPECT_NE(std::end(reference), std::find(std::begin(reference), std::end(reference), c))
                << std::hex << c;
        }
        // The picture sits on the button face: the corners are light grey.
        EXPECT_EQ(RGB(192, 192, 192), PixelAt(raw, 0, 0));
        EXPECT_EQ(RGB(192, 192, 192), PixelAt(raw, logo.width - 1, logo.height - 1));
    }
}

TEST(ResourcePictures, ToolStripBitmapsUseTheirTransparentAndGlyphColours) {
    struct Strip {
        int id, width;
        COLORREF transparent, glyph;
    };
    const Strip strips[] = {{IDB_VIEW_BAR, 64, RGB(192, 192, 192), RGB(0, 0, 128)},
                            {IDB_PLAY_BAR, 112, RGB(0, 255, 255), RGB(128, 0, 128)}};
    for (const Strip& s : strips) {
        SCOPED_TRACE("bitmap " + std::to_string(s.id));
        RawBitmap raw;
        ASSERT_TRUE(LoadRawBitmap(s.id, raw));
        EXPECT_EQ(s.width, raw.header.biWidth);
        EXPECT_EQ(16, raw.header.biHeight);
        EXPECT_EQ(4, raw.header.biBitCount);
        // Every 16 x 16 picture has a see-through corner and some outline in the glyph colour.
        for (int picture = 0; picture < s.width / 16; ++picture) {
            EXPECT_EQ(s.transparent, PixelAt(raw, picture * 16, 15)) << "picture " << picture;
            int glyphPixels = 0;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    glyphPixels += PixelAt(raw, picture * 16 + x, y) == s.glyph;
                }
            }
            EXPECT_LT(10, glyphPixels) << "picture " << picture;
        }
    }
}

TEST(ResourcePictures, IconHasSmallAndLargeImages) {
    for (int side : {16, 32}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(Module(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, side, side, 0));
        ASSERT_NE(nullptr, icon) << side;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(side, colour.bmWidth);
        EXPECT_EQ(side, colour.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    HRSRC group = FindResourceW(Module(), MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14));
    ASSERT_NE(nullptr, group);  // RT_GROUP_ICON
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(Module(), group)));
    ASSERT_NE(nullptr, dir);
    EXPECT_EQ(3, dir[4] | dir[5] << 8);  // 16, 32 and 48 pixels
}

uint32_t Le32(const BYTE* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// Finds the chunk with the given id inside [begin, end), descending into LIST chunks.
const BYTE* FindChunk(const BYTE* begin, const BYTE* end, const char* id) {
    while (end - begin >= 8) {
        uint32_t size = Le32(begin + 4);
        if (std::memcmp(begin, id, 4) == 0) {
            return begin;
        }
        if (size > uint32_t(end - begin) - 8) {
            return nullptr;
        }
        if (std::memcmp(begin, "LIST", 4) == 0 && size >= 4) {
            if (const BYTE* inner = FindChunk(begin + 12, begin + 8 + size, id)) {
                return inner;
            }
        }
        begin += 8 + size + (size & 1);
    }
    return nullptr;
}

// The clip is a run-length coded AVI whose headers agree with each other and with its chunks.
TEST(ResourceClip, AviResourceHoldsTheRunLengthEncodedClip) {
    HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(IDR_CLIP), L"AVI");
    ASSERT_NE(nullptr, found);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
    const DWORD size = SizeofResource(Module(), found);
    ASSERT_NE(nullptr, data);
    ASSERT_LE(12u, size);
    EXPECT_EQ(0, std::memcmp(data, "RIFF", 4));
    EXPECT_EQ(0, std::memcmp(data + 8, "AVI ", 4));
    EXPECT_EQ(size, Le32(data + 4) + 8);
    const BYTE* end = data + size;
    const BYTE* avih = FindChunk(data + 12, end, "avih");
    ASSERT_NE(nullptr, avih);
    const uint32_t frames = Le32(avih + 8 + 16);
    EXPECT_LT(0u, Le32(avih + 8));  // microseconds per frame
    EXPECT_LT(1u, frames);
    const BYTE* strf = FindChunk(data + 12, end, "strf");
    ASSERT_NE(nullptr, strf);
    BITMAPINFOHEADER format;
    std::memcpy(&format, strf + 8, sizeof(format));
    EXPECT_EQ(LONG(Le32(avih + 8 + 32)), format.biWidth);
    EXPECT_EQ(LONG(Le32(avih + 8 + 36)), format.biHeight);
    EXPECT_EQ(8, format.biBitCount);
    EXPECT_EQ(DWORD(BI_RLE8), format.biCompression);
    EXPECT_LT(0u, format.biClrUsed);
    EXPECT_GE(256u, format.biClrUsed);
    EXPECT_EQ(sizeof(format) + format.biClrUsed * sizeof(RGBQUAD), Le32(strf + 4));
    // One index entry of 16 bytes per frame, each naming a frame chunk.
    const BYTE* idx1 = FindChunk(data + 12, end, "idx1");
    ASSERT_NE(nullptr, idx1);
    ASSERT_EQ(frames * 16u, Le32(idx1 + 4));
    for (uint32_t k = 0; k < frames; ++k) {
        EXPECT_EQ(0, std::memcmp(idx1 + 8 + 16 * k, "00dc", 4)) << "entry " << k;
    }
}

TEST_F(Resources, AnimationControlOpensTheClip) {
    HWND d = Create(IDD_ABOUTBOX);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(TRUE, SendDlgItemMessageW(d, IDC_ANIMATE, ACM_OPENW, 0, IDR_CLIP));
}

}  // namespace
